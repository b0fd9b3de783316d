// Virtual drives: the dialog's sizes and range texts, the edits read back, and the kind-4
// volume over a part of a drive.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/computer.h"
#include "volumes/image.h"
#include "volumes/virtual_drive.h"
#include "volumes/volume.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteWholeFile;
using namespace volume_testing;

TEST(VirtualDriveTexts, SizesShowTenthsOfTheirUnit) {
  EXPECT_EQ(DriveSizeLabel(500'107'862'016), u"500.1 GB");
  EXPECT_EQ(DriveSizeLabel(99'999'999), u"0.0 GB");
  EXPECT_EQ(SizeText(1'500'000'000, SizeUnit::Gb), u"1.5");
  EXPECT_EQ(SizeText(1'500'000'000, SizeUnit::Mb), u"1500.0");
  EXPECT_EQ(SizeText(1'536, SizeUnit::Kb), u"1.5");
  EXPECT_EQ(SizeText(UINT64_MAX, SizeUnit::Gb), u"18446744073.7");
}

TEST(VirtualDriveTexts, TheRangeControlMapsOntoTheWholeDriveAlsoBelowTenGigabytes) {
  constexpr uint64_t kDrive = 4'000'000'000;
  VirtualDriveTexts texts = TextsForRange(kDrive, 250, 750, SizeUnit::Gb, SizeUnit::Gb);
  EXPECT_EQ(texts.Start, u"1.0");
  EXPECT_EQ(texts.Size, u"2.0");
  texts = TextsForRange(kDrive, 0, kVirtualRangeUnits, SizeUnit::Mb, SizeUnit::Mb);
  EXPECT_EQ(texts.Start, u"0.0");
  EXPECT_EQ(texts.Size, u"4000.0");
  // Positions outside the control, or an end before the start, give no negative size.
  texts = TextsForRange(kDrive, -5, 2 * kVirtualRangeUnits, SizeUnit::Gb, SizeUnit::Gb);
  EXPECT_EQ(texts.Size, u"4.0");
  EXPECT_EQ(TextsForRange(kDrive, 600, 100, SizeUnit::Gb, SizeUnit::Gb).Size, u"0.0");

  EXPECT_EQ(RangePositionOfBytes(kDrive, 1'000'000'000), 250);
  EXPECT_EQ(RangePositionOfBytes(kDrive, 5'000'000'000), kVirtualRangeUnits);
  EXPECT_EQ(RangePositionOfBytes(0, 1), 0);
  // A drive near the 64-bit limit does not overflow on the way.
  EXPECT_EQ(BytesAtRangePosition(UINT64_MAX, kVirtualRangeUnits), UINT64_MAX);
}

TEST(VirtualDriveTexts, EditsAreReadBackAsDecimalNumbersInTheirUnit) {
  EXPECT_EQ(ParseSizeText(u"12.5", SizeUnit::Gb), 12'500'000'000u);
  EXPECT_EQ(ParseSizeText(u" 12,5 ", SizeUnit::Mb), 12'500'000u);
  EXPECT_EQ(ParseSizeText(u"3", SizeUnit::Kb), 3'000u);
  EXPECT_EQ(ParseSizeText(u".25", SizeUnit::Kb), 250u);
  EXPECT_EQ(ParseSizeText(u"0.0001", SizeUnit::Kb), 0u);
  EXPECT_EQ(ParseSizeText(u"18446744073.709551615", SizeUnit::Gb), UINT64_MAX);
  for (const char16_t* bad :
       {u"", u".", u"1.2.3", u"-1", u"1e3", u"abc", u"18446744074", u"99999999999999999999999"})
    EXPECT_FALSE(ParseSizeText(bad, SizeUnit::Gb)) << platform::Utf16ToUtf8(bad);
}

TEST(VirtualDriveTexts, TheChosenRangeIsWholeSectorsInsideTheDrive) {
  constexpr uint64_t kDrive = 2'000'000'000;
  std::u16string why;
  auto range = RangeFromTexts(kDrive, u"0.5", SizeUnit::Gb, u"1000.0001", SizeUnit::Kb, &why);
  ASSERT_TRUE(range) << platform::Utf16ToUtf8(why);
  EXPECT_EQ(range->Start, 499'999'744u);  // rounded down to a sector
  EXPECT_EQ(range->Bytes, 999'936u);
  range = RangeFromTexts(kDrive, u"0", SizeUnit::Gb, u"2.0", SizeUnit::Gb, &why);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->Bytes, 2'000'000'000u);

  EXPECT_FALSE(RangeFromTexts(kDrive, u"1.5", SizeUnit::Gb, u"0.6", SizeUnit::Gb, &why));
  EXPECT_EQ(why, u"the range does not lie inside the drive");
  EXPECT_FALSE(RangeFromTexts(kDrive, u"2.1", SizeUnit::Gb, u"0", SizeUnit::Gb, &why));
  EXPECT_FALSE(RangeFromTexts(kDrive, u"0", SizeUnit::Gb, u"0.5", SizeUnit::Kb, &why));
  EXPECT_EQ(why, u"the size is less than one sector");
  EXPECT_FALSE(RangeFromTexts(kDrive, u"x", SizeUnit::Gb, u"1", SizeUnit::Gb, &why));
  EXPECT_EQ(why, u"'x' is not a number");
}

class VirtualDriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteWholeFile(diskPath, NumberedSectors(kDiskSectors)));
    disk = ImageVolume(diskPath);
    disk->TotalBytes = uint64_t{kDiskSectors} * kSectorSize;
    disk->DriveType = 7;
  }

  static uint32_t FirstSectorOf(CVolume& volume) {
    std::vector<uint8_t> sector(kSectorSize);
    if (volume.ReadSectors(sector.data(), 0, 1) != kSectorSize) return UINT32_MAX;
    return SectorNumberAt(sector.data());
  }

  static constexpr uint32_t kDiskSectors = 1000;
  TempFolder folder;
  std::u16string diskPath = folder.File(u"disk.img");
  std::unique_ptr<CVolume> disk;
  LogCapture log;
};

TEST_F(VirtualDriveTest, AVirtualDriveReadsItsRangeOfTheDrive) {
  auto drive = MakeVirtualDrive(*disk, {100 * kSectorSize, 200 * kSectorSize});
  ASSERT_TRUE(drive);
  EXPECT_EQ(drive->Kind, VolumeKindPartition);
  EXPECT_EQ(drive->Parent, disk.get());
  EXPECT_EQ(drive->StartOffset, 100u * kSectorSize);
  EXPECT_EQ(drive->TotalBytes, 200u * kSectorSize);
  EXPECT_EQ(drive->SectorCount, 200u);
  EXPECT_EQ(drive->State.load(), VolumeStateReady);
  EXPECT_EQ(drive->DriveType, 7);
  EXPECT_EQ(drive->GetDisplayName(), u"Volume at: 51200");
  EXPECT_EQ(FirstSectorOf(*drive), 100u);
  EXPECT_TRUE(disk->Children.empty()) << "only a listed virtual drive joins its disk";

  // A virtual drive inside a partition lies on the partition's disk, at both offsets added.
  CVolume partition;
  partition.Kind = VolumeKindFound;
  partition.Parent = disk.get();
  partition.StartOffset = 63 * kSectorSize;
  partition.TotalBytes = 500 * kSectorSize;
  auto inner = MakeVirtualDrive(partition, {10 * kSectorSize, 490 * kSectorSize});
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->Parent, disk.get());
  EXPECT_EQ(inner->StartOffset, 73u * kSectorSize);
  EXPECT_EQ(FirstSectorOf(*inner), 73u);
}

TEST_F(VirtualDriveTest, RangesOutsideTheDriveAndDrivesWithoutADeviceAreRefused) {
  const uint64_t size = disk->TotalBytes;
  for (VirtualDriveRange range :
       {VirtualDriveRange{0, size + kSectorSize}, VirtualDriveRange{size, kSectorSize},
        VirtualDriveRange{UINT64_MAX - 511, kSectorSize},
        VirtualDriveRange{kSectorSize, UINT64_MAX - 511}, VirtualDriveRange{100, kSectorSize},
        VirtualDriveRange{0, 0}})
    EXPECT_FALSE(MakeVirtualDrive(*disk, range)) << range.Start << " " << range.Bytes;
  EXPECT_TRUE(log.Contains(u"are not whole sectors inside 'disk.img'"));
  EXPECT_TRUE(MakeVirtualDrive(*disk, {0, size}));

  CVolume orphan;  // a partition whose disk is gone, and the computer node of the tree
  orphan.Kind = VolumeKindFound;
  orphan.TotalBytes = size;
  CVolume computerNode;
  computerNode.Kind = VolumeKindComputer;
  computerNode.TotalBytes = size;
  EXPECT_FALSE(MakeVirtualDrive(orphan, {0, kSectorSize}));
  EXPECT_FALSE(MakeVirtualDrive(computerNode, {0, kSectorSize}));
  EXPECT_TRUE(log.Contains(u"is not a drive that can be read"));
}

TEST_F(VirtualDriveTest, AVirtualDriveOverAPartitionOfAListedDiskFindsItsFileSystem) {
  std::u16string fatPath = testing_support::FixturePath("volumes/fat12.img");
  if (fatPath.empty()) GTEST_SKIP() << "fixture images not made";
  std::vector<uint8_t> fat = testing_support::ReadWholeFile(fatPath);
  std::vector<uint8_t> bytes = NumberedSectors(kDiskSectors);
  bytes.insert(bytes.begin() + 200 * kSectorSize, fat.begin(), fat.end());
  ASSERT_TRUE(WriteWholeFile(diskPath, bytes));
  CLocalComputer computer;
  CVolume* listed = LoadImage(computer, diskPath);
  ASSERT_TRUE(listed);
  const size_t before = computer.Volumes.Count();

  CVolume* drive = CreateVirtualDrive(computer, *listed, {200 * kSectorSize, fat.size()});
  ASSERT_TRUE(drive);
  EXPECT_TRUE(computer.Volumes.IsListed(drive));
  EXPECT_EQ(computer.Volumes.Count(), before + 1);
  EXPECT_EQ(drive->Parent, listed);
  EXPECT_EQ(std::count(listed->Children.begin(), listed->Children.end(), drive), 1);
  EXPECT_EQ(drive->RootRecord.ParentId, listed->RootRecord.Id);
  EXPECT_LT(drive->RootRecord.Id, listed->RootRecord.Id);
  EXPECT_EQ(drive->FileSystemType(), 1) << "FAT12 at the start of the range";
  EXPECT_EQ(drive->TotalBytes, fat.size());
  EXPECT_EQ(drive->ClusterCount, fat.size() / drive->BytesPerCluster);

  // A virtual drive survives a rescan, and so does the disk it reads through.
  computer.Volumes.SetDriveSource([] { return std::vector<platform::DriveSource>{}; });
  computer.Volumes.Rescan(RescanMode::OnThisThread);
  EXPECT_TRUE(computer.Volumes.IsListed(drive));
  EXPECT_EQ(FirstSectorOf(*drive), SectorNumberAt(fat.data()));

  EXPECT_FALSE(CreateVirtualDrive(computer, *disk, {0, kSectorSize}));
  EXPECT_TRUE(log.Contains(u"is not in the drive list"));
}

}  // namespace
