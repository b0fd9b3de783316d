#include "volumes/found_volume_size.h"

#include <array>

#include "volumes/le_reader.h"
#include "volumes/volume.h"

namespace {

bool IsSectorSize(uint32_t bytes) {
  return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096;
}

}  // namespace

uint64_t FoundVolumeBytes(CVolume& volume, const FoundObject& record) {
  if (record.Start < 0 || record.Start % kSectorSize != 0) return 0;
  std::array<uint8_t, kSectorSize> sector{};
  if (volume.ReadSectors(sector.data(), static_cast<uint64_t>(record.Start) / kSectorSize, 1) !=
      kSectorSize)
    return 0;
  LeReader boot(sector);
  const uint32_t bytesPerSector = boot.U16(11);
  if (!IsSectorSize(bytesPerSector)) return 0;
  uint64_t sectors = 0;
  if (record.FileTypeId == 7) {
    sectors = boot.U64(40);
    if (sectors == 0 || sectors > (UINT64_MAX / bytesPerSector) - 1) return 0;
    ++sectors;  // the backup boot sector follows the file system
  } else {
    sectors = boot.U16(19);
    if (sectors == 0) sectors = boot.U32(32);
  }
  if (sectors > UINT64_MAX / bytesPerSector) return 0;
  return sectors * bytesPerSector;
}
