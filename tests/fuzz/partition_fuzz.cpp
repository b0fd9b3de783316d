// Fuzz target for the partition-table walk. The input is a disk of whole 512-byte sectors (the
// last, short piece padded with zeros; at most 256 sectors), read through the walk's own
// sector reader; the disk's stated length, taken from the first input bytes, may be more or
// less than what the input holds. Whatever the tables say (loops, links past the disk, huge
// counts), the walk must end, read only sectors it asks for by number, and report only
// partitions that start inside a disk of known length.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "volumes/partition_table.h"

namespace {

constexpr size_t kSector = 512;
constexpr size_t kMaxSectors = 256;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // The stated length: 0 (unknown), or any count up to 2^24 sectors.
  const uint64_t stated = (uint64_t{data[0]} | uint64_t{data[1]} << 8 | uint64_t{data[2]} << 16);
  const uint64_t base = data[3] % 4;
  data += 4;
  size -= 4;
  const size_t sectors = std::min(kMaxSectors, (size + kSector - 1) / kSector);
  std::vector<uint8_t> disk(sectors * kSector, 0);
  if (!disk.empty()) std::memcpy(disk.data(), data, std::min(size, disk.size()));

  uint64_t reads = 0;
  auto read = [&](uint64_t sector, std::span<uint8_t> buffer) {
    ++reads;
    Check(buffer.size() >= kSector);
    if (sector >= sectors) return false;
    std::memcpy(buffer.data(), disk.data() + sector * kSector, kSector);
    return true;
  };
  size_t found = 0;
  auto onPartition = [&](const FoundPartition& partition) {
    ++found;
    Check(partition.Type != 0 && partition.SectorCount != 0);
    Check(!IsExtendedPartitionType(partition.Type));
    if (stated != 0) Check(partition.StartSector < stated);
  };
  WalkPartitionTables(read, stated, base, 0, u"fuzz.img", onPartition);
  // Every table read is one of at most kMaxPartitionTables, each with four entries.
  Check(reads <= static_cast<uint64_t>(kMaxPartitionTables) + 1);
  Check(found <= (static_cast<size_t>(kMaxPartitionTables) + 1) * kPartitionEntryCount);
  return 0;
}
