// The layout of a FAT volume as its boot sector's parameter block describes it
// (docs/formats/fat.md). Every field is checked against the values that exist before any
// arithmetic uses it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "filesystems/file_system_codes.h"

// Sector numbers are the 512-byte units that CVolume::ReadSectors counts, whatever sector size
// the parameter block names.
struct FatLayout {
  FatWidth Width = FatWidth::Fat16;
  uint32_t BytesPerSector = 0;
  uint32_t SectorsPerCluster = 0;  // in the parameter block's sectors
  uint32_t BytesPerCluster = 0;
  uint32_t TableCount = 0;
  uint64_t TableSector = 0;    // first sector of the first allocation table
  uint64_t TableBytes = 0;     // one allocation table, as the parameter block sizes it
  uint64_t RootDirSector = 0;  // FAT12/16 root folder; on FAT32 the start of the data area
  uint32_t RootEntries = 0;
  uint64_t FirstDataSector = 0;  // sector of cluster 2
  uint64_t TotalSectors = 0;     // of the file system
  uint32_t RootCluster = 0;      // FAT32 root folder
  uint32_t MaxCluster = 0;       // highest cluster number of the data area, at least 2

  bool IsCluster(uint64_t cluster) const { return cluster >= 2 && cluster <= MaxCluster; }
  // Byte position of a cluster from the volume's start.
  uint64_t ClusterPosition(uint32_t cluster) const {
    return (static_cast<uint64_t>(cluster) - 2) * BytesPerCluster + FirstDataSector * 512;
  }
  uint64_t ClusterSector(uint32_t cluster) const { return ClusterPosition(cluster) / 512; }
  uint32_t SectorsPerClusterOf512() const { return BytesPerCluster / 512; }
  // The bytes of the table that describe clusters 0 to MaxCluster.
  uint64_t UsedTableBytes() const;
};

// The layout of the boot sector's parameter block for a width. volumeSectors, when not 0, is
// the size of the volume in 512-byte sectors: the data area is clipped to it. Empty, with the
// reason in problem, when a field holds a value that no FAT volume has.
std::optional<FatLayout> ReadFatLayout(std::span<const uint8_t> bootSector, FatWidth width,
                                       uint64_t volumeSectors, std::u16string& problem);
