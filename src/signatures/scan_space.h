// Which 512-byte units of a drive the sector scan tests: every one, or, when only free drive
// space is to be scanned, those outside the clusters that the file-system pass found in use
// (the volume's cluster bitmap). The areas in front of the first cluster (boot sector,
// allocation tables, a FAT12/16 root folder) are always tested.
#pragma once

#include <cstdint>

class CBitArray;
class CVolume;

class ScanSpace {
 public:
  // Every unit.
  ScanSpace() = default;
  // Only free space when the volume's cluster bitmap was filled and its file system says
  // where cluster numbers begin; every unit otherwise, with a log line saying so.
  static ScanSpace FreeSpaceOf(const CVolume& volume);

  bool FreeSpaceOnly() const { return bitmap_ != nullptr; }
  // True when the unit at the byte position (from the volume's start) is to be tested.
  bool Tests(uint64_t position) const;

 private:
  const CBitArray* bitmap_ = nullptr;
  uint64_t firstClusterPosition_ = 0;  // byte position of cluster firstCluster_
  uint32_t firstCluster_ = 0;
  uint32_t clusterBytes_ = 0;
};
