// The layout of an NTFS volume as its boot sector describes it (docs/formats/ntfs.md). Every
// field is checked before arithmetic uses it; sizes are in bytes and positions in clusters.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The smallest and largest MFT record this program reads.
constexpr uint32_t kNtfsMinRecordSize = 512;
constexpr uint32_t kNtfsMaxRecordSize = 65536;

struct NtfsLayout {
  uint32_t BytesPerSector = 0;
  uint32_t BytesPerCluster = 0;
  uint64_t TotalSectors = 0;  // of the file system, in the boot sector's sectors
  uint64_t ClusterCount = 0;
  uint64_t MftCluster = 0;
  uint32_t RecordSize = 0;

  // 512-byte sectors per cluster, the unit of CVolume::ReadSectors.
  uint32_t SectorsPerClusterOf512() const { return BytesPerCluster / 512; }
};

// True for the record sizes NTFS can have: a power of two from 512 to 65536.
bool IsValidRecordSize(uint64_t size);

// The size a boot-sector size byte encodes: a positive value counts clusters, a negative one
// n stands for 2^-n bytes. 0 when the result is out of reach.
uint64_t DecodeNtfsSize(uint8_t code, uint32_t bytesPerCluster);

// The layout of the boot sector; empty, with the reason in problem, when a field holds a value
// no NTFS volume has.
std::optional<NtfsLayout> ReadNtfsLayout(std::span<const uint8_t> bootSector,
                                         std::u16string& problem);
