#include "recovery/recovery_tally.h"

#include "recovery/recovery.h"

void CRecoveryTally::Begin(const CRecovery& job) {
  job_ = &job;
  bankedRuns_ = job.RunCount;
  recovered_ = 0;
  incomplete_ = 0;
}

bool CRecoveryTally::HasUnbankedRun() const { return job_ && job_->RunCount != bankedRuns_; }

void CRecoveryTally::Observe() {
  if (!HasUnbankedRun() || job_->IsRunning()) return;
  recovered_ += job_->RecoveredCount;
  incomplete_ += job_->IncompleteCount;
  bankedRuns_ = job_->RunCount;
}

int32_t CRecoveryTally::Recovered() const {
  return recovered_ + (HasUnbankedRun() ? job_->RecoveredCount.load() : 0);
}

int32_t CRecoveryTally::Incomplete() const {
  return incomplete_ + (HasUnbankedRun() ? job_->IncompleteCount.load() : 0);
}
