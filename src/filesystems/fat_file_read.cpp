// Reading a found FAT object's data. A live object's data follows its allocation chain; a
// deleted one's chain was cleared by the deletion, so its data is taken to run on contiguously
// from its first cluster. Lost objects lie at their own position.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "filesystems/fat_analyser.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

uint32_t ReadVolume(CVolume& volume, uint64_t position, uint8_t* buffer, uint32_t count) {
  const uint32_t done = volume.ReadBytes(position, buffer, count);
  if (done == 0)
    volume_log::Error(u"CFileSystem_FAT.FileRead: Can't read sector at: %I64d",
                      static_cast<int64_t>(position / kSectorSize));
  return done;
}

}  // namespace

uint32_t CFileSystem_FAT::FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                                   uint32_t count) {
  if (count == 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  try {
    if (record.Flags & FoundLost) {
      if (record.Start < 0 || offset > kMaxPosition - static_cast<uint64_t>(record.Start)) {
        volume_log::Error(u"CFileSystem_FAT.FileRead: no data at %I64d + %I64u", record.Start,
                          offset);
        return 0;
      }
      return ReadVolume(*Volume, static_cast<uint64_t>(record.Start) + offset, out, count);
    }
    if (!EnsureLoaded(LoadMode::Whole)) {
      volume_log::Error(u"CFileSystem_FAT.FileRead: the volume's FAT structures are not readable");
      return 0;
    }
    if (record.Id < 2 || !layout_->IsCluster(static_cast<uint32_t>(record.Id))) {
      volume_log::Error(u"CFileSystem_FAT.FileRead: object %d has no data cluster", record.Id);
      return 0;
    }
    const uint32_t cluster = static_cast<uint32_t>(record.Id);
    if (record.Flags & FoundDeleted) {
      const uint64_t start = layout_->ClusterPosition(cluster);
      if (offset > kMaxPosition - start) {
        volume_log::Error(u"CFileSystem_FAT.FileRead: offset %I64u lies beyond any volume", offset);
        return 0;
      }
      return ReadVolume(*Volume, start + offset, out, count);
    }
    std::lock_guard lock(readLock_);
    return ReadMapped(cluster, out, offset, count);
  } catch (const std::exception& error) {
    volume_log::Error(u"CFileSystem_FAT.FileRead: %S", error.what());
    return 0;
  }
}

uint32_t CFileSystem_FAT::ReadMapped(uint32_t firstCluster, uint8_t* buffer, uint64_t offset,
                                     uint32_t count) {
  const DataMap& map = MapOf(firstCluster);
  const uint64_t clusterBytes = layout_->BytesPerCluster;
  const FatRun& lastRun = map.Runs.back();
  const uint64_t chainBytes = map.RunOffsets.back() + lastRun.Count * clusterBytes;
  uint32_t done = 0;
  while (done < count) {
    const uint64_t at = offset + done;
    if (at < offset) break;  // the offset wrapped around
    uint64_t position = 0;
    uint64_t available = count - done;
    if (at < chainBytes) {
      // The last run that starts at or before the offset holds it.
      const size_t run = std::upper_bound(map.RunOffsets.begin(), map.RunOffsets.end(), at) -
                         map.RunOffsets.begin() - 1;
      const uint64_t within = at - map.RunOffsets[run];
      position = layout_->ClusterPosition(map.Runs[run].First) + within;
      available = std::min(available, map.Runs[run].Count * clusterBytes - within);
    } else {
      const uint64_t beyond = at - chainBytes;
      const uint64_t after = layout_->ClusterPosition(lastRun.First) + lastRun.Count * clusterBytes;
      if (beyond > kMaxPosition - after) break;
      position = after + beyond;
    }
    const uint32_t piece = static_cast<uint32_t>(available);
    const uint32_t got = ReadVolume(*Volume, position, buffer + done, piece);
    done += got;
    if (got < piece) break;
  }
  return done;
}

const CFileSystem_FAT::DataMap& CFileSystem_FAT::MapOf(uint32_t firstCluster) {
  if (lastMap_.FirstCluster == firstCluster && !lastMap_.Runs.empty()) return lastMap_;
  std::vector<uint32_t> clusters;
  const FatChainEnd end =
      table_->Chain(firstCluster, static_cast<size_t>(layout_->MaxCluster) + 1, clusters);
  if (end == FatChainEnd::Loop || end == FatChainEnd::OutOfRange)
    volume_log::Error(
        u"CFileSystem_FAT.FileRead: the cluster chain of object %u is damaged "
        u"after %u clusters; the data goes on from its last good cluster",
        firstCluster, static_cast<uint32_t>(clusters.size()));
  lastMap_ = DataMap{};
  lastMap_.FirstCluster = firstCluster;
  lastMap_.Runs = ChainRuns(clusters);
  uint64_t offset = 0;
  for (const FatRun& run : lastMap_.Runs) {
    lastMap_.RunOffsets.push_back(offset);
    offset += run.Count * static_cast<uint64_t>(layout_->BytesPerCluster);
  }
  return lastMap_;
}
