// What a wizard scan page shows at one moment, read from the shared status record and the
// drive's own counters: the counters, the progress bar, the "Status:" text and which buttons
// may be pressed. The page refreshes its controls from it every 200 ms and on every change of
// state, so that the windows hold no logic of their own and the rules are tested without them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "volumes/analysis_status.h"

class CVolume;

// The pass a page runs: the file-system pass (Step 5) or the sector pass (Step 7).
enum class ScanPass : int32_t { FileSystem = 1, Sectors = 2 };

// The file-system pass cannot tell how far it is: its bar runs without end.
enum class ScanBarMode { Marquee, Position };

// Language strings of the "Status:" line.
constexpr uint32_t kTextBusy = 161;
constexpr uint32_t kTextIdle = 162;
// The bar's range is 0..99.
constexpr int32_t kScanBarMaximum = 99;

struct ScanPageState {
  uint64_t Done = 0;   // "Current record:" / "Current cluster:"
  uint64_t Total = 0;  // "Total records:" / "Total clusters:"
  int32_t FilesFound = 0;
  uint32_t ReadErrors = 0;
  // "Free clusters:" of the sector pass; none when the drive's cluster map is not known.
  std::optional<uint64_t> FreeClusters;
  ScanBarMode BarMode = ScanBarMode::Position;
  int32_t BarPosition = 0;
  bool Busy = false;
  uint32_t StatusText = kTextIdle;
  // Back and Next of the sheet, Start and Stop of the page.
  bool WizardButtonsEnabled = true;
  bool StartEnabled = true;
  bool StopEnabled = false;

  bool operator==(const ScanPageState&) const = default;
};

// What the page counts from: the drive's read errors when its scan was started.
struct ScanPageBaseline {
  uint32_t ReadErrors = 0;
  std::optional<uint64_t> FreeClusters;
};

// The baseline of a scan of the volume that starts now (free clusters only for the sector
// pass: counting them walks the cluster map once).
ScanPageBaseline ScanPageBaselineOf(ScanPass pass, const CVolume& volume);

// The page's state for the pass over volume; volume may be null (no drive chosen).
ScanPageState ReadScanPageState(ScanPass pass, const AnalysisStatus& status, const CVolume* volume,
                                const ScanPageBaseline& baseline);

// Clusters of the volume that its cluster map holds as free; none when there is no map.
std::optional<uint64_t> FreeClusterCount(const CVolume& volume);

// A count as the page shows it: plain decimal digits.
std::u16string CountText(uint64_t value);
