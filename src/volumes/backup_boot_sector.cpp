#include "volumes/backup_boot_sector.h"

#include <array>
#include <cstring>
#include <optional>

#include "volumes/le_reader.h"
#include "volumes/volume.h"

namespace {

using Sector = std::array<uint8_t, kSectorSize>;

bool ReadSector(CVolume& volume, uint64_t position, Sector& sector) {
  return volume.ReadBytes(position, sector.data(), kSectorSize) == kSectorSize;
}

bool HasText(const Sector& sector, size_t offset, const char* text) {
  return std::memcmp(sector.data() + offset, text, std::strlen(text)) == 0;
}

// How far before the copy its primary sector lies, by what the copy says of itself.
std::optional<uint64_t> DistanceToPrimary(const Sector& sector) {
  LeReader fields(sector);
  if (HasText(sector, 82, "FAT32   ")) {
    const uint16_t backupSector = fields.U16(50);
    if (backupSector == 0 || backupSector == 0xFFFF) return std::nullopt;
    return uint64_t{backupSector} * kSectorSize;
  }
  if (HasText(sector, 3, "NTFS    ")) {
    const uint16_t bytesPerSector = fields.U16(11);
    const uint64_t sectors = fields.U64(40);
    if (bytesPerSector < kSectorSize || sectors == 0 || sectors > UINT64_MAX / bytesPerSector)
      return std::nullopt;
    return sectors * bytesPerSector;
  }
  return std::nullopt;
}

}  // namespace

bool IsBackupBootSector(CVolume& volume, int64_t position) {
  if (position <= 0) return false;
  Sector copy{};
  if (!ReadSector(volume, static_cast<uint64_t>(position), copy)) return false;
  const std::optional<uint64_t> distance = DistanceToPrimary(copy);
  if (!distance || *distance > static_cast<uint64_t>(position)) return false;
  Sector primary{};
  if (!ReadSector(volume, static_cast<uint64_t>(position) - *distance, primary)) return false;
  return primary == copy;
}
