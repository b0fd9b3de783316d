#include "filesystems/fat_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "app/strings.h"
#include "volumes/bit_array.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

// The table is read in pieces of this many sectors (4 MiB).
constexpr uint64_t kTablePieceSectors = 8192;
// How many steps a chain walk takes between two questions whether it may go on.
constexpr size_t kStepsBetweenPolls = 4096;

// Cuts a chain that came back to one of its clusters to its distinct clusters. The list holds
// x0 ... xh, and xh equals x(h - cycle); the first repeated cluster is the first x(i) that
// equals x(i + cycle).
void TrimLoop(std::vector<uint32_t>& clusters, size_t cycle) {
  size_t start = 0;
  while (start + cycle < clusters.size() && clusters[start] != clusters[start + cycle]) ++start;
  clusters.resize(start + cycle);
}

// One piece of the table from the first copy that reads in full; false when none does.
bool ReadTablePiece(CVolume& volume, const FatLayout& layout, uint64_t firstSector,
                    uint64_t sectors, uint8_t* into) {
  const uint32_t want = static_cast<uint32_t>(sectors * kSectorSize);
  for (uint32_t copy = 0; copy < layout.TableCount; ++copy) {
    const uint64_t copyStart = layout.TableSector + copy * (layout.TableBytes / kSectorSize);
    if (volume.ReadSectors(into, copyStart + firstSector, sectors) == want) {
      if (copy != 0)
        volume_log::Error(u"FAT allocation table: sectors %I64u to %I64u taken from copy %u",
                          firstSector, firstSector + sectors - 1, copy + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

CFatTable::CFatTable(FatWidth width, uint32_t maxCluster, std::vector<uint8_t> bytes)
    : width_(width), maxCluster_(maxCluster), bytes_(std::move(bytes)) {}

uint32_t CFatTable::Entry(uint32_t cluster) const {
  const uint64_t n = cluster;
  switch (width_) {
    case FatWidth::Fat12: {
      const uint64_t at = n * 3 / 2;
      if (at + 1 >= bytes_.size()) return 0;
      const uint32_t word = bytes_[at] | bytes_[at + 1] << 8;
      return (n & 1) ? word >> 4 : word & 0xFFF;
    }
    case FatWidth::Fat16: {
      const uint64_t at = n * 2;
      if (at + 1 >= bytes_.size()) return 0;
      return bytes_[at] | bytes_[at + 1] << 8;
    }
    case FatWidth::Fat32:
      break;
  }
  const uint64_t at = n * 4;
  if (at + 3 >= bytes_.size()) return 0;
  uint32_t value = 0;
  std::memcpy(&value, bytes_.data() + at, sizeof value);  // both targets are little-endian
  return value & 0x0FFFFFFF;
}

bool CFatTable::IsEndMark(uint32_t value) const {
  switch (width_) {
    case FatWidth::Fat12:
      return value >= 0xFF8;
    case FatWidth::Fat16:
      return value >= 0xFFF8;
    case FatWidth::Fat32:
      break;
  }
  return value >= 0x0FFFFFF8;
}

// Brent's cycle search over the chain: the tortoise waits at the hare's position of the last
// power of two, so a loop shows in time linear in the chain without a visited set.
FatChainEnd CFatTable::Chain(uint32_t first, size_t limit, std::vector<uint32_t>& clusters,
                             const std::function<bool()>& mayContinue) const {
  clusters.clear();
  if (!IsCluster(first) || limit == 0) return FatChainEnd::OutOfRange;
  clusters.push_back(first);
  uint32_t tortoise = first;
  uint32_t hare = first;
  size_t power = 1;
  size_t steps = 0;
  for (;;) {
    if (clusters.size() >= limit) return FatChainEnd::Limit;
    if (clusters.size() % kStepsBetweenPolls == 0 && mayContinue && !mayContinue())
      return FatChainEnd::Stopped;
    const uint32_t next = Entry(hare);
    if (next == 0) return FatChainEnd::Free;
    if (IsEndMark(next)) return FatChainEnd::EndMark;
    if (!IsCluster(next)) return FatChainEnd::OutOfRange;
    hare = next;
    ++steps;
    clusters.push_back(hare);
    if (hare == tortoise) {
      TrimLoop(clusters, steps);
      return FatChainEnd::Loop;
    }
    if (steps == power) {
      tortoise = hare;
      power *= 2;
      steps = 0;
    }
  }
}

void CFatTable::FillBitmap(CBitArray& bitmap) const {
  const uint64_t entries = static_cast<uint64_t>(maxCluster_) + 1;
  if (!bitmap.Reset(entries, 0)) return;
  for (uint64_t n = 0; n < entries; ++n)
    if (Entry(static_cast<uint32_t>(n)) != 0) bitmap.Set(n, 1);
}

std::vector<FatRun> ChainRuns(std::span<const uint32_t> clusters) {
  std::vector<FatRun> runs;
  for (uint32_t cluster : clusters) {
    if (!runs.empty() && runs.back().First + runs.back().Count == cluster)
      ++runs.back().Count;
    else
      runs.push_back({cluster, 1});
  }
  return runs;
}

std::optional<CFatTable> LoadFatTable(CVolume& volume, const FatLayout& layout,
                                      const std::function<bool()>& mayContinue) {
  const uint64_t sectors = (layout.UsedTableBytes() + kSectorSize - 1) / kSectorSize;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(sectors * kSectorSize);
  } catch (const std::bad_alloc&) {
    volume_log::Error(StringResource(193));
    return std::nullopt;
  }
  for (uint64_t done = 0; done < sectors;) {
    if (mayContinue && !mayContinue()) return std::nullopt;
    const uint64_t piece = std::min(kTablePieceSectors, sectors - done);
    uint8_t* into = bytes.data() + done * kSectorSize;
    if (!ReadTablePiece(volume, layout, done, piece, into)) {
      std::memset(into, 0, piece * kSectorSize);
      volume_log::Error(
          u"FAT allocation table: sectors %I64u to %I64u not read in any copy; their clusters "
          u"count as free",
          done, done + piece - 1);
    }
    done += piece;
  }
  return CFatTable(layout.Width, layout.MaxCluster, std::move(bytes));
}
