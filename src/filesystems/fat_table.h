// The first file allocation table of a FAT volume, held in memory, and the cluster chains it
// links (docs/formats/fat.md).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "filesystems/fat_boot.h"

class CBitArray;
class CVolume;

// Clusters First, First + 1, ..., First + Count - 1.
struct FatRun {
  uint32_t First = 0;
  uint32_t Count = 0;
};

// Why a chain ended.
enum class FatChainEnd {
  EndMark,     // the end-of-chain value
  Free,        // a free entry: the chain was cleared (deleted files and folders)
  OutOfRange,  // a value that is no cluster of the data area (also the bad-cluster mark)
  Loop,        // the chain came back to one of its own clusters
  Limit,       // the caller's limit of clusters was reached
  Stopped,     // the analysis was stopped
};

class CFatTable {
 public:
  CFatTable(FatWidth width, uint32_t maxCluster, std::vector<uint8_t> bytes);

  // The table entry of a cluster; 0 for an entry beyond the loaded bytes.
  uint32_t Entry(uint32_t cluster) const;
  bool IsEndMark(uint32_t value) const;
  bool IsCluster(uint32_t value) const { return value >= 2 && value <= maxCluster_; }
  uint32_t MaxCluster() const { return maxCluster_; }

  // The chain that starts at first: first, then every next entry, each cluster once. Stops at a
  // free entry, the end mark, a value outside the data area, a loop, after limit clusters, or
  // when mayContinue (asked now and then; may be empty) says no. Takes time linear in the
  // chain's length and no memory beyond the list. Empty when first is no cluster.
  FatChainEnd Chain(uint32_t first, size_t limit, std::vector<uint32_t>& clusters,
                    const std::function<bool()>& mayContinue = {}) const;

  // One bit per entry 0 to MaxCluster, set for every entry that is not 0.
  void FillBitmap(CBitArray& bitmap) const;

 private:
  FatWidth width_;
  uint32_t maxCluster_;
  std::vector<uint8_t> bytes_;
};

// Consecutive clusters of a chain joined into runs, in chain order.
std::vector<FatRun> ChainRuns(std::span<const uint32_t> clusters);

// Reads the first allocation table in large pieces. A piece that cannot be read is taken from
// the next copy of the table; when no copy can be read it stays 0 (free) and a line is logged.
// Empty when the memory cannot be had (logged) or mayContinue says no.
std::optional<CFatTable> LoadFatTable(CVolume& volume, const FatLayout& layout,
                                      const std::function<bool()>& mayContinue = {});
