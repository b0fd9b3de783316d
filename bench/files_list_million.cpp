// The file list's rows at the size of a large folder: a million found files in one folder of a
// real store, read as the list reads them (the folder's children under the store's lock), then
// sorted by each column as a header click sorts them. Reports seconds per step and the bytes
// the rows hold per object. The window itself is measured by the in-process window test
// (tests/gui/gui_files_list_inprocess.cpp), which prints the same steps with painting.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "filesystems/found_list_rows.h"
#include "filesystems/found_object_store.h"
#include "platform/text.h"

namespace {

constexpr int kFiles = 1'000'000;
constexpr int32_t kRootId = 5;

struct Timing {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Print(const char* step) const {
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("%-40s %8.3f s  (%.3f s processor)\n", step, wallSeconds, cpuSeconds);
  }
};

void FillStore(FoundObjectStore& store) {
  static const char16_t* const kExtensions[] = {u"jpg", u"JPG", u"docx", u"txt", u"png", u"cr2"};
  store.SetRootId(kRootId);
  FoundObject record;
  for (int i = 0; i < 20; ++i) {
    ResetFoundObject(record);
    const std::u16string name = platform::Format(u"folder_%02d", i);
    record.Flags = FoundFolder | FoundNamed;
    record.Name = name.c_str();
    record.Id = 10 + i;
    record.ParentId = kRootId;
    store.AddFileSystemObject(record, nullptr);
  }
  for (int i = 0; i < kFiles; ++i) {
    ResetFoundObject(record);
    const std::u16string name =
        platform::Format(u"IMG_%07d.%s", i, kExtensions[i % std::size(kExtensions)]);
    record.Flags = static_cast<uint16_t>(FoundNamed | (i % 7 == 0 ? FoundDeleted : 0));
    record.Name = name.c_str();
    record.Id = 100 + i;
    record.ParentId = kRootId;
    record.Size = i % 100 == 99 ? -1 : (int64_t{i} * 2654435761u) % 50'000'000;
    record.Created = platform::FileTime{130000000000000000} + int64_t{i} * 10'000'000;
    store.AddFileSystemObject(record, nullptr);
  }
}

}  // namespace

int main() {
  FoundObjectStore store(nullptr);
  {
    Timing timing;
    FillStore(store);
    timing.Print("store: a million files in one folder");
  }
  FoundListRows rows;
  {
    Timing timing;
    std::vector<FoundObject*> children;
    auto guard = store.Lock();
    store.Children(kRootId, children);
    rows.Assign(std::move(children));
    timing.Print("rows of the folder (children, index)");
  }
  const struct {
    const char* step;
    FoundListColumn column;
  } clicks[] = {
      {"sort by size (smallest first)", FoundListColumn::Size},
      {"sort by size again (largest first)", FoundListColumn::Size},
      {"sort by name (descending)", FoundListColumn::Name},
      {"sort by name again (ascending)", FoundListColumn::Name},
      {"sort by date (oldest first)", FoundListColumn::Date},
  };
  for (const auto& click : clicks) {
    Timing timing;
    auto guard = store.Lock();
    rows.SortByClick(click.column);
    timing.Print(click.step);
  }
  {
    Timing timing;
    auto guard = store.Lock();
    const ptrdiff_t row = rows.FindByName(u"img_0999999", 0, true, false);
    timing.Print("type-ahead to the last name");
    if (row < 0) std::printf("  (not found)\n");
  }
  std::printf("%-40s %8.1f bytes per object\n", "rows held by the list",
              double(rows.MemoryBytes()) / double(rows.Size()));
  return 0;
}
