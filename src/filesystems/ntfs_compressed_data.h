// Reading a compressed NTFS attribute (docs/formats/ntfs.md, "Compressed data"): its data is
// kept in compression units of a fixed number of clusters. A unit whose clusters are all on the
// volume is stored as it is; one with fewer clusters, the rest sparse, holds LZNT1 chunks; one
// with none reads as zeros. Reads may start anywhere: the unit that holds the offset is decoded,
// and the last decoded unit is kept, so that reading a file in small pieces decodes each unit
// once.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "filesystems/ntfs_runs.h"

class NtfsCompressedData {
 public:
  // Reads count bytes of the attribute's clusters as they are on the volume, from a byte offset
  // of the attribute (sparse clusters as zeros); the bytes delivered.
  using StoredReader = std::function<uint32_t(uint64_t offset, uint32_t count, uint8_t* buffer)>;

  struct Geometry {
    uint64_t ClusterBytes = 0;
    uint64_t UnitClusters = 0;
  };

  // count bytes of decoded data from offset; fewer when the runs end, a read fails or a unit
  // cannot be decoded (logged, with what was decoded before the fault delivered).
  uint32_t Read(std::span<const DataRun> runs, Geometry geometry, uint64_t offset, uint32_t count,
                uint8_t* buffer, const StoredReader& readStored);
  // Drops the kept unit; called when another attribute is read.
  void Forget() { keptUnit_ = kNoUnit; }

 private:
  static constexpr uint64_t kNoUnit = UINT64_MAX;

  enum class UnitKind { Unmapped, Sparse, Stored, Compressed };
  struct Unit {
    UnitKind Kind = UnitKind::Unmapped;
    uint64_t StoredClusters = 0;
  };
  static Unit Classify(std::span<const DataRun> runs, uint64_t firstVcn, uint64_t clusters);
  // Decodes the unit into decoded_ unless it is the kept one; the bytes of it that are good.
  uint64_t Decode(uint64_t unit, uint64_t storedBytes, uint64_t unitBytes,
                  const StoredReader& readStored);

  std::vector<uint8_t> stored_;
  std::vector<uint8_t> decoded_;
  uint64_t keptUnit_ = kNoUnit;
  uint64_t keptGood_ = 0;
};
