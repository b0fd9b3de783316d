#include "volumes/scan_page_state.h"

#include <algorithm>
#include <bit>

#include "volumes/volume.h"

namespace {

// A pass of this volume runs: the gate is held for it, or its pass thread has marked it as
// being analysed (the thread may still be ending after the gate was dropped).
bool PassRuns(const AnalysisStatus& status, const CVolume& volume) {
  return (status.Running != 0 && status.Volume.load() == &volume) ||
         volume.State == VolumeStateAnalysing;
}

int32_t BarPositionOf(uint64_t done, uint64_t total) {
  const uint64_t hundredth = total / 100;
  if (done == 0 || hundredth == 0) return 0;
  return static_cast<int32_t>(std::min<uint64_t>(done / hundredth, kScanBarMaximum));
}

}  // namespace

std::optional<uint64_t> FreeClusterCount(const CVolume& volume) {
  const CBitArray& map = volume.ClusterBitmap;
  const uint64_t clusters = std::min<uint64_t>(volume.ClusterCount, map.BitCount());
  if (clusters == 0 || !map.Data()) return std::nullopt;
  uint64_t used = 0;
  const uint64_t wholeBytes = clusters / 8;
  const uint8_t* data = map.Data();
  for (uint64_t i = 0; i < wholeBytes; ++i) used += std::popcount(data[i]);
  for (uint64_t bit = wholeBytes * 8; bit < clusters; ++bit) used += map.Get(bit);
  return clusters - used;
}

ScanPageBaseline ScanPageBaselineOf(ScanPass pass, const CVolume& volume) {
  ScanPageBaseline baseline;
  baseline.ReadErrors = volume.ReadErrors;
  if (pass == ScanPass::Sectors) baseline.FreeClusters = FreeClusterCount(volume);
  return baseline;
}

ScanPageState ReadScanPageState(ScanPass pass, const AnalysisStatus& status, const CVolume* volume,
                                const ScanPageBaseline& baseline) {
  ScanPageState state;
  state.Done = status.ProgressPos;
  state.Total = status.ProgressTotal;
  state.BarMode = pass == ScanPass::FileSystem ? ScanBarMode::Marquee : ScanBarMode::Position;
  if (pass == ScanPass::Sectors) state.BarPosition = BarPositionOf(state.Done, state.Total);
  if (volume) {
    state.FilesFound =
        pass == ScanPass::FileSystem ? volume->FileSystemFiles.load() : volume->ScanFiles.load();
    // A count taken before a rescan of the list may be larger than a new volume's.
    const uint32_t errors = volume->ReadErrors;
    state.ReadErrors = errors >= baseline.ReadErrors ? errors - baseline.ReadErrors : errors;
    state.Busy = PassRuns(status, *volume);
  }
  if (pass == ScanPass::Sectors) state.FreeClusters = baseline.FreeClusters;
  state.StatusText = state.Busy ? kTextBusy : kTextIdle;
  state.WizardButtonsEnabled = !state.Busy;
  state.StartEnabled = !state.Busy && volume != nullptr;
  state.StopEnabled = state.Busy;
  return state;
}

std::u16string CountText(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}
