// "Create Virtual Drive": a start and a size inside a drive, typed in the edits or chosen on the
// range bar, made into a drive of its own that reads through the chosen part only.
#pragma once

#include <cstdint>

#include "ui/framework/dialog.h"
#include "volumes/virtual_drive.h"

class CVolume;

// The unit the edits start in: the largest one in which the drive measures at least one.
SizeUnit InitialVirtualDriveUnit(uint64_t driveBytes);
// The unit as the labels at the ends of the range bar name it: "GB", "MB", "KB".
std::u16string UnitLabel(SizeUnit unit);

class CVolumeVirtualDlg : public ui::CDialog {
 public:
  explicit CVolumeVirtualDlg(CVolume& volume);

  // After DoModal with IDOK: the new drive in the drive list.
  CVolume* Created() const { return created_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  SizeUnit UnitOf(int comboId) const;
  void SetEditText(int editId, const std::u16string& text);
  void OnRangeChanged(int start, int end);
  void OnEditsChanged();
  void OnUnitChanged(int comboId);
  void CreateDrive();

  CVolume& volume_;
  uint64_t driveBytes_ = 0;
  // The last start and size the edits described, for a change of unit.
  uint64_t startBytes_ = 0;
  uint64_t sizeBytes_ = 0;
  bool updating_ = false;
  CVolume* created_ = nullptr;
};
