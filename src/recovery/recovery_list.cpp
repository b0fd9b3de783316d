// The list of a run, from what the user selected. The store links objects by identifiers read
// from the drive, so a folder may name itself as its parent or share its identifier with
// another: each folder identifier is expanded once, each object listed once, and the nesting
// is bounded.
#include <unordered_set>

#include "filesystems/found_object_store.h"
#include "recovery/recovery.h"
#include "recovery/recovery_log.h"
#include "volumes/volume.h"

namespace {

// A folder the store made for the tree ("Lost files", a group folder, the drive's root): its
// files are recovered, the node itself is not a folder of the drive.
bool IsStoreNode(const FoundObject& object, int32_t rootId) {
  return (object.Flags & FoundDriveNode) || object.Id < 0 ||
         ((object.Flags & FoundFolder) && object.Id == rootId);
}

class ListBuilder {
 public:
  ListBuilder(CRecovery& job, FoundObjectStore& store)
      : job_(job), store_(store), rootId_(store.RootId()) {}

  void Append(FoundObject* object) {
    if (listed_.insert(object).second) job_.List.push_back(object);
  }

  // Files below the folder, depth first; each subfolder after what it holds.
  void AppendBelow(const FoundObject& folder, int depth) {
    if (!expanded_.insert(folder.Id).second) return;
    if (depth >= CRecovery::kMaxFolderDepth) {
      recovery_log::Text(
          LogLevelError, u"Recovery list: folders nested deeper than %d below '%s' left out",
          CRecovery::kMaxFolderDepth, std::u16string(folder.Name ? folder.Name : u""));
      return;
    }
    std::vector<FoundObject*> children;
    store_.Children(folder.Id, children);
    for (FoundObject* child : children) {
      if (child == &folder || (child->Flags & FoundDriveNode)) continue;
      if (child->Flags & FoundFolder) {
        AppendBelow(*child, depth + 1);
        if (!IsStoreNode(*child, rootId_)) Append(child);
      } else {
        Append(child);
      }
    }
  }

 private:
  CRecovery& job_;
  FoundObjectStore& store_;
  const int32_t rootId_;
  std::unordered_set<const FoundObject*> listed_;
  std::unordered_set<int32_t> expanded_;
};

}  // namespace

int BuildRecoveryList(CRecovery& job, IRecoverySelection& selection) {
  job.List.clear();
  CVolume* volume = selection.Volume();
  job.SourceVolume = volume;
  if (!volume) return 0;
  FoundObjectStore& store = volume->Store;
  try {
    FoundObjectStore::Guard guard = store.Lock();
    const int32_t rootId = store.RootId();
    ListBuilder builder(job, store);
    const bool tree = selection.FocusedControl() == IRecoverySelection::Control::FolderTree;
    for (FoundObject* object : selection.SelectedObjects()) {
      if (!object) continue;
      if (!(object->Flags & (FoundFolder | FoundDriveNode))) {
        if (!tree) builder.Append(object);
        continue;
      }
      builder.AppendBelow(*object, 0);
      if (!tree && !IsStoreNode(*object, rootId)) builder.Append(object);
      if (tree) break;
    }
  } catch (...) {
    selection.SetListIncomplete();
  }
  return static_cast<int>(job.List.size());
}
