#include "filesystems/ntfs_compressed_data.h"

#include <algorithm>
#include <cstring>

#include "filesystems/lznt1.h"
#include "volumes/volume_log.h"

NtfsCompressedData::Unit NtfsCompressedData::Classify(std::span<const DataRun> runs,
                                                      uint64_t firstVcn, uint64_t clusters) {
  Unit unit;
  const DataRun* first = FindRun(runs, firstVcn);
  if (!first) return unit;
  // VCNs past the last run count as sparse: the unit's stored clusters come first.
  uint64_t vcn = firstVcn;
  const uint64_t last = firstVcn + (clusters - 1);
  while (vcn <= last) {
    const DataRun* run = FindRun(runs, vcn);
    if (!run) break;
    const uint64_t n = std::min(run->LastVcn, last) - vcn + 1;
    if (!run->Sparse) unit.StoredClusters += n;
    if (run->LastVcn >= last) break;
    vcn = run->LastVcn + 1;
  }
  unit.Kind = unit.StoredClusters == 0          ? UnitKind::Sparse
              : unit.StoredClusters == clusters ? UnitKind::Stored
                                                : UnitKind::Compressed;
  return unit;
}

uint64_t NtfsCompressedData::Decode(uint64_t unit, uint64_t storedBytes, uint64_t unitBytes,
                                    const StoredReader& readStored) {
  if (unit == keptUnit_) return keptGood_;
  keptUnit_ = kNoUnit;
  stored_.resize(storedBytes);
  decoded_.resize(unitBytes);
  const uint32_t got =
      readStored(unit * unitBytes, static_cast<uint32_t>(storedBytes), stored_.data());
  // A short read leaves the chunks it did not reach out: the decoder stops at the first of them.
  const Lznt1Outcome outcome = Lznt1Decode(std::span<const uint8_t>(stored_).first(got), decoded_);
  if (!outcome.Ok) {
    volume_log::Error(
        u"NTFS compressed data: compression unit %I64u cannot be decoded after %I64u bytes: %s",
        unit, static_cast<uint64_t>(outcome.Decoded), std::u16string(outcome.Problem));
  }
  keptUnit_ = unit;
  keptGood_ = outcome.Decoded;
  return keptGood_;
}

uint32_t NtfsCompressedData::Read(std::span<const DataRun> runs, Geometry geometry, uint64_t offset,
                                  uint32_t count, uint8_t* buffer, const StoredReader& readStored) {
  const uint64_t unitBytes = geometry.ClusterBytes * geometry.UnitClusters;
  uint32_t done = 0;
  while (done < count) {
    const uint64_t position = offset + done;
    const uint64_t unit = position / unitBytes;
    const uint64_t within = position % unitBytes;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count - done, unitBytes - within));
    if (unit > UINT64_MAX / geometry.UnitClusters) break;
    const Unit layout = Classify(runs, unit * geometry.UnitClusters, geometry.UnitClusters);
    if (layout.Kind == UnitKind::Unmapped) break;
    if (layout.Kind == UnitKind::Sparse) {
      std::memset(buffer + done, 0, n);
      done += n;
      continue;
    }
    if (layout.Kind == UnitKind::Stored) {
      const uint32_t got = readStored(position, n, buffer + done);
      done += got;
      if (got != n) break;
      continue;
    }
    const uint64_t good =
        Decode(unit, layout.StoredClusters * geometry.ClusterBytes, unitBytes, readStored);
    if (within >= good) break;
    const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(n, good - within));
    std::memcpy(buffer + done, decoded_.data() + within, take);
    done += take;
    if (take != n) break;
  }
  return done;
}
