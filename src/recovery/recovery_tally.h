// The files a job wrote over several runs: the wizard recovers after each pass and sums them
// up at the end. A job's counts are those of its last run, so each ended run is banked once,
// when it is seen after it ended (before the next run starts, and at the end).
#pragma once

#include <cstdint>

class CRecovery;

class CRecoveryTally {
 public:
  // Counts the runs started from now on.
  void Begin(const CRecovery& job);
  // Banks the last run when it has ended and was not banked yet.
  void Observe();
  // Files written whole, and written in part, by the runs since Begin (the one that may still
  // run included).
  int32_t Recovered() const;
  int32_t Incomplete() const;

 private:
  bool HasUnbankedRun() const;

  const CRecovery* job_ = nullptr;
  int32_t bankedRuns_ = 0;
  int32_t recovered_ = 0;
  int32_t incomplete_ = 0;
};
