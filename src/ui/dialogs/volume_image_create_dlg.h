// "Creating Drive Image": the progress of one copy of a drive into an image file, with its bar,
// elapsed time and speed, and at the end how the copy went. Cancel stops the copy and shows what
// the file holds; an incomplete image is only loaded when the user ticks the box for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/framework/dialog.h"
#include "volumes/image.h"

// The speed field: nothing during the first second, then the average so far, "1,234 KB/s".
std::u16string ImageSpeedText(uint64_t bytesCopied, uint32_t elapsedMs);
// The elapsed-time field, hours:minutes:seconds.
std::u16string ImageElapsedText(uint32_t elapsedMs);
// How a copy ended, in a sentence for the user.
std::u16string ImageOutcomeText(ImageOutcome outcome, uint64_t sectorsInFile, uint64_t totalSectors,
                                uint64_t unreadableSectors);
// An image that holds every sector of the drive (unreadable ones as zeros).
bool IsImageComplete(ImageOutcome outcome);
// A file with some sectors in it that the user may still choose to load.
bool CanKeepIncompleteImage(ImageOutcome outcome, uint64_t sectorsInFile);

class CVolumeImage_CreateDlg : public ui::CDialog {
 public:
  explicit CVolumeImage_CreateDlg(std::shared_ptr<ImageJob> job);

  // After DoModal: the image is to be loaded as a drive (complete, or kept by the user).
  bool ShouldLoadImage() const { return loadImage_; }
  ImageOutcome Outcome() const { return job_->Outcome.load(); }

  // The timer of the progress, every 250 ms.
  static constexpr UINT_PTR kTimerId = 250;

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void ShowProgress();
  void ShowOutcome();
  void StopCopy();
  void Close(INT_PTR result);

  std::shared_ptr<ImageJob> job_;
  bool finished_ = false;
  bool loadImage_ = false;
};
