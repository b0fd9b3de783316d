#include "ui/explorer/size_commands.h"

#include "filesystems/found_object_store.h"
#include "recovery/size_question.h"

namespace ui {

void ResetSizes(FoundObjectStore& store, const std::vector<FoundObject*>& files) {
  FoundObjectStore::Guard guard = store.Lock();
  for (FoundObject* file : files)
    if (file) file->Size = -1;
}

SizeQuestion FirstSizeQuestion(FoundObjectStore& store, const std::vector<FoundObject*>& files,
                               const FileTypeDatabase* types) {
  if (files.empty() || !files.front()) return {};
  const ObjectPositions positions = SortedObjectPositions(store);
  FoundObjectStore::Guard guard = store.Lock();
  return MakeSizeQuestion(*files.front(), types, positions);
}

int ApplySizeAnswer(FoundObjectStore& store, const std::vector<FoundObject*>& files,
                    const SizeAnswer& answer, const FileTypeDatabase* types) {
  if (answer.End != SizeEnd::Ok) return 0;
  const ObjectPositions positions = SortedObjectPositions(store);
  FoundObjectStore::Guard guard = store.Lock();
  int changed = 0;
  for (FoundObject* file : files) {
    if (!file) continue;
    const int64_t size = SizeForAnswer(MakeSizeQuestion(*file, types, positions), answer);
    if (size <= 0) continue;
    file->Size = size;
    ++changed;
  }
  return changed;
}

}  // namespace ui
