// The right pane of a selected drive: its facts in a two-column list (file system, size,
// label, geometry, device).
#pragma once

#include <windows.h>

class CVolume;

class CVolumeInfoView {
 public:
  bool Create(HWND parent);
  HWND Handle() const { return list_; }
  // Shows the facts of the volume; an empty list for null.
  void ShowVolume(CVolume* volume);
  // The value column takes the width the names leave.
  void FitColumns();

 private:
  HWND list_ = nullptr;
};
