// What Recover copies from the explorer: the marked objects of the current drive when any is
// marked (a marked folder brings everything below it), otherwise the selection of the control
// that had the focus last, as BuildRecoveryList reads it.
#pragma once

#include <functional>
#include <vector>

#include "recovery/recovery.h"

class CVolume;
struct FoundObject;

// The marked objects of the drive's store, in the order they were found.
std::vector<FoundObject*> MarkedObjects(CVolume& volume);
bool HasMarkedObjects(CVolume& volume);

class CExplorerSelection : public IRecoverySelection {
 public:
  struct Source {
    std::function<CVolume*()> Volume;
    std::function<Control()> Focused;
    // The selection of the control, in display order.
    std::function<std::vector<FoundObject*>(Control)> Selected;
    std::function<void()> Incomplete;
  };

  explicit CExplorerSelection(Source source) : source_(std::move(source)) {}

  CVolume* Volume() const override;
  Control FocusedControl() const override;
  std::vector<FoundObject*> SelectedObjects() const override;
  void SetListIncomplete() override;

 private:
  Source source_;
};
