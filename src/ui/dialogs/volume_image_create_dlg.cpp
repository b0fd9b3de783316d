#include "ui/dialogs/volume_image_create_dlg.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/messages.h"
#include "platform/file.h"
#include "platform/text.h"
#include "platform/time.h"
#include "resources/explorer_dialogs.h"
#include "ui/framework/window_target.h"
#include "volumes/volume.h"

namespace {

// A stop waits for the worker's current read, which the drive's own time limits bound.
constexpr uint32_t kStopWaitMs = 30000;

std::u16string GroupedNumber(uint64_t value) {
  const std::u16string digits = platform::Format(u"%I64u", value);
  wchar_t grouped[64] = {};
  NUMBERFMTW format{};
  wchar_t decimal[] = L".";
  wchar_t thousand[8] = L",";
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 8);
  format.NumDigits = 0;
  format.Grouping = 3;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousand;
  if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, platform::W(digits.c_str()), &format, grouped,
                         64) == 0)
    return digits;
  return platform::U(grouped);
}

}  // namespace

std::u16string ImageSpeedText(uint64_t bytesCopied, uint32_t elapsedMs) {
  if (elapsedMs < 1000) return {};
  const uint64_t kilobytesPerSecond = bytesCopied / 1024 * 1000 / elapsedMs;
  return GroupedNumber(kilobytesPerSecond) + u" KB/s";
}

std::u16string ImageElapsedText(uint32_t elapsedMs) {
  const uint32_t seconds = elapsedMs / 1000;
  return platform::Format(u"%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

bool IsImageComplete(ImageOutcome outcome) { return outcome == ImageOutcome::Complete; }

bool CanKeepIncompleteImage(ImageOutcome outcome, uint64_t sectorsInFile) {
  return (outcome == ImageOutcome::Stopped || outcome == ImageOutcome::WriteFailed) &&
         sectorsInFile != 0;
}

std::u16string ImageOutcomeText(ImageOutcome outcome, uint64_t sectorsInFile, uint64_t totalSectors,
                                uint64_t unreadableSectors) {
  switch (outcome) {
    case ImageOutcome::NotStarted:
    case ImageOutcome::Running:
      return u"Copying...";
    case ImageOutcome::Complete:
      if (unreadableSectors == 0)
        return platform::Format(u"The image is complete: %s sectors copied.",
                                GroupedNumber(totalSectors));
      return platform::Format(
          u"The image is complete, but %s sectors could not be read and were written as zeros.",
          GroupedNumber(unreadableSectors));
    case ImageOutcome::Stopped:
      return platform::Format(
          u"The copy was stopped after %s of %s sectors. The image is incomplete.",
          GroupedNumber(sectorsInFile), GroupedNumber(totalSectors));
    case ImageOutcome::WriteFailed:
      return platform::Format(
          u"Writing the image failed at sector %s of %s. The image is incomplete.",
          GroupedNumber(sectorsInFile), GroupedNumber(totalSectors));
    case ImageOutcome::SourceNotOpened:
      return u"The drive could not be opened. No image was made.";
    case ImageOutcome::FileNotCreated:
      return u"The image file could not be created. No image was made.";
    case ImageOutcome::NoSize:
      return u"The size of the drive is not known. Nothing was copied.";
  }
  return {};
}

CVolumeImage_CreateDlg::CVolumeImage_CreateDlg(std::shared_ptr<ImageJob> job)
    : CDialog(IDD_VOLUME_IMAGE_CREATE), job_(std::move(job)) {}

bool CVolumeImage_CreateDlg::OnInit() {
  ::SendDlgItemMessageW(Handle(), IDC_IMAGE_PROGRESS, PBM_SETRANGE32, 0, 100);
  CWindow(Item(IDC_IMAGE_TARGET)).SetText(job_->ImagePath);
  job_->DialogWindow = ui::TargetForWindow(Handle());
  ::SetTimer(Handle(), kTimerId, 250, nullptr);
  // A worker that ended before the dialog was there posted to nobody.
  if (job_->Finished.Wait(0)) ShowOutcome();
  return true;
}

void CVolumeImage_CreateDlg::ShowProgress() {
  // The worker's start time is taken with the engine's clock, so the dialog reads the same one.
  const platform::FileTime start = job_->StartTime.load();
  const platform::FileTime now = platform::SystemTimeAsFileTime();
  const uint32_t elapsedMs =
      now > start ? static_cast<uint32_t>(std::min<uint64_t>((now - start) / 10000, UINT32_MAX))
                  : 0;
  const uint64_t current = job_->CurrentSector.load();
  ::SendDlgItemMessageW(Handle(), IDC_IMAGE_PROGRESS, PBM_SETPOS,
                        static_cast<WPARAM>(ImageProgressPercent(*job_)), 0);
  if (job_->Outcome.load() == ImageOutcome::NotStarted) return;
  CWindow(Item(IDC_IMAGE_ELAPSED)).SetText(ImageElapsedText(elapsedMs));
  if (current != 0)
    CWindow(Item(IDC_IMAGE_SPEED)).SetText(ImageSpeedText(current * kSectorSize, elapsedMs));
}

void CVolumeImage_CreateDlg::ShowOutcome() {
  if (finished_) return;
  finished_ = true;
  ::KillTimer(Handle(), kTimerId);
  const ImageOutcome outcome = job_->Outcome.load();
  const uint64_t inFile = job_->CurrentSector.load();
  ShowProgress();
  // The bar tells how much of the drive is in the file.
  const uint64_t total = job_->TotalSectors.load();
  const int percent = IsImageComplete(outcome) ? 100
                      : total == 0
                          ? 0
                          : static_cast<int>(std::min<uint64_t>(inFile * 100 / total, 100));
  ::SendDlgItemMessageW(Handle(), IDC_IMAGE_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  CWindow(Item(IDC_IMAGE_OUTCOME))
      .SetText(ImageOutcomeText(outcome, inFile, total, job_->UnreadableSectors.load()));
  CWindow(Item(IDC_IMAGE_KEEP)).Enable(CanKeepIncompleteImage(outcome, inFile));
  CWindow(Item(IDCANCEL)).SetText(u"OK");
}

void CVolumeImage_CreateDlg::OnTimer(UINT_PTR id) {
  if (id != kTimerId || finished_) return;
  // A source that cannot be opened ends the worker without a message.
  if (job_->Finished.Wait(0)) {
    ShowOutcome();
    return;
  }
  ShowProgress();
}

void CVolumeImage_CreateDlg::StopCopy() {
  ::KillTimer(Handle(), kTimerId);
  CWindow(Item(IDC_IMAGE_OUTCOME)).SetText(u"Stopping...");
  CWindow(Item(IDCANCEL)).Enable(false);
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  StopImageThread(*job_, kStopWaitMs);
  ::SetCursor(previous);
  CWindow(Item(IDCANCEL)).Enable(true);
  if (!job_->Finished.Wait(0)) {
    // The worker still waits for its drive; the job outlives this dialog.
    CWindow(Item(IDC_IMAGE_OUTCOME)).SetText(u"The copy does not answer. The image is incomplete.");
    finished_ = true;
    CWindow(Item(IDCANCEL)).SetText(u"OK");
    return;
  }
  ShowOutcome();
}

void CVolumeImage_CreateDlg::Close(INT_PTR result) {
  const ImageOutcome outcome = job_->Outcome.load();
  const bool keep = ::IsDlgButtonChecked(Handle(), IDC_IMAGE_KEEP) == BST_CHECKED &&
                    CanKeepIncompleteImage(outcome, job_->CurrentSector.load());
  loadImage_ = job_->Finished.Wait(0) && (IsImageComplete(outcome) || keep);
  job_->DialogWindow = nullptr;
  End(result);
}

bool CVolumeImage_CreateDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDCANCEL:
    case IDOK:
      // The first press while copying stops the copy and shows what the file holds.
      if (!finished_)
        StopCopy();
      else
        Close(id);
      return true;
    case IDHELP:
      if (HWND owner = ::GetParent(Handle()))
        ::PostMessageW(owner, WM_COMMAND, CommandHelpContents, 0);
      return true;
    default:
      return false;
  }
}

bool CVolumeImage_CreateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                       INT_PTR& result) {
  switch (message) {
    case UM_IMAGE_COPY_FINISHED:
      // The worker posts before it marks the job finished.
      job_->Finished.Wait(kStopWaitMs);
      ShowOutcome();
      return true;
    case UM_IMAGE_COPY_ERROR: {
      job_->Finished.Wait(kStopWaitMs);
      ShowOutcome();
      const std::u16string text = u"The image file could not be created:\n" + job_->ImagePath +
                                  u"\n\n" +
                                  platform::SystemErrorMessage(static_cast<uint32_t>(lParam));
      ::MessageBoxW(Handle(), platform::W(text.c_str()), L"Error", MB_OK | MB_ICONERROR);
      return true;
    }
    case WM_CLOSE:
      OnCommand(IDCANCEL, 0, nullptr);
      return true;
    default:
      return false;
  }
}
