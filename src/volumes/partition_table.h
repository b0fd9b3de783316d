// Master boot records and the extended boot records they chain to: the four entries of a
// partition sector and the bounded walk over a disk's partition tables (the file systems that
// partition types stand for are in filesystems/file_system_codes.h). The layout is described in
// docs/formats/mbr.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

constexpr size_t kPartitionTableOffset = 446;
constexpr size_t kPartitionEntrySize = 16;
constexpr size_t kPartitionEntryCount = 4;
constexpr size_t kBootSignatureOffset = 510;
constexpr uint16_t kBootSignature = 0xAA55;

// A damaged or hostile disk may chain its extended partitions without end; no real disk has
// more partition tables than this.
constexpr int kMaxPartitionTables = 256;

struct PartitionEntry {
  uint8_t Type = 0;
  uint32_t StartSector = 0;  // relative, see docs/formats/mbr.md
  uint32_t SectorCount = 0;
};

// A partition found by the walk, at its sector counted from the start of the disk.
struct FoundPartition {
  uint64_t StartSector = 0;
  uint32_t SectorCount = 0;
  uint8_t Type = 0;
};

// Types 5 and 15 link to the next extended boot record; they are followed, never volumes.
bool IsExtendedPartitionType(int32_t type);

// The four entries of a partition sector; false when the sector is short or carries no boot
// signature.
bool ReadPartitionEntries(std::span<const uint8_t> sector,
                          std::array<PartitionEntry, kPartitionEntryCount>& entries);

// Reads one 512-byte sector of the disk; false when it cannot.
using PartitionSectorReader = std::function<bool(uint64_t sector, std::span<uint8_t> buffer)>;

// Walks the partition table at baseSector (extendedBase 0 for the master boot record) and the
// extended boot records it links to, and hands every partition that is no link to
// onPartition, in table order. totalSectors (0 when unknown) bounds the entries: a partition
// that starts beyond it is skipped. A table that is read a second time (a loop), one beyond
// the disk, and tables beyond kMaxPartitionTables end their branch of the walk with a log line
// that names diskName.
void WalkPartitionTables(const PartitionSectorReader& read, uint64_t totalSectors,
                         uint64_t baseSector, uint64_t extendedBase, std::u16string_view diskName,
                         const std::function<void(const FoundPartition&)>& onPartition);
