// The record shared by the analysis passes, the sector scanner, the recovery and the windows.
// Writers and readers live on different threads: every field is atomic; the windows poll it.
#pragma once

#include <atomic>
#include <cstdint>

class CLocalComputer;
class CVolume;

struct AnalysisStatus {
  // 1 while an analysis or scan runs; loops stop when it becomes 0.
  std::atomic<int32_t> Running{0};
  std::atomic<int32_t> Phase{0};             // 1 when the file-system pass starts
  std::atomic<uint64_t> ProgressTotal{0};    // clusters of the volume being analysed
  std::atomic<uint64_t> ProgressPos{0};      // clusters done in the current pass
  std::atomic<uint64_t> ProgressExtra{0};    // written by the sector scanner
  std::atomic<uint64_t> ScanStart{0};        // first cluster of the sector scan
  std::atomic<int32_t> RecoveryContinue{0};  // the recovery's own continue flag
  std::atomic<CLocalComputer*> Computer{nullptr};
  std::atomic<CVolume*> Volume{nullptr};
};
