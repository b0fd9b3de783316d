// The copies FAT32 and NTFS keep of their boot sectors are told from partitions of their own.
#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/backup_boot_sector.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteWholeFile;
using namespace volume_testing;

constexpr uint32_t kSectors = 128;

void PutU16(std::vector<uint8_t>& image, size_t at, uint16_t value) {
  std::memcpy(image.data() + at, &value, sizeof value);
}
void PutU64(std::vector<uint8_t>& image, size_t at, uint64_t value) {
  std::memcpy(image.data() + at, &value, sizeof value);
}

// A FAT32 boot sector at sector `at` naming `backup` as its copy's sector.
void PutFat32Boot(std::vector<uint8_t>& image, uint32_t at, uint16_t backup) {
  const size_t base = size_t{at} * kSectorSize;
  std::memset(image.data() + base, 0, kSectorSize);
  std::memcpy(image.data() + base, "\xEB\x58\x90MSWIN4.1", 11);
  PutU16(image, base + 11, 512);
  PutU16(image, base + 50, backup);
  std::memcpy(image.data() + base + 82, "FAT32   ", 8);
  image[base + 510] = 0x55;
  image[base + 511] = 0xAA;
}

void PutNtfsBoot(std::vector<uint8_t>& image, uint32_t at, uint64_t sectors) {
  const size_t base = size_t{at} * kSectorSize;
  std::memset(image.data() + base, 0, kSectorSize);
  std::memcpy(image.data() + base, "\xEB\x52\x90NTFS    ", 11);
  PutU16(image, base + 11, 512);
  PutU64(image, base + 40, sectors);
  image[base + 510] = 0x55;
  image[base + 511] = 0xAA;
}

class BackupBootSectorTest : public ::testing::Test {
 protected:
  bool IsBackup(const std::vector<uint8_t>& image, int64_t position) {
    EXPECT_TRUE(WriteWholeFile(path, image));
    auto volume = ImageVolume(path);
    return IsBackupBootSector(*volume, position);
  }

  TempFolder folder;
  std::u16string path = folder.File(u"volume.img");
  std::vector<uint8_t> image = std::vector<uint8_t>(size_t{kSectors} * kSectorSize, 0);
};

TEST_F(BackupBootSectorTest, Fat32CopyAtTheSectorItsBootSectorNames) {
  PutFat32Boot(image, 0, 6);
  PutFat32Boot(image, 6, 6);
  EXPECT_TRUE(IsBackup(image, 6 * kSectorSize));
  EXPECT_FALSE(IsBackup(image, 0)) << "the primary is the volume itself, not a copy";

  // A copy that differs from the primary (another volume's, or the primary was overwritten)
  // stays a partition candidate.
  image[6 * kSectorSize + 3] = 'X';
  EXPECT_FALSE(IsBackup(image, 6 * kSectorSize));

  // A boot sector naming a copy sector beyond its own position, or none at all.
  PutFat32Boot(image, 4, 6);
  EXPECT_FALSE(IsBackup(image, 4 * kSectorSize));
  PutFat32Boot(image, 20, 0);
  EXPECT_FALSE(IsBackup(image, 20 * kSectorSize));
}

TEST_F(BackupBootSectorTest, NtfsCopyAfterTheLastCountedSector) {
  PutNtfsBoot(image, 0, 99);
  PutNtfsBoot(image, 99, 99);
  EXPECT_TRUE(IsBackup(image, 99 * kSectorSize));
  // A partition of its own further on: its primary is not 99 sectors before it.
  PutNtfsBoot(image, 110, 99);
  EXPECT_FALSE(IsBackup(image, 110 * kSectorSize));
  // A sector count that would reach before the volume's start, or past any offset.
  PutNtfsBoot(image, 120, UINT64_MAX / 2);
  EXPECT_FALSE(IsBackup(image, 120 * kSectorSize));
  EXPECT_FALSE(IsBackup(image, int64_t{kSectors} * kSectorSize)) << "beyond the image";
}

}  // namespace
