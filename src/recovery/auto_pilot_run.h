// AutoPilot's recovery: every deleted and lost file of the analysed volume into the
// destination folder, without a question. A file whose size its content did not give takes
// the distance to the next object found (size option 2) for this run only; the job's own
// choice, which the user makes in the size dialog and which lasts until the program ends, is
// put back when the run is over.
#pragma once

#include <cstdint>

#include "recovery/auto_selection.h"

class CAutoPilotRun {
 public:
  // The size option a run of unknown sizes takes: the distance to the next found object.
  static constexpr int32_t kSizeOption = 2;

  explicit CAutoPilotRun(CRecovery& job) : job_(job) {}
  // Puts the job's size choice back if a run is still pending (the page went away).
  ~CAutoPilotRun();
  CAutoPilotRun(const CAutoPilotRun&) = delete;
  CAutoPilotRun& operator=(const CAutoPilotRun&) = delete;

  // Lists every deleted and lost file of the volume and starts the job. False, with the job's
  // size choice unchanged, when nothing is listed or the run cannot start (another run goes,
  // no destination).
  bool Start(CVolume& volume);
  // True once a started run has ended; the size choice is then put back. Poll it.
  bool Finished();
  bool Started() const { return started_; }
  // How many files the run listed.
  int32_t Listed() const { return listed_; }

 private:
  void RestoreSizeChoice();

  CRecovery& job_;
  bool started_ = false;
  bool restored_ = true;
  int32_t listed_ = 0;
  int32_t savedSizeMode_ = 0;
  int64_t savedSizeBytes_ = -1;
};
