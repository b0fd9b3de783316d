// Reading the scanner's blocks: the block and its lookahead in one read when the drive allows,
// the rest after a short read, and sector by sector after a failed one, so that one bad
// sector costs 512 bytes of the scan and not the rest of the drive.
#include <algorithm>
#include <cstring>
#include <exception>

#include "signatures/search_worker.h"
#include "signatures/searcher.h"
#include "volumes/volume.h"

namespace {

constexpr uint32_t kUnit = 512;

uint32_t ReadOrFail(CVolume& volume, uint8_t* buffer, uint64_t sector, uint64_t count) {
  try {
    const uint32_t got = volume.ReadSectors(buffer, sector, count);
    // Only whole sectors of what was asked count.
    return static_cast<uint32_t>(std::min<uint64_t>(got / kUnit, count));
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

uint32_t CSearcher::ReadBlock(SearchWorker& worker) {
  worker.ReadableBytes = 0;
  worker.BlockBytesRead = 0;
  worker.UnreadableUnits.clear();
  const uint64_t perCluster = clusterBytes_ / kUnit;
  // Units after the last whole cluster are not scanned; the lookahead may read them.
  const uint64_t scanEnd = clusterCount_ * perCluster;
  const uint64_t driveEnd = volumeBytes_ / kUnit;
  if (worker.BlockStart > scanEnd / perCluster) return 0;
  const uint64_t first = worker.BlockStart * perCluster;
  if (first >= scanEnd) return 0;
  const uint64_t own = std::min<uint64_t>(worker.BufferSize / kUnit, scanEnd - first);
  const uint64_t look = std::min<uint64_t>(kLookahead / kUnit, driveEnd - (first + own));
  const uint64_t count = own + look;
  const uint64_t failedBefore = unreadableSectors_;
  ReadRange(worker, first, static_cast<uint32_t>(count), first + own);
  worker.ReadableBytes = static_cast<uint32_t>(count * kUnit);
  worker.BlockBytesRead = static_cast<uint32_t>(own * kUnit);
  return static_cast<uint32_t>((own - (unreadableSectors_ - failedBefore)) * kUnit);
}

void CSearcher::ReadRange(SearchWorker& worker, uint64_t firstSector, uint32_t count,
                          uint64_t ownEnd) {
  uint8_t* buffer = worker.Buffer.data();
  uint32_t done = 0;
  while (done < count) {
    const uint32_t got =
        ReadOrFail(volume_, buffer + size_t{done} * kUnit, firstSector + done, count - done);
    if (got == 0) break;
    done += got;
  }
  if (done == count) return;
  // The bulk read failed: every sector on its own, zeros for those that fail.
  uint64_t runStart = 0;
  uint64_t runLength = 0;
  for (uint32_t index = done; index < count; ++index) {
    uint8_t* sector = buffer + size_t{index} * kUnit;
    if (ReadOrFail(volume_, sector, firstSector + index, 1) == 1) {
      if (runLength != 0) MarkUnreadable(worker, firstSector, runStart, runLength, ownEnd);
      runLength = 0;
      continue;
    }
    std::memset(sector, 0, kUnit);
    if (runLength == 0) runStart = firstSector + index;
    ++runLength;
  }
  if (runLength != 0) MarkUnreadable(worker, firstSector, runStart, runLength, ownEnd);
}

// Only the block's own sectors are counted and logged: the lookahead belongs to the next block.
void CSearcher::MarkUnreadable(SearchWorker& worker, uint64_t firstSector, uint64_t sector,
                               uint64_t count, uint64_t ownEnd) {
  if (sector >= ownEnd) return;
  count = std::min(count, ownEnd - sector);
  worker.UnreadableUnits.emplace_back(static_cast<uint32_t>(sector - firstSector),
                                      static_cast<uint32_t>(count));
  LogUnreadable(sector, count);
}
