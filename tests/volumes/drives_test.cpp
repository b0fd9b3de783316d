// The drive list: what a rescan lists and in which order, what it keeps, that it never frees a
// volume in use, the threaded rescan, media that come and go, and the Linux device names.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "platform/drive_sources.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/computer.h"

namespace {

using platform::DriveSource;
using platform::DriveSourceKind;
using volume_testing::LogCapture;

DriveSource Disk(int32_t number) {
  DriveSource source;
  source.Kind = DriveSourceKind::Disk;
  source.Number = number;
  source.DriveType = platform::kDriveTypeFixed;
  source.Path = platform::Format(u"no-such-disk-%d", number);
  source.Name = platform::Format(u"Drive %d", number);
  return source;
}

DriveSource Lettered(char16_t letter, int32_t driveType) {
  DriveSource source;
  source.Kind = DriveSourceKind::Drive;
  source.Letter = letter;
  source.DriveType = driveType;
  source.Path = platform::Format(u"no-such-drive-%c", letter);
  return source;
}

// A volume that tells when it is freed.
class WatchedVolume : public CVolume {
 public:
  WatchedVolume(int32_t kind, std::shared_ptr<std::atomic<bool>> freed) : freed_(std::move(freed)) { Kind = kind; }
  ~WatchedVolume() override { *freed_ = true; }

 private:
  std::shared_ptr<std::atomic<bool>> freed_;
};

class RecordingTarget : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    messages.push_back({message, wParam, lParam});
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  struct Message {
    uint32_t number;
    uintptr_t wParam;
    intptr_t lParam;
  };
  std::vector<Message> messages;
};

class DrivesTest : public ::testing::Test {
 protected:
  DrivesTest() {
    computer.Volumes.SetDriveSource([this] {
      ++rescans;
      return sources;
    });
  }

  LogCapture log;
  CLocalComputer computer;
  std::vector<DriveSource> sources;
  std::atomic<int> rescans{0};
};

TEST_F(DrivesTest, RescanListsDisksThenDrivesAndKeepsImagesAfterThem) {
  sources = {Disk(0), Disk(1), Lettered(u'C', platform::kDriveTypeFixed), Lettered(u'D', platform::kDriveTypeRemovable),
             Lettered(u'E', platform::kDriveTypeRemote), Lettered(u'F', platform::kDriveTypeCdRom)};
  auto image = std::make_unique<CVolume>();
  image->Kind = VolumeKindImage;
  CVolume* kept = image.get();
  computer.Volumes.Add(std::move(image));
  auto found = std::make_unique<CVolume>();
  found->Kind = VolumeKindFound;
  CVolumesList::AttachChildLocked(*kept, *found);
  computer.Volumes.Add(std::move(found));
  EXPECT_EQ(kept->RootRecord.Id, -31);

  EXPECT_EQ(computer.Volumes.Rescan(RescanMode::OnThisThread), 5);
  std::vector<CVolume*> items = computer.Volumes.Items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0]->Kind, VolumeKindPhysical);
  EXPECT_EQ(items[0]->Description, u"Drive 0");
  EXPECT_EQ(items[0]->Letter, u'0');
  EXPECT_EQ(items[1]->Description, u"Drive 1");
  EXPECT_EQ(items[1]->DiskNumber, 1);
  EXPECT_EQ(items[2]->Kind, VolumeKindLogical);
  EXPECT_EQ(items[2]->Letter, u'C');
  EXPECT_EQ(items[3]->Letter, u'D');
  EXPECT_EQ(items[3]->DriveType, platform::kDriveTypeRemovable);
  EXPECT_EQ(items[4], kept);  // the image is kept, after the drives; its found volume is gone
  EXPECT_TRUE(kept->Children.empty());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i]->RootRecord.Id, -33 - static_cast<int32_t>(i));
    EXPECT_EQ(items[i]->RootRecord.Flags, FoundDriveNode);
  }

  // A disk numbered past 9 has no single device digit but keeps its number.
  sources = {Disk(12)};
  EXPECT_EQ(computer.Volumes.Rescan(RescanMode::OnThisThread), 2);
  EXPECT_EQ(computer.Volumes.GetAt(0)->DiskNumber, 12);
  EXPECT_EQ(computer.Volumes.GetAt(0)->Letter, 0);
  EXPECT_EQ(computer.Volumes.GetAt(2), nullptr);
}

TEST_F(DrivesTest, RescanDoesNotFreeVolumesInUseNorTheDisksUnderThem) {
  auto diskFreed = std::make_shared<std::atomic<bool>>(false);
  auto foundFreed = std::make_shared<std::atomic<bool>>(false);
  auto idleFreed = std::make_shared<std::atomic<bool>>(false);
  auto disk = std::make_unique<WatchedVolume>(VolumeKindPhysical, diskFreed);
  auto found = std::make_unique<WatchedVolume>(VolumeKindFound, foundFreed);
  auto idle = std::make_unique<WatchedVolume>(VolumeKindLogical, idleFreed);
  CVolume* diskVolume = disk.get();
  CVolume* foundVolume = found.get();
  CVolumesList::AttachChildLocked(*disk, *found);
  computer.Volumes.Add(std::move(disk));
  computer.Volumes.Add(std::move(found));
  computer.Volumes.Add(std::move(idle));

  CVolumeUse use = computer.Volumes.Use(foundVolume);
  ASSERT_TRUE(use);
  EXPECT_TRUE(computer.Volumes.InUse(diskVolume));
  EXPECT_EQ(computer.Volumes.Rescan(RescanMode::OnThisThread), 0);

  EXPECT_TRUE(*idleFreed);
  EXPECT_FALSE(*foundFreed);
  EXPECT_FALSE(*diskFreed);
  EXPECT_FALSE(computer.Volumes.IsListed(foundVolume));
  EXPECT_EQ(foundVolume->Parent, diskVolume);  // it still reads through its disk
  EXPECT_TRUE(diskVolume->Children.empty());   // but the disk lists it no more
  EXPECT_TRUE(computer.Volumes.Use(foundVolume));  // still the list's while it lives

  CVolumeUse moved = std::move(use);
  EXPECT_FALSE(*foundFreed);
  moved.Release();
  EXPECT_TRUE(*foundFreed);
  EXPECT_TRUE(*diskFreed);
  EXPECT_FALSE(computer.Volumes.Use(&computer.ComputerNode));  // not the list's
}

TEST_F(DrivesTest, KeptPartitionVolumeMovesToTheDiskThatReplacesItsOwn) {
  sources = {Disk(0)};
  computer.Volumes.Rescan(RescanMode::OnThisThread);
  CVolume* oldDisk = computer.Volumes.GetAt(0);
  auto part = std::make_unique<CVolume>();
  part->Kind = VolumeKindPartition;
  part->StartOffset = 4096;
  CVolume* partition = part.get();
  {
    std::unique_lock lock = computer.Volumes.Lock();
    CVolumesList::AttachChildLocked(*oldDisk, *partition);
    computer.Volumes.AddLocked(std::move(part));
  }

  computer.Volumes.Rescan(RescanMode::OnThisThread);
  ASSERT_EQ(computer.Volumes.Count(), 2u);
  CVolume* newDisk = computer.Volumes.GetAt(0);
  EXPECT_EQ(computer.Volumes.GetAt(1), partition);
  EXPECT_EQ(partition->Parent, newDisk);
  EXPECT_EQ(newDisk->Children, std::vector<CVolume*>{partition});
  EXPECT_NE(newDisk, oldDisk);
  EXPECT_TRUE(computer.Volumes.InUse(newDisk));  // held by the partition

  // With no disk of that name any more, the old one stays alive under the partition.
  sources.clear();
  computer.Volumes.Rescan(RescanMode::OnThisThread);
  EXPECT_EQ(computer.Volumes.Items(), std::vector<CVolume*>{partition});
  EXPECT_EQ(partition->Parent, newDisk);
  EXPECT_EQ(partition->Parent->DiskNumber, 0);
}

TEST_F(DrivesTest, ThreadedRescansRunOneAtATimeAndCanBeWaitedFor) {
  sources = {Disk(0), Lettered(u'C', platform::kDriveTypeFixed)};
  EXPECT_EQ(computer.Volumes.Rescan(RescanMode::OnNewThread), 1);
  computer.Volumes.Rescan(RescanMode::OnNewThread);  // while one runs: it runs once more
  EXPECT_TRUE(computer.Volumes.WaitForRescan(CVolumesList::kRescanWaitMs));
  EXPECT_FALSE(computer.Volumes.RescanRunning());
  EXPECT_GE(rescans.load(), 1);
  EXPECT_EQ(computer.Volumes.Count(), 2u);

  const int before = rescans;
  EXPECT_EQ(computer.Volumes.RescanAndWait(), 0);
  EXPECT_EQ(rescans, before + 1);
  EXPECT_EQ(computer.Volumes.Count(), 2u);
}

TEST_F(DrivesTest, MediaArrivalsRescanAndRemovalsOnlyLog) {
  CApp app;
  RecordingTarget window;
  app.SetMainWindowTarget(&window);
  CApp* previousApp = g_pApp;
  g_pApp = &app;

  DeviceBroadcastVolume volumeE{sizeof(DeviceBroadcastVolume), kDeviceTypeVolume, 0, 0x10, 0};
  const intptr_t lParam = reinterpret_cast<intptr_t>(&volumeE);
  EXPECT_EQ(computer.OnDeviceChange(kDeviceArrival, lParam), 0);
  EXPECT_TRUE(log.Contains(u"Volume E: Medium connected!"));
  EXPECT_EQ(rescans, 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].number, UM_DEVICE_CHANGE);
  EXPECT_EQ(window.messages[0].wParam, kDeviceArrival);
  EXPECT_EQ(window.messages[0].lParam, lParam);

  computer.OnDeviceChange(kDeviceRemoveComplete, lParam);
  EXPECT_TRUE(log.Contains(u"Drive E: Medium removed!"));
  EXPECT_EQ(rescans, 1);
  EXPECT_EQ(window.messages.size(), 2u);

  DeviceBroadcastVolume port{sizeof(DeviceBroadcastVolume), 3, 0, 0x10, 0};
  computer.OnDeviceChange(kDeviceArrival, reinterpret_cast<intptr_t>(&port));
  computer.OnDeviceChange(0x0007, lParam);
  computer.OnDeviceChange(kDeviceArrival, 0);
  EXPECT_EQ(rescans, 1);
  EXPECT_EQ(window.messages.size(), 2u);
  g_pApp = previousApp;
}

TEST_F(DrivesTest, DrivesFindTheirDiskByDeviceNumber) {
  sources = {Disk(0), Disk(1)};
  computer.Volumes.Rescan(RescanMode::OnThisThread);
  computer.Volumes.WaitForQueries();
  CVolume* disk1 = computer.Volumes.GetAt(1);
  disk1->DeviceNumber.Number = 7;
  auto drive = std::make_unique<CVolume>();
  drive->Kind = VolumeKindLogical;
  drive->DeviceNumber.Number = 7;
  CVolume* listed = drive.get();
  CVolume loose;
  loose.Kind = VolumeKindLogical;
  loose.DeviceNumber.Number = 7;
  computer.Volumes.Add(std::move(drive));

  CVolume::QueryHooks().FindParentDisk(*listed);
  CVolume::QueryHooks().FindParentDisk(loose);  // a query that outlived its rescan
  EXPECT_EQ(listed->Parent, disk1);
  EXPECT_EQ(loose.Parent, &loose);
  EXPECT_EQ(disk1->Children, std::vector<CVolume*>{listed});
}

#ifndef _WIN32
namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  testing_support::WriteWholeFile(path.u16string(), std::vector<uint8_t>(text.begin(), text.end()));
}

void MakeDisk(const fs::path& sys, const std::string& name, const std::string& dev, const std::string& size) {
  WriteText(sys / name / "dev", dev + "\n");
  WriteText(sys / name / "size", size + "\n");
  WriteText(sys / name / "removable", "0\n");
}

TEST(LinuxDriveSources, WholeDisksThenTheirPartitionsWithLabels) {
  testing_support::TempFolder folder;
  const fs::path root(folder.path());
  const fs::path sys = root / "block";
  MakeDisk(sys, "sda", "8:0", "2000");
  WriteText(sys / "sda" / "device" / "vendor", "ATA     \n");
  WriteText(sys / "sda" / "device" / "model", "Disk 1000 \n");
  WriteText(sys / "sda" / "sda2" / "partition", "2\n");
  WriteText(sys / "sda" / "sda2" / "size", "100\n");
  WriteText(sys / "sda" / "sda1" / "partition", "1\n");
  WriteText(sys / "sda" / "sda1" / "size", "1000\n");
  MakeDisk(sys, "loop0", "7:0", "0");
  MakeDisk(sys, "loop1", "7:1", "64");
  WriteText(sys / "loop1" / "loop" / "backing_file", "/tmp/stick.img\n");
  MakeDisk(sys, "ram0", "1:0", "8192");
  MakeDisk(sys, "zram0", "252:0", "0");
  MakeDisk(sys, "sr0", "11:0", "0");
  MakeDisk(sys, "vda", "254:0", "536870912");
  WriteText(sys / "vda" / "device" / "vendor", "0x1af4\n");
  fs::create_directories(root / "by-label");
  fs::create_symlink("../../sda1", root / "by-label" / "MY\\x20DISK");
  fs::create_symlink("../../loop1", root / "by-label" / "STICK");

  std::vector<DriveSource> found =
      platform::EnumerateDriveSourcesUnder(sys.string(), "/dev", (root / "by-label").string());
  ASSERT_EQ(found.size(), 6u);
  EXPECT_EQ(found[0].Path, u"/dev/loop1");
  EXPECT_EQ(found[1].Path, u"/dev/sda");
  EXPECT_EQ(found[1].Kind, DriveSourceKind::Disk);
  EXPECT_EQ(found[1].Number, 8 << 16);
  EXPECT_EQ(found[1].Name, u"sda (ATA Disk 1000)");
  EXPECT_EQ(found[1].Bytes, 2000u * 512);
  EXPECT_EQ(found[2].Name, u"vda");
  EXPECT_EQ(found[2].Bytes, 536870912ull * 512);
  EXPECT_EQ(found[3].Path, u"/dev/loop1");  // a formatted disk without partitions is a drive too
  EXPECT_EQ(found[3].Kind, DriveSourceKind::Drive);
  EXPECT_EQ(found[4].Path, u"/dev/sda1");
  EXPECT_EQ(found[4].Label, u"MY DISK");
  EXPECT_EQ(found[4].Bytes, 1000u * 512);
  EXPECT_EQ(found[5].Path, u"/dev/sda2");
  EXPECT_TRUE(found[5].Label.empty());

  // In the list such a drive goes by its device name and label.
  CVolume drive;
  drive.Kind = VolumeKindLogical;
  drive.DevicePath = found[4].Path;
  drive.Label = found[4].Label;
  EXPECT_EQ(drive.GetDisplayName(), u"sda1 (MY DISK)");
  EXPECT_EQ(drive.GetDevicePath(), u"/dev/sda1");
}
#endif

}  // namespace
