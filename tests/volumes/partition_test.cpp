// Boot sectors and partition tables: images made by sfdisk, mkfs.fat and mkntfs (checked
// against The Sleuth Kit's reading of them), and tables built here for the damaged cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "filesystems/file_system_codes.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/computer.h"
#include "volumes/partition_table.h"

namespace {

using testing_support::FixturePath;
using testing_support::TempFolder;
using volume_testing::LogCapture;

// Collects the volumes announced with UM_FOUND_VOLUME_ADDED.
class AddedVolumes : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message == UM_FOUND_VOLUME_ADDED) volumes.push_back(wParam);
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  std::vector<uintptr_t> volumes;
};

struct ExpectedPartition {
  uint64_t offset = 0;
  std::string fileSystem, label, serial;
};

// NAME.expected beside a fixture image: offset, file system, label, serial per line.
std::vector<ExpectedPartition> ReadExpectations(const std::u16string& imagePath) {
  std::u16string path = imagePath.substr(0, imagePath.size() - 4) + u".expected";
  std::vector<uint8_t> bytes = testing_support::ReadWholeFile(path);
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  std::vector<ExpectedPartition> expected;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    ExpectedPartition partition;
    std::string offset;
    std::getline(fields, offset, '\t');
    std::getline(fields, partition.fileSystem, '\t');
    std::getline(fields, partition.label, '\t');
    std::getline(fields, partition.serial, '\t');
    partition.offset = std::stoull(offset);
    expected.push_back(partition);
  }
  return expected;
}

std::string SerialOf(const CVolume& volume) {
  char text[24];
  if (volume.SerialNumberHigh != 0)
    std::snprintf(text, sizeof text, "%08X%08X", volume.SerialNumberHigh, volume.SerialNumber);
  else
    std::snprintf(text, sizeof text, "%08X", volume.SerialNumber);
  return text;
}

// A computer object of the test's own, reached through g_pComputer while it lives.
class PartitionTest : public ::testing::Test {
 protected:
  PartitionTest() : previous_(g_pComputer) { g_pComputer = &computer; }
  ~PartitionTest() override { g_pComputer = previous_; }

  // A drive image in the list, its boot sector and partition table analysed.
  CVolume* LoadImage(const std::u16string& path) {
    auto volume = std::make_unique<CVolume>();
    volume->Kind = VolumeKindImage;
    volume->DevicePath = path;
    CVolume* image = volume.get();
    computer.Volumes.Add(std::move(volume));
    EXPECT_EQ(image->AnalyzeBootSector(), 1);
    return image;
  }

  std::vector<CVolume*> FoundOn(const CVolume* disk) {
    std::vector<CVolume*> found;
    for (CVolume* volume : computer.Volumes.Items())
      if (volume->Kind == VolumeKindFound && volume->Parent == disk) found.push_back(volume);
    return found;
  }

  CVolume* FoundAt(const CVolume* disk, uint64_t offset) {
    for (CVolume* volume : FoundOn(disk))
      if (volume->StartOffset == offset) return volume;
    return nullptr;
  }

  // Every partition of the fixture's .expected file is a found volume of the image.
  void ExpectPartitionsOfFixture(CVolume* image, const std::u16string& path) {
    std::vector<ExpectedPartition> expected = ReadExpectations(path);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(FoundOn(image).size(), expected.size());
    for (const ExpectedPartition& partition : expected) {
      SCOPED_TRACE("partition at " + std::to_string(partition.offset));
      CVolume* found = FoundAt(image, partition.offset);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(platform::Utf16ToUtf8(found->GetFileSystemName()), partition.fileSystem);
      EXPECT_EQ(platform::Utf16ToUtf8(found->GetDisplayName()),
                "Volume at: " + std::to_string(partition.offset));
      if (partition.label != "-") {
        EXPECT_EQ(platform::Utf16ToUtf8(found->Label), partition.label);
      }
      EXPECT_EQ(SerialOf(*found), partition.serial);
      EXPECT_EQ(found->State, VolumeStateReady);
      EXPECT_EQ(found->RootRecord.ParentId, image->RootRecord.Id);
      EXPECT_TRUE(log.Contains(platform::Utf8ToUtf16(
          "Found " + partition.fileSystem + " volume at: " + std::to_string(partition.offset))));
    }
  }

  LogCapture log;
  CLocalComputer computer;

 private:
  CLocalComputer* previous_;
};

// A disk built sector by sector: partition entries and boot signatures where a test puts them.
class DiskBuilder {
 public:
  explicit DiskBuilder(uint32_t sectors) : bytes_(static_cast<size_t>(sectors) * kSectorSize) {}

  DiskBuilder& Entry(uint64_t tableSector, int slot, uint8_t type, uint32_t start, uint32_t count) {
    uint8_t* entry = Sector(tableSector) + kPartitionTableOffset + slot * kPartitionEntrySize;
    entry[4] = type;
    std::memcpy(entry + 8, &start, 4);
    std::memcpy(entry + 12, &count, 4);
    return Signed(tableSector);
  }
  DiskBuilder& Signed(uint64_t sector) {
    Sector(sector)[510] = 0x55;
    Sector(sector)[511] = 0xAA;
    return *this;
  }
  // A FAT16 boot sector with its label, serial and sector count.
  DiskBuilder& Fat16(uint64_t sector, const char* label, uint32_t serial, uint16_t sectors) {
    uint8_t* boot = Sector(sector);
    std::memcpy(boot + 3, "MSDOS5.0", 8);
    boot[13] = 4;
    std::memcpy(boot + 19, &sectors, 2);
    std::memcpy(boot + 39, &serial, 4);
    std::memcpy(boot + 43, label, std::strlen(label));
    std::memset(boot + 43 + std::strlen(label), ' ', 11 - std::strlen(label));
    std::memcpy(boot + 54, "FAT16   ", 8);
    return Signed(sector);
  }
  uint8_t* Sector(uint64_t sector) { return bytes_.data() + sector * kSectorSize; }
  std::u16string WriteTo(const TempFolder& folder, std::u16string_view name) const {
    std::u16string path = folder.File(name);
    EXPECT_TRUE(testing_support::WriteWholeFile(path, bytes_));
    return path;
  }

 private:
  std::vector<uint8_t> bytes_;
};

TEST_F(PartitionTest, PrimaryAndLogicalPartitionsOfAToolMadeDiskAreFoundAtTheirOffsets) {
  std::u16string path = FixturePath("partitions/mbr.img");
  if (path.empty()) GTEST_SKIP() << "fixture images not made";
  CVolume* image = LoadImage(path);
  ExpectPartitionsOfFixture(image, path);

  // Each volume reads its own partition: sizes from the table, sectors from its boot sector.
  CVolume* fat16 = FoundAt(image, 2048 * 512);
  ASSERT_NE(fat16, nullptr);
  EXPECT_EQ(fat16->TotalBytes, 32768u * 512);
  EXPECT_EQ(fat16->FileSystemType(), 4);
  CVolume* fat32 = FoundAt(image, 79872ull * 512);
  ASSERT_NE(fat32, nullptr);
  EXPECT_EQ(fat32->FileSystemType(), 11);
  EXPECT_EQ(fat32->SectorsPerCluster, 1u);
  EXPECT_EQ(std::string(fat32->OemName.begin(), fat32->OemName.end()), "mkfs.fat");

  // Analysing the disk again finds the same partitions and adds no second volume for them.
  const size_t count = computer.Volumes.Count();
  EXPECT_EQ(image->AnalyzeBootSector(), 1);
  EXPECT_EQ(computer.Volumes.Count(), count);
  EXPECT_NE(fat16->RootRecord.Flags & FoundAlsoScanned, 0);
}

TEST_F(PartitionTest, PartitionBeyond4GiBGetsItsExact64BitOffset) {
  std::u16string path = FixturePath("partitions/beyond4g.img");
  if (path.empty()) GTEST_SKIP() << "fixture images not made";
  CVolume* image = LoadImage(path);
  EXPECT_EQ(image->TotalBytes, 5ull << 30);
  ExpectPartitionsOfFixture(image, path);
  ASSERT_NE(FoundAt(image, 9437184ull * 512), nullptr);
}

TEST_F(PartitionTest, EmptyEntriesAndEntriesBeyondTheDiskAreIgnored) {
  TempFolder folder;
  DiskBuilder disk(400);
  disk.Entry(0, 0, 0x00, 10, 20)       // no type
      .Entry(0, 1, 0x06, 30, 0)        // no sectors
      .Entry(0, 2, 0x06, 5000, 20)     // starts beyond the disk
      .Entry(0, 3, 0x83, 100, 70000);  // more sectors than the disk has: logged, kept
  CVolume* image = LoadImage(disk.WriteTo(folder, u"entries.img"));

  std::vector<CVolume*> found = FoundOn(image);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->StartOffset, 100u * 512);
  EXPECT_EQ(found[0]->FileSystemType(), 0);
  EXPECT_EQ(found[0]->TotalBytes, 300u * 512);  // as far as the disk holds it
  EXPECT_TRUE(log.Contains(u"pPartition->NumberSectors > TotalSectors"));
  EXPECT_TRUE(log.Contains(u"Found  volume at: 51200"));
}

TEST_F(PartitionTest, ExtendedPartitionsChainFromTheirBase) {
  TempFolder folder;
  DiskBuilder disk(7000);
  disk.Entry(0, 0, 0x05, 1000, 6000)
      .Entry(1000, 0, 0x06, 63, 100)    // logical: relative to this table
      .Entry(1000, 1, 0x05, 5000, 500)  // link: relative to the extended partition
      .Entry(6000, 0, 0x01, 63, 100)
      .Fat16(1063, "LOGICAL", 0xCAFEF00D, 100);
  CApp app;
  AddedVolumes window;
  app.SetMainWindowTarget(&window);
  CApp* previousApp = g_pApp;
  g_pApp = &app;
  CVolume* image = LoadImage(disk.WriteTo(folder, u"extended.img"));
  g_pApp = previousApp;

  std::vector<CVolume*> found = FoundOn(image);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]->StartOffset, 1063u * 512);
  EXPECT_EQ(found[1]->StartOffset, 6063u * 512);
  EXPECT_EQ(platform::Utf16ToUtf8(found[0]->Label), "LOGICAL");
  EXPECT_EQ(found[0]->SerialNumber, 0xCAFEF00Du);
  EXPECT_EQ(found[0]->SectorCount, 100u);
  EXPECT_EQ(found[1]->FileSystemType(), 1);  // FAT12 by its type, its sector holds nothing
  // The views hear of each new volume once it is listed.
  EXPECT_EQ(window.volumes, (std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(found[0]),
                                                    reinterpret_cast<uintptr_t>(found[1])}));
}

TEST_F(PartitionTest, LoopingAndRunawayExtendedChainsEndTheWalk) {
  TempFolder folder;
  // A table that links to itself, and two that link to each other.
  DiskBuilder selfLoop(2000);
  selfLoop.Entry(0, 0, 0x0F, 100, 1000).Entry(100, 0, 0x06, 10, 50).Entry(100, 1, 0x05, 0, 500);
  CVolume* first = LoadImage(selfLoop.WriteTo(folder, u"self.img"));
  EXPECT_EQ(FoundOn(first).size(), 1u);
  EXPECT_TRUE(log.Contains(u"form a loop"));

  DiskBuilder pingPong(2000);
  pingPong.Entry(0, 0, 0x05, 100, 1000)
      .Entry(100, 0, 0x06, 10, 50)
      .Entry(100, 1, 0x05, 200, 50)
      .Entry(300, 0, 0x06, 10, 50)
      .Entry(300, 1, 0x05, 0, 50)       // back to the first table
      .Entry(300, 2, 0x05, 90000, 50);  // and out of the disk
  CVolume* second = LoadImage(pingPong.WriteTo(folder, u"pingpong.img"));
  std::vector<CVolume*> found = FoundOn(second);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0]->StartOffset, 110u * 512);
  EXPECT_EQ(found[1]->StartOffset, 310u * 512);
  EXPECT_TRUE(log.Contains(u"lies beyond the disk"));

  // A chain of distinct tables longer than any disk has stops at the bound.
  constexpr uint32_t kTables = kMaxPartitionTables + 40;
  DiskBuilder runaway(kTables + 10);
  runaway.Entry(0, 0, 0x05, 1, kTables);
  for (uint32_t table = 1; table < kTables; ++table) runaway.Entry(table, 0, 0x05, table, 1);
  LoadImage(runaway.WriteTo(folder, u"runaway.img"));
  EXPECT_TRUE(log.Contains(u"partition tables; the rest are not read"));
}

TEST_F(PartitionTest, PartitionsInsideAFoundVolumeLieOnItsDisk) {
  TempFolder folder;
  DiskBuilder disk(1000);
  disk.Entry(0, 0, 0x83, 0, 1000)  // the image itself: its first sector is this table
      .Entry(0, 1, 0x83, 100, 800);
  // The partition's own first sector is a table again: the partition itself, and one inside.
  disk.Entry(100, 0, 0x83, 0, 800)
      .Entry(100, 1, 0x06, 50, 100)
      .Fat16(150, "INNER", 0x11112222, 100);
  CVolume* image = LoadImage(disk.WriteTo(folder, u"nested.img"));
  EXPECT_NE(image->RootRecord.Flags & FoundAlsoScanned, 0);
  ASSERT_EQ(FoundOn(image).size(), 1u);
  CVolume* outer = FoundAt(image, 100 * 512);
  ASSERT_NE(outer, nullptr);

  // A table inside a partition counts from the partition; its volumes read through the disk.
  EXPECT_EQ(outer->AnalyzeBootSector(), 1);
  EXPECT_NE(outer->RootRecord.Flags & FoundAlsoScanned, 0);
  ASSERT_EQ(FoundOn(image).size(), 2u);
  CVolume* inner = FoundAt(image, 150 * 512);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->RootRecord.ParentId, outer->RootRecord.Id);
  EXPECT_EQ(platform::Utf16ToUtf8(inner->Label), "INNER");
  EXPECT_TRUE(log.Contains(u"Found FAT16 volume at: 25600"));

  // Once more: both are known, nothing is added.
  EXPECT_EQ(outer->AnalyzeBootSector(), 1);
  EXPECT_EQ(FoundOn(image).size(), 2u);
}

TEST_F(PartitionTest, BootSectorFieldsAreCheckedBeforeTheyAreUsed) {
  TempFolder folder;
  DiskBuilder disk(4);
  disk.Fat16(0, "DATA", 0x01020304, 0);
  disk.Sector(0)[13] = 3;  // no power of two
  std::u16string path = disk.WriteTo(folder, u"fat.img");

  auto drive = std::make_unique<CVolume>();
  drive->Kind = VolumeKindImage;
  drive->DevicePath = path;
  drive->Label = u"FROMSYSTEM";
  EXPECT_EQ(drive->AnalyzeBootSector(), 1);
  EXPECT_EQ(drive->Label, u"FROMSYSTEM");  // a label the system gave is kept
  EXPECT_EQ(drive->SerialNumber, 0x01020304u);
  EXPECT_EQ(drive->SectorsPerCluster, 1u);
  EXPECT_EQ(drive->BytesPerCluster, 512u);
  EXPECT_TRUE(log.Contains(u"3 sectors per cluster is no cluster size"));

  // A FAT volume that knows its size from nowhere else and has no count in its boot sector.
  auto found = std::make_unique<CVolume>();
  found->Kind = VolumeKindFound;
  found->Parent = drive.get();
  found->DevicePath = path;
  EXPECT_EQ(found->AnalyzeBootSector(), 1);
  EXPECT_EQ(found->SectorCount, 0u);
  EXPECT_TRUE(
      log.Contains(u"boot_fat16->BPB.Large_Sectors == 0 && boot_fat16->BPB.Small_Sectors == 0"));

  // NTFS: a serial whose high half is 0 is not taken; large clusters are powers of two.
  DiskBuilder ntfs(2);
  std::memcpy(ntfs.Sector(0) + 3, "NTFS    ", 8);
  ntfs.Sector(0)[13] = 0xF4;  // 2^12 sectors
  const uint64_t lowSerialOnly = 0x89ABCDEF;
  std::memcpy(ntfs.Sector(0) + 72, &lowSerialOnly, 8);
  auto ntfsImage = std::make_unique<CVolume>();
  ntfsImage->Kind = VolumeKindImage;
  ntfsImage->DevicePath = ntfs.WriteTo(folder, u"ntfs.img");
  EXPECT_EQ(ntfsImage->AnalyzeBootSector(), 1);
  EXPECT_EQ(ntfsImage->FileSystemType(), 7);
  EXPECT_EQ(ntfsImage->SectorsPerCluster, 4096u);
  EXPECT_EQ(ntfsImage->SerialNumber, 0u);
  EXPECT_EQ(ntfsImage->TotalBytes, 1024u);
}

TEST_F(PartitionTest, UnreadableBootSectorFailsWithItsLogLine) {
  TempFolder folder;
  ASSERT_TRUE(
      testing_support::WriteWholeFile(folder.File(u"tiny.img"), std::vector<uint8_t>(100, 0x55)));
  auto tiny = std::make_unique<CVolume>();
  tiny->Kind = VolumeKindImage;
  tiny->DevicePath = folder.File(u"tiny.img");
  EXPECT_EQ(tiny->AnalyzeBootSector(), kBootSectorUnreadable);
  EXPECT_TRUE(log.Contains(u"Can't read boot sector on [tiny.img]"));

  // One whole sector is a boot sector, even without a second one behind it.
  DiskBuilder single(1);
  single.Fat16(0, "ONE", 1, 1);
  auto one = std::make_unique<CVolume>();
  one->Kind = VolumeKindImage;
  one->DevicePath = single.WriteTo(folder, u"one.img");
  EXPECT_EQ(one->AnalyzeBootSector(), 1);
  EXPECT_EQ(one->Label, u"ONE");
}

TEST(PartitionEntries, UnsignedOrShortSectorsHaveNoTable) {
  std::vector<uint8_t> sector(512, 0);
  std::array<PartitionEntry, kPartitionEntryCount> entries;
  EXPECT_FALSE(ReadPartitionEntries(sector, entries));
  sector[510] = 0x55;
  sector[511] = 0xAA;
  sector[446 + 16 + 4] = 0x0C;
  sector[446 + 16 + 8] = 0x00;
  sector[446 + 16 + 11] = 0x80;  // start sector 0x80000000
  EXPECT_TRUE(ReadPartitionEntries(sector, entries));
  EXPECT_EQ(entries[1].Type, 0x0C);
  EXPECT_EQ(entries[1].StartSector, 0x80000000u);
  EXPECT_FALSE(ReadPartitionEntries(std::span<const uint8_t>(sector).first(511), entries));
  EXPECT_EQ(FileSystemGroupOf(0x1B), 11);
  EXPECT_EQ(FileSystemGroupOf(0x83), 0);
  EXPECT_TRUE(FileSystemGroupName(0x83).empty());
}

}  // namespace
