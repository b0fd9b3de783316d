#include "recovery/auto_pilot_run.h"

#include "volumes/volume.h"

CAutoPilotRun::~CAutoPilotRun() {
  // The thread reads the choice for every file: it goes back only after the run.
  if (!restored_ && job_.Wait(0)) RestoreSizeChoice();
}

bool CAutoPilotRun::Start(CVolume& volume) {
  if (job_.IsRunning()) return false;
  CAutoSelection selection(volume);
  savedSizeMode_ = job_.SizeModeAll;
  savedSizeBytes_ = job_.SizeAllBytes;
  job_.SizeModeAll = kSizeOption;
  restored_ = false;
  started_ = BeginRecovery(job_, selection);
  listed_ = static_cast<int32_t>(job_.List.size());
  if (!started_) RestoreSizeChoice();
  return started_;
}

bool CAutoPilotRun::Finished() {
  if (!started_ || job_.IsRunning()) return false;
  if (!restored_) RestoreSizeChoice();
  return true;
}

void CAutoPilotRun::RestoreSizeChoice() {
  // A choice the user made in the size dialog meanwhile stays: only our own option goes.
  if (job_.SizeModeAll == kSizeOption) {
    job_.SizeModeAll = savedSizeMode_;
    job_.SizeAllBytes = savedSizeBytes_;
  }
  restored_ = true;
}
