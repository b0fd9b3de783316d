// The walk over a disk's partition tables, and the volume's part in it: partitions that no
// drive of the disk covers yet go to the computer object as found volumes.
#include "volumes/partition_table.h"

#include <set>
#include <vector>

#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/le_reader.h"
#include "volumes/volume.h"
#include "volumes/volume_log.h"

namespace {

constexpr size_t kEntryTypeOffset = 4;
constexpr size_t kEntryStartOffset = 8;
constexpr size_t kEntryCountOffset = 12;

struct PartitionWalk {
  const PartitionSectorReader& read;
  uint64_t totalSectors;
  std::u16string_view diskName;
  const std::function<void(const FoundPartition&)>& onPartition;
  std::set<uint64_t> visited;
  int tablesRead = 0;
};

void LogNote(const std::u16string& text) {
  if (g_pLog) g_pLog->LogNote(text);
}

// A table that may be read: not seen before, on the disk, and within the bound.
bool MayReadTable(PartitionWalk& walk, uint64_t sector) {
  if (!walk.visited.insert(sector).second) {
    volume_log::Error(
        u"Partition table of %s at sector %I64u was read before: the extended partitions "
        u"form a loop, that chain ends here",
        walk.diskName, sector);
    return false;
  }
  if (walk.totalSectors != 0 && sector >= walk.totalSectors) {
    volume_log::Error(
        u"Partition table of %s at sector %I64u lies beyond the disk's %I64u sectors, that chain "
        u"ends here",
        walk.diskName, sector, walk.totalSectors);
    return false;
  }
  if (++walk.tablesRead > kMaxPartitionTables) {
    if (walk.tablesRead == kMaxPartitionTables + 1)
      volume_log::Error(u"%s has more than %d partition tables; the rest are not read",
                        walk.diskName, kMaxPartitionTables);
    return false;
  }
  return true;
}

void WalkTable(PartitionWalk& walk, uint64_t baseSector, uint64_t extendedBase) {
  if (!MayReadTable(walk, baseSector)) return;
  std::vector<uint8_t> sector(512);
  std::array<PartitionEntry, kPartitionEntryCount> entries;
  // An unreadable or unsigned sector ends its branch without a word: most disks end that way.
  if (!walk.read(baseSector, sector) || !ReadPartitionEntries(sector, entries)) return;

  for (const PartitionEntry& entry : entries) {
    if (entry.Type == 0 || entry.SectorCount == 0) continue;
    if (IsExtendedPartitionType(entry.Type)) {
      // In the master boot record the entry gives the extended partition; further in, the link
      // to the next extended boot record, relative to the start of the extended partition.
      const uint64_t next =
          extendedBase == 0 ? entry.StartSector : extendedBase + entry.StartSector;
      if (walk.totalSectors != 0 && entry.SectorCount > walk.totalSectors)
        LogNote(u"pPartition->NumberSectors > TotalSectors");
      WalkTable(walk, next, extendedBase == 0 ? next : extendedBase);
      continue;
    }
    const uint64_t start = baseSector + entry.StartSector;
    if (walk.totalSectors != 0 && start >= walk.totalSectors) continue;
    if (walk.totalSectors != 0 && entry.SectorCount > walk.totalSectors)
      LogNote(u"pPartition->NumberSectors > TotalSectors");
    walk.onPartition(FoundPartition{start, entry.SectorCount, entry.Type});
  }
}

}  // namespace

bool IsExtendedPartitionType(int32_t type) { return type == 5 || type == 15; }

bool ReadPartitionEntries(std::span<const uint8_t> sector,
                          std::array<PartitionEntry, kPartitionEntryCount>& entries) {
  LeReader reader(sector);
  if (reader.U16(kBootSignatureOffset) != kBootSignature || reader.Failed()) return false;
  for (size_t i = 0; i < kPartitionEntryCount; ++i) {
    const size_t at = kPartitionTableOffset + i * kPartitionEntrySize;
    entries[i].Type = reader.U8(at + kEntryTypeOffset);
    entries[i].StartSector = reader.U32(at + kEntryStartOffset);
    entries[i].SectorCount = reader.U32(at + kEntryCountOffset);
  }
  return !reader.Failed();
}

void WalkPartitionTables(const PartitionSectorReader& read, uint64_t totalSectors,
                         uint64_t baseSector, uint64_t extendedBase, std::u16string_view diskName,
                         const std::function<void(const FoundPartition&)>& onPartition) {
  PartitionWalk walk{read, totalSectors, diskName, onPartition, {}, 0};
  WalkTable(walk, baseSector, extendedBase);
}

// The volume's side.

namespace {

// A lettered drive of the disk (from the system's partition information) that starts at the
// sector: the partition is known and needs no found volume.
bool IsKnownByChildLocked(const CVolume& disk, uint64_t startSector) {
  for (const CVolume* child : disk.Children) {
    if (!child || child->Kind != VolumeKindLogical) continue;
    const int64_t offset = child->Layout.Entries[0].StartingOffset;
    if (offset >= 0 && static_cast<uint64_t>(offset) / kSectorSize == startSector) return true;
  }
  return false;
}

}  // namespace

void CVolume::ScanPartitionTable(uint64_t baseSector, uint64_t extendedBase) {
  // Partitions become volumes of the drive list, found through their disk's record there.
  CLocalComputer* computer = g_pComputer;
  if (!computer || !computer->Volumes.IsListed(this)) return;
  auto read = [this](uint64_t sector, std::span<uint8_t> buffer) {
    return buffer.size() >= kSectorSize && ReadSectors(buffer.data(), sector, 1) == kSectorSize;
  };
  auto onPartition = [&](const FoundPartition& partition) {
    {
      std::unique_lock lock = computer->Volumes.Lock();
      if (IsKnownByChildLocked(*this, partition.StartSector)) return;
    }
    FoundObject record;
    ResetFoundObject(record);
    record.ParentId = RootRecord.Id;
    record.Start = static_cast<int64_t>(partition.StartSector * kSectorSize);
    record.FileTypeId = partition.Type;
    computer->AddFoundVolume(record, uint64_t{partition.SectorCount} * kSectorSize);
  };
  try {
    // Partition tables count 512-byte sectors, whatever the device's own sector size.
    const uint64_t totalSectors = TotalBytes != 0 ? TotalBytes / kSectorSize : SectorCount;
    WalkPartitionTables(read, totalSectors, baseSector, extendedBase, GetDisplayName(),
                        onPartition);
  } catch (...) {
    volume_log::Error(u"CVolume::ScanPartitionTable except on %s", GetDisplayName());
  }
}
