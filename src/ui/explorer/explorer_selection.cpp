#include "ui/explorer/explorer_selection.h"

#include "filesystems/found_object_store.h"
#include "volumes/volume.h"

std::vector<FoundObject*> MarkedObjects(CVolume& volume) {
  std::vector<FoundObject*> marked;
  FoundObjectStore::Guard guard = volume.Store.Lock();
  for (FoundObject* object : volume.Store.AllObjects())
    if ((object->Flags & FoundMarked) && !(object->Flags & FoundDriveNode))
      marked.push_back(object);
  return marked;
}

bool HasMarkedObjects(CVolume& volume) {
  FoundObjectStore::Guard guard = volume.Store.Lock();
  for (FoundObject* object : volume.Store.AllObjects())
    if ((object->Flags & FoundMarked) && !(object->Flags & FoundDriveNode)) return true;
  return false;
}

CVolume* CExplorerSelection::Volume() const { return source_.Volume ? source_.Volume() : nullptr; }

IRecoverySelection::Control CExplorerSelection::FocusedControl() const {
  // Marked objects are handed over like a list's selection: a folder brings its files and is
  // made itself.
  CVolume* volume = Volume();
  if (volume && HasMarkedObjects(*volume)) return Control::FileList;
  return source_.Focused ? source_.Focused() : Control::FolderTree;
}

std::vector<FoundObject*> CExplorerSelection::SelectedObjects() const {
  CVolume* volume = Volume();
  if (!volume) return {};
  std::vector<FoundObject*> marked = MarkedObjects(*volume);
  if (!marked.empty()) return marked;
  if (!source_.Selected) return {};
  return source_.Selected(source_.Focused ? source_.Focused() : Control::FolderTree);
}

void CExplorerSelection::SetListIncomplete() {
  if (source_.Incomplete) source_.Incomplete();
}
