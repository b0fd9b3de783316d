#include "ui/dialogs/volume_virtual_dlg.h"

#include <algorithm>

#include "app/app.h"
#include "platform/text.h"
#include "resources/explorer_dialogs.h"
#include "ui/dialogs/range_bar.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

SizeUnit InitialVirtualDriveUnit(uint64_t driveBytes) {
  if (driveBytes >= UnitBytes(SizeUnit::Gb)) return SizeUnit::Gb;
  if (driveBytes >= UnitBytes(SizeUnit::Mb)) return SizeUnit::Mb;
  return SizeUnit::Kb;
}

std::u16string UnitLabel(SizeUnit unit) {
  return unit == SizeUnit::Gb ? u"GB" : unit == SizeUnit::Mb ? u"MB" : u"KB";
}

CVolumeVirtualDlg::CVolumeVirtualDlg(CVolume& volume)
    : CDialog(IDD_VOLUME_VIRTUAL), volume_(volume), driveBytes_(volume.TotalBytes) {}

bool CVolumeVirtualDlg::OnInit() {
  const SizeUnit unit = InitialVirtualDriveUnit(driveBytes_);
  for (int combo : {IDC_VIRTUAL_START_UNIT, IDC_VIRTUAL_SIZE_UNIT}) {
    for (const wchar_t* name : {L"Gb", L"Mb", L"Kb"})
      ::SendDlgItemMessageW(Handle(), combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ::SendDlgItemMessageW(Handle(), combo, CB_SETCURSEL, static_cast<WPARAM>(unit), 0);
  }
  // The ends of the range bar in the unit the drive is measured in: "0 GB" and "931.5 GB",
  // or "0 MB" and "1.4 MB" for a floppy.
  const std::u16string unitName = UnitLabel(unit);
  CWindow(Item(IDC_VIRTUAL_ZERO)).SetText(u"0 " + unitName);
  CWindow(Item(IDC_VIRTUAL_DRIVE_SIZE)).SetText(SizeText(driveBytes_, unit) + u" " + unitName);
  sizeBytes_ = driveBytes_;
  SetEditText(IDC_VIRTUAL_START, SizeText(0, unit));
  SetEditText(IDC_VIRTUAL_SIZE, SizeText(driveBytes_, unit));
  ::SendDlgItemMessageW(Handle(), IDC_VIRTUAL_RANGE, kRangeBarSetRange, 0, kVirtualRangeUnits);
  OnEditsChanged();
  return true;
}

SizeUnit CVolumeVirtualDlg::UnitOf(int comboId) const {
  const LRESULT index = ::SendDlgItemMessageW(Handle(), comboId, CB_GETCURSEL, 0, 0);
  return index == 1 ? SizeUnit::Mb : index == 2 ? SizeUnit::Kb : SizeUnit::Gb;
}

void CVolumeVirtualDlg::SetEditText(int editId, const std::u16string& text) {
  updating_ = true;
  CWindow(Item(editId)).SetText(text);
  updating_ = false;
}

void CVolumeVirtualDlg::OnRangeChanged(int start, int end) {
  const VirtualDriveTexts texts = TextsForRange(
      driveBytes_, start, end, UnitOf(IDC_VIRTUAL_START_UNIT), UnitOf(IDC_VIRTUAL_SIZE_UNIT));
  SetEditText(IDC_VIRTUAL_START, texts.Start);
  SetEditText(IDC_VIRTUAL_SIZE, texts.Size);
  startBytes_ = BytesAtRangePosition(driveBytes_, start);
  sizeBytes_ = BytesAtRangePosition(driveBytes_, std::max(start, end)) - startBytes_;
  OnEditsChanged();
}

// Checks the edits, tells why they do not describe a drive, and moves the range bar to them.
void CVolumeVirtualDlg::OnEditsChanged() {
  std::u16string whyNot;
  const std::optional<VirtualDriveRange> range = RangeFromTexts(
      driveBytes_, CWindow(Item(IDC_VIRTUAL_START)).GetText(), UnitOf(IDC_VIRTUAL_START_UNIT),
      CWindow(Item(IDC_VIRTUAL_SIZE)).GetText(), UnitOf(IDC_VIRTUAL_SIZE_UNIT), &whyNot);
  CWindow(Item(IDC_VIRTUAL_REASON)).SetText(whyNot);
  CWindow(Item(IDOK)).Enable(range.has_value());
  if (!range) return;
  startBytes_ = range->Start;
  sizeBytes_ = range->Bytes;
  ::SendDlgItemMessageW(Handle(), IDC_VIRTUAL_RANGE, kRangeBarSetRange,
                        static_cast<WPARAM>(RangePositionOfBytes(driveBytes_, range->Start)),
                        RangePositionOfBytes(driveBytes_, range->Start + range->Bytes));
}

void CVolumeVirtualDlg::OnUnitChanged(int comboId) {
  if (comboId == IDC_VIRTUAL_START_UNIT)
    SetEditText(IDC_VIRTUAL_START, SizeText(startBytes_, UnitOf(comboId)));
  else
    SetEditText(IDC_VIRTUAL_SIZE, SizeText(sizeBytes_, UnitOf(comboId)));
  OnEditsChanged();
}

void CVolumeVirtualDlg::CreateDrive() {
  std::u16string whyNot;
  const std::optional<VirtualDriveRange> range = RangeFromTexts(
      driveBytes_, CWindow(Item(IDC_VIRTUAL_START)).GetText(), UnitOf(IDC_VIRTUAL_START_UNIT),
      CWindow(Item(IDC_VIRTUAL_SIZE)).GetText(), UnitOf(IDC_VIRTUAL_SIZE_UNIT), &whyNot);
  if (!range) {
    CWindow(Item(IDC_VIRTUAL_REASON)).SetText(whyNot);
    return;
  }
  created_ = g_pComputer ? CreateVirtualDrive(*g_pComputer, volume_, *range) : nullptr;
  if (!created_) {
    ::MessageBoxW(Handle(), L"The virtual drive could not be created. The log tells why.",
                  L"Create Virtual Drive", MB_OK | MB_ICONERROR);
    return;
  }
  End(IDOK);
}

bool CVolumeVirtualDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      CreateDrive();
      return true;
    case IDCANCEL:
      End(IDCANCEL);
      return true;
    case IDHELP:
      if (HWND owner = ::GetParent(Handle()))
        ::PostMessageW(owner, WM_COMMAND, CommandHelpContents, 0);
      return true;
    case IDC_VIRTUAL_START:
    case IDC_VIRTUAL_SIZE:
      if (code == EN_CHANGE && !updating_) OnEditsChanged();
      return true;
    case IDC_VIRTUAL_START_UNIT:
    case IDC_VIRTUAL_SIZE_UNIT:
      if (code == CBN_SELCHANGE) OnUnitChanged(id);
      return true;
    default:
      return false;
  }
}

bool CVolumeVirtualDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message != UM_RANGE_CHANGED) return false;
  OnRangeChanged(static_cast<int>(wParam), static_cast<int>(lParam));
  return true;
}
