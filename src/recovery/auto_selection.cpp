#include "recovery/auto_selection.h"

#include <unordered_set>

#include "filesystems/found_object_store.h"
#include "volumes/volume.h"

namespace {

// Folder chains come from identifiers on the drive: a parent may name itself or a folder
// below it, so the walk keeps a visited set and a depth bound.
constexpr int kMaxAncestors = CRecovery::kMaxFolderDepth;

enum class Ancestry { Live, Deleted, Lost };

Ancestry AncestryOf(const FoundObjectStore& store, const FoundObject& object) {
  std::unordered_set<int32_t> visited{object.Id};
  int32_t parentId = object.ParentId;
  for (int depth = 0; depth < kMaxAncestors; ++depth) {
    if (parentId == IdLostFolders) return Ancestry::Lost;
    if (parentId == IdLostFiles) return Ancestry::Lost;
    if (!visited.insert(parentId).second) return Ancestry::Live;
    const FoundObject* parent = store.FindFolderById(parentId);
    if (!parent || (parent->Flags & FoundDriveNode)) return Ancestry::Live;
    if (parent->Flags & FoundDeleted) return Ancestry::Deleted;
    // The root folder and the store's other invented nodes end the walk.
    if (parent->Id == store.RootId() || parent->Id < 0 || parent->ParentId == parent->Id)
      return parent->ParentId == IdLostFolders || parent->ParentId == IdLostFiles ? Ancestry::Lost
                                                                                  : Ancestry::Live;
    parentId = parent->ParentId;
  }
  return Ancestry::Live;
}

}  // namespace

bool IsDeletedOrLostFile(const FoundObjectStore& store, const FoundObject& object) {
  if (object.Flags & (FoundFolder | FoundDriveNode)) return false;
  if (object.Flags & (FoundDeleted | FoundLost)) return true;
  return AncestryOf(store, object) != Ancestry::Live;
}

std::vector<FoundObject*> CAutoSelection::SelectedObjects() const {
  FoundObjectStore& store = volume_.Store;
  FoundObjectStore::Guard guard = store.Lock();
  std::vector<FoundObject*> files;
  for (FoundObject* object : store.AllObjects())
    if (object && IsDeletedOrLostFile(store, *object)) files.push_back(object);
  return files;
}
