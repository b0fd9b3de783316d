// What a volume tells about itself: sizes from its query, names, paths, file-system names.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/text.h"
#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/volume.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteWholeFile;
using namespace volume_testing;

TEST(VolumeQuery, ImageSizeComesFromTheFileBeyond4GiB) {
  TempFolder folder;
  std::u16string path = folder.File(u"large.dsk");
  { std::ofstream create(std::filesystem::path(path), std::ios::binary); }
  std::filesystem::resize_file(std::filesystem::path(path), 5'000'000'000ull);  // sparse
  auto volume = ImageVolume(path);
  volume->SectorsPerCluster = 8;  // whatever was there, an image counts 512-byte clusters
  volume->BytesPerCluster = 4096;
  volume->QueryInformation();
  EXPECT_EQ(volume->State, VolumeStateReady);
  EXPECT_EQ(volume->TotalBytes, 5'000'000'000ull);
  EXPECT_EQ(volume->ClusterCount, 9'765'625ull);
  EXPECT_EQ(volume->SectorCount, 9'765'625ull);
  EXPECT_EQ(volume->BytesPerCluster, 512u);
  EXPECT_EQ(volume->SectorsPerCluster, 1u);
  EXPECT_FALSE(volume->IsOpen()) << "the query leaves the device as it found it";

  std::vector<uint8_t> sector(kSectorSize, 0xEE);
  EXPECT_EQ(volume->ReadSectors(sector.data(), 9'765'624, 1), kSectorSize)
      << "the last sector of a 5 GB image";
  EXPECT_EQ(sector[0], 0);
}

TEST(VolumeQuery, MissingImageAndDriveWithoutMediumAreNotReady) {
  TempFolder folder;
  LogCapture log;
  auto image = ImageVolume(folder.File(u"gone.dsk"));
  image->QueryInformation();
  EXPECT_EQ(image->State, VolumeStateNotReady);
  EXPECT_TRUE(log.Contains(u"gone.dsk', System Error: "));

  int parentLookups = 0, bootSectorReads = 0;
  const CVolumeQueryHooks installed = CVolume::QueryHooks();
  CVolume::QueryHooks().FindParentDisk = [&](CVolume&) { ++parentLookups; };
  CVolume::QueryHooks().AnalyzeBootSector = [&](CVolume&) { ++bootSectorReads; };
  CVolume drive;
  drive.Kind = VolumeKindLogical;
  drive.Letter = u'Q';  // no such drive here
  drive.QueryInformation();
  CVolume::QueryHooks() = installed;
  EXPECT_EQ(drive.State, VolumeStateNotReady);
  EXPECT_EQ(drive.TotalBytes, 0u);
  EXPECT_EQ(parentLookups, 1);
  EXPECT_EQ(bootSectorReads, 1);
  EXPECT_EQ(drive.GetDevicePath(), u"\\\\.\\Q:");
  EXPECT_EQ(drive.RootPath, u"\\\\.\\Q:\\");
}

TEST(VolumeQuery, PartitionQueryUsesTheParentDiskAndRunsOnItsOwnThread) {
  TempFolder folder;
  std::u16string path = folder.File(u"disk.img");
  ASSERT_TRUE(WriteWholeFile(path, NumberedSectors(64)));
  auto disk = ImageVolume(path);
  CVolume partition;
  partition.Kind = VolumeKindFound;
  partition.Parent = disk.get();
  partition.StartOffset = 8 * kSectorSize;
  partition.TotalBytes = 56 * kSectorSize;
  partition.StartQuery();
  partition.WaitForQuery();
  EXPECT_FALSE(partition.IsQueryRunning());
  EXPECT_EQ(partition.State, VolumeStateReady);
  EXPECT_EQ(partition.DevicePath, path);
  EXPECT_EQ(partition.TotalBytes, 56u * kSectorSize)
      << "an image answers no geometry; the size stays";
}

#ifndef _WIN32
// A drive that does not answer: opening a FIFO waits until a writer comes. Meanwhile the query
// alone writes the volume's fields, and other threads get the name published before it.
TEST(VolumeQuery, ADriveStillQueryingKeepsItsPublishedName) {
  TempFolder folder;
  const std::u16string path = folder.File(u"slow-disk");
  const std::string native = platform::Utf16ToUtf8(path);
  ASSERT_EQ(::mkfifo(native.c_str(), 0600), 0);
  CVolume disk;
  disk.Kind = VolumeKindPhysical;
  disk.DevicePath = path;
  disk.Description = u"ACME, Platter 2000";
  ASSERT_EQ(disk.GetDisplayName(), u"ACME, Platter 2000");
  disk.Description = u"ACME, Platter 3000";
  disk.StartQuery();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(disk.IsQueryRunning());
  EXPECT_EQ(disk.GetDisplayName(), u"ACME, Platter 2000");
  // The drive answers (and says nothing); the query ends.
  const int writer = ::open(native.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ::close(writer);
  disk.WaitForQuery();
  EXPECT_EQ(disk.GetDisplayName(), u"ACME, Platter 3000");
}
#endif

TEST(VolumeQuery, DisplayNamesFollowTheKind) {
  CVolume disk;
  disk.Kind = VolumeKindPhysical;
  disk.DevicePath = u"/dev/sdz";
  EXPECT_EQ(disk.GetDisplayName(), u"/dev/sdz") << "a disk that gave no description";
  disk.Description = u"ACME, Platter 2000";
  EXPECT_EQ(disk.GetDisplayName(), u"ACME, Platter 2000");
  EXPECT_EQ(disk.DisplayName, u"ACME, Platter 2000");

  CVolume lettered;
  lettered.Kind = VolumeKindLogical;
  lettered.Letter = u'E';
  EXPECT_EQ(lettered.GetDisplayName(), u"E:");
  lettered.Label = u"  HOLIDAY  ";
  EXPECT_EQ(lettered.GetDisplayName(), u"E: (HOLIDAY)");
  lettered.Label = u"   ";
  EXPECT_EQ(lettered.GetDisplayName(), u"E:");

  CVolume found;
  found.Kind = VolumeKindFound;
  found.StartOffset = 5'000'000'000'000ull;
  EXPECT_EQ(found.GetDisplayName(), u"Volume at: 5000000000000");

  CVolume image;
  image.Kind = VolumeKindImage;
  image.DevicePath = u"C:\\Images\\card.dsk";
  EXPECT_EQ(image.GetDisplayName(), u"card.dsk");
  EXPECT_EQ(image.GetDevicePath(), u"C:\\Images\\card.dsk");

  CVolume computer;
  computer.Kind = VolumeKindComputer;
  computer.DisplayName = u"My Computer";
  EXPECT_EQ(computer.GetDisplayName(), u"My Computer");
}

TEST(VolumeQuery, DisksAreOpenedByTheirSystemNumber) {
  CVolume disk;
  disk.Kind = VolumeKindPhysical;
  disk.DevicePath = u"kept";
  disk.DiskNumber = -1;
  EXPECT_EQ(disk.GetDevicePath(), u"kept") << "no number: the path given stays";
#ifdef _WIN32
  disk.DiskNumber = 0;
  EXPECT_EQ(disk.GetDevicePath(), u"\\\\.\\PHYSICALDRIVE0");
  disk.DiskNumber = 12;  // more than one digit
  EXPECT_EQ(disk.GetDevicePath(), u"\\\\.\\PHYSICALDRIVE12");
#else
  disk.DiskNumber = 0x7FFF0000;  // a device number no disk has
  EXPECT_EQ(disk.GetDevicePath(), u"kept");
#endif
}

TEST(VolumeQuery, FileSystemClassAndName) {
  CVolume volume;
  for (int32_t code : {1, 4, 6, 11, 12, 14, 17, 20, 22, 27, 28, 30}) {
    volume.FileSystem->TypeCode = code;
    EXPECT_EQ(volume.GetFileSystemClass(), 0) << code;
  }
  volume.FileSystem->TypeCode = 7;
  EXPECT_EQ(volume.GetFileSystemClass(), 1);
  for (int32_t code : {0, 5, 15, 128, 131}) {
    volume.FileSystem->TypeCode = code;
    EXPECT_EQ(volume.GetFileSystemClass(), 2) << code;
  }

  volume.FileSystem->TypeCode = 6;
  EXPECT_EQ(volume.GetFileSystemName(), u"FAT16");

  CVolume fromBootSector;
  std::memcpy(fromBootSector.BootSector.data() + 82, "FAT32   ", 8);
  EXPECT_EQ(fromBootSector.GetFileSystemName(), u"FAT32");

  CVolume named;
  named.FileSystem->TypeCode = 7;
  named.FileSystem->SetTypeNameText(u"exFAT");
  EXPECT_EQ(named.GetFileSystemName(), u"exFAT") << "the system's name is kept";
  named.FileSystem->TypeName = u"UNKNOWN";
  EXPECT_EQ(named.GetFileSystemName(), u"NTFS");

  CVolume nothing;
  EXPECT_EQ(nothing.GetFileSystemName(), u"Unknown");
}

}  // namespace
