#include "filesystems/ntfs_boot.h"

#include <bit>
#include <cstring>

#include "volumes/le_reader.h"

namespace {

constexpr size_t kBootSize = 512;
constexpr uint32_t kMaxClusterSize = 2 * 1024 * 1024;

}  // namespace

bool IsValidRecordSize(uint64_t size) {
  return size >= kNtfsMinRecordSize && size <= kNtfsMaxRecordSize && std::has_single_bit(size);
}

uint64_t DecodeNtfsSize(uint8_t code, uint32_t bytesPerCluster) {
  const int8_t value = static_cast<int8_t>(code);
  if (value > 0) return static_cast<uint64_t>(value) * bytesPerCluster;
  const int shift = -value;
  if (shift == 0 || shift > 31) return 0;
  return uint64_t{1} << shift;
}

std::optional<NtfsLayout> ReadNtfsLayout(std::span<const uint8_t> boot, std::u16string& problem) {
  if (boot.size() < kBootSize) {
    problem = u"the boot sector is shorter than 512 bytes";
    return std::nullopt;
  }
  if (std::memcmp(boot.data() + 3, "NTFS    ", 8) != 0) {
    problem = u"the boot sector does not name NTFS";
    return std::nullopt;
  }
  LeReader fields(boot);
  NtfsLayout layout;
  layout.BytesPerSector = fields.U16(11);
  if (layout.BytesPerSector < 512 || layout.BytesPerSector > 4096 ||
      !std::has_single_bit(layout.BytesPerSector)) {
    problem = u"the bytes per sector are not a power of two from 512 to 4096";
    return std::nullopt;
  }
  // Clusters above 64 KiB are written as a negative power of two.
  const uint8_t perCluster = boot[13];
  uint64_t clusterBytes = 0;
  if (perCluster <= 0x80)
    clusterBytes = static_cast<uint64_t>(perCluster) * layout.BytesPerSector;
  else
    clusterBytes = DecodeNtfsSize(perCluster, 0);
  if (clusterBytes < layout.BytesPerSector || clusterBytes > kMaxClusterSize ||
      !std::has_single_bit(clusterBytes)) {
    problem = u"the cluster size is not a power of two from the sector size to 2 MiB";
    return std::nullopt;
  }
  layout.BytesPerCluster = static_cast<uint32_t>(clusterBytes);
  layout.TotalSectors = fields.U64(40);
  layout.ClusterCount = layout.TotalSectors * layout.BytesPerSector / layout.BytesPerCluster;
  if (layout.TotalSectors == 0 || layout.TotalSectors > (uint64_t{1} << 48)) {
    problem = u"the sector count is 0 or beyond any disk";
    return std::nullopt;
  }
  layout.MftCluster = fields.U64(48);
  if (layout.MftCluster == 0 || layout.MftCluster >= layout.ClusterCount) {
    problem = u"the MFT's cluster lies outside the volume";
    return std::nullopt;
  }
  const uint64_t recordSize = DecodeNtfsSize(boot[64], layout.BytesPerCluster);
  if (!IsValidRecordSize(recordSize)) {
    problem = u"the MFT record size is not a power of two from 512 to 65536";
    return std::nullopt;
  }
  layout.RecordSize = static_cast<uint32_t>(recordSize);
  return layout;
}
