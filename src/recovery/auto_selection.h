// What AutoPilot recovers without asking: every deleted and every lost file of a volume. A
// file counts as deleted when its own entry is, or when it lies in a deleted folder; as lost
// when the sector pass found it ("Lost files") or its folder chain ends in "Lost folders".
// Live files, also those the sector pass found again by content, are left where they are.
#pragma once

#include <vector>

#include "recovery/recovery.h"

class FoundObjectStore;

// True for a file (not a folder or a tree node) that AutoPilot recovers.
bool IsDeletedOrLostFile(const FoundObjectStore& store, const FoundObject& object);

// Every such file of the volume, in the order the passes found them. Given to
// BuildRecoveryList as a file-list selection, so that each file is listed once and no folder
// entry is added.
class CAutoSelection : public IRecoverySelection {
 public:
  explicit CAutoSelection(CVolume& volume) : volume_(volume) {}
  CVolume* Volume() const override { return &volume_; }
  Control FocusedControl() const override { return Control::FileList; }
  std::vector<FoundObject*> SelectedObjects() const override;

 private:
  CVolume& volume_;
};
