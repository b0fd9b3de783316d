// Drive images: the copy worker (chunks, unreadable sectors, stops, refusals) and loading an
// image as a drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "app/message_target.h"
#include "app/messages.h"
#include "platform/file.h"
#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/computer.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::TempFolder;
using testing_support::WriteWholeFile;
using namespace volume_testing;

constexpr uint32_t kWaitMs = 20000;

// A drive image on disk whose reads can be watched, made to fail over given sectors, and held
// at a given sector until the test lets them go on.
class TestVolume : public CVolume {
 public:
  TestVolume(const std::u16string& path, uint32_t sectors) {
    Kind = VolumeKindImage;
    DevicePath = path;
    TotalBytes = uint64_t{sectors} * kSectorSize;
  }
  ~TestVolume() override { *destroyed = true; }

  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    {
      std::lock_guard lock(mutex_);
      reads_.emplace_back(first, count);
    }
    if (onRead) onRead(first, count);
    for (auto [badFirst, badCount] : unreadable)
      if (first < badFirst + badCount && badFirst < first + count) return 0;
    return CVolume::ReadSectors(buffer, first, count);
  }

  std::vector<std::pair<uint64_t, uint64_t>> Reads() {
    std::lock_guard lock(mutex_);
    return reads_;
  }

  std::vector<std::pair<uint64_t, uint64_t>> unreadable;  // first sector, count
  std::function<void(uint64_t first, uint64_t count)> onRead;
  std::shared_ptr<std::atomic<bool>> destroyed = std::make_shared<std::atomic<bool>>(false);

 private:
  std::mutex mutex_;
  std::vector<std::pair<uint64_t, uint64_t>> reads_;
};

// Stands for the progress dialog: keeps what the worker posts.
class MessageLog : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t, intptr_t lParam) override {
    std::lock_guard lock(mutex_);
    messages_.emplace_back(message, lParam);
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  std::vector<std::pair<uint32_t, intptr_t>> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<uint32_t, intptr_t>> messages_;
};

class ImageTest : public ::testing::Test {
 protected:
  std::unique_ptr<TestVolume> Source(uint32_t sectors) {
    sourceBytes = NumberedSectors(sectors);
    EXPECT_TRUE(WriteWholeFile(sourcePath, sourceBytes));
    return std::make_unique<TestVolume>(sourcePath, sectors);
  }

  std::shared_ptr<ImageJob> Job(CVolume& source) {
    auto job = std::make_shared<ImageJob>();
    job->Source = &source;
    job->ImagePath = imagePath;
    job->DialogWindow = &dialog;
    return job;
  }

  // Starts the worker and waits for its end.
  void Copy(const std::shared_ptr<ImageJob>& job) {
    ASSERT_TRUE(StartImageThread(nullptr, job));
    ASSERT_TRUE(job->Finished.Wait(kWaitMs));
  }

  static bool AllZero(const std::vector<uint8_t>& bytes, uint64_t firstSector, uint64_t count) {
    auto begin = bytes.begin() + static_cast<ptrdiff_t>(firstSector * kSectorSize);
    return std::all_of(begin, begin + static_cast<ptrdiff_t>(count * kSectorSize),
                       [](uint8_t b) { return b == 0; });
  }

  static bool SameSectors(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                          uint64_t firstSector, uint64_t count) {
    auto at = static_cast<ptrdiff_t>(firstSector * kSectorSize);
    return std::equal(a.begin() + at, a.begin() + at + static_cast<ptrdiff_t>(count * kSectorSize),
                      b.begin() + at);
  }

  TempFolder folder;
  std::u16string sourcePath = folder.File(u"source.img");
  std::u16string imagePath = folder.File(u"copy.dsk");
  std::vector<uint8_t> sourceBytes;
  MessageLog dialog;
  LogCapture log;
};

TEST_F(ImageTest, CopiesInChunksOf4096SectorsIntoAFileOfTheSourcesLength) {
  auto source = Source(10000);
  auto job = Job(*source);
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Complete);
  using Read = std::pair<uint64_t, uint64_t>;
  EXPECT_EQ(source->Reads(), (std::vector<Read>{{0, 4096}, {4096, 4096}, {8192, 1808}}));
  std::vector<uint8_t> image = ReadWholeFile(imagePath);
  EXPECT_EQ(image.size(), 5120000u);
  EXPECT_TRUE(image == sourceBytes);
  EXPECT_EQ(job->TotalSectors.load(), 10000u);
  EXPECT_EQ(job->CurrentSector.load(), 10000u);
  EXPECT_EQ(job->UnreadableSectors.load(), 0u);
  EXPECT_EQ(job->Copying.load(), 0);
  EXPECT_EQ(ImageProgressPercent(*job), 100);
  EXPECT_EQ(dialog.Messages(),
            (std::vector<std::pair<uint32_t, intptr_t>>{{UM_IMAGE_COPY_FINISHED, 0}}));
  EXPECT_EQ(log.LineCount(), 0u);
}

TEST_F(ImageTest, UnreadableSectorsBecomeZerosAndTheCopyGoesOnToTheEnd) {
  auto source = Source(10000);
  // One run across the first chunk boundary, one inside a chunk, one at the very end.
  source->unreadable = {{4090, 11}, {6000, 1}, {9990, 10}};
  auto job = Job(*source);
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Complete);
  std::vector<uint8_t> image = ReadWholeFile(imagePath);
  ASSERT_EQ(image.size(), sourceBytes.size());
  EXPECT_TRUE(AllZero(image, 4090, 11));
  EXPECT_TRUE(AllZero(image, 6000, 1));
  EXPECT_TRUE(AllZero(image, 9990, 10));
  EXPECT_TRUE(SameSectors(image, sourceBytes, 0, 4090));
  EXPECT_TRUE(SameSectors(image, sourceBytes, 4101, 6000 - 4101));
  EXPECT_TRUE(SameSectors(image, sourceBytes, 6001, 9990 - 6001));
  EXPECT_EQ(job->UnreadableSectors.load(), 22u);
  EXPECT_EQ(job->CurrentSector.load(), 10000u);
  // Each run is one line, also the one that spans two chunks.
  EXPECT_TRUE(log.Contains(u"Can't read sector: 0xffa (11 unreadable sectors"));
  EXPECT_TRUE(log.Contains(u"Can't read sector: 0x1770 (1 unreadable sectors"));
  EXPECT_TRUE(log.Contains(u"Can't read sector: 0x2706 (10 unreadable sectors"));
  EXPECT_EQ(log.LineCount(), 3u);
  EXPECT_EQ(dialog.Messages().size(), 1u);
}

TEST_F(ImageTest, SmallSourcesAreOneReadAndShowNoProgressUntilTheEnd) {
  auto source = Source(57);
  auto job = Job(*source);
  std::vector<int32_t> percents;
  source->onRead = [&](uint64_t, uint64_t) { percents.push_back(ImageProgressPercent(*job)); };
  Copy(job);
  using Read = std::pair<uint64_t, uint64_t>;
  EXPECT_EQ(source->Reads(), (std::vector<Read>{{0, 57}}));
  EXPECT_EQ(percents, std::vector<int32_t>{0});
  EXPECT_EQ(ImageProgressPercent(*job), 100);
  EXPECT_TRUE(ReadWholeFile(imagePath) == sourceBytes);
}

TEST_F(ImageTest, AStopBetweenChunksLeavesTheChunksCopiedSoFar) {
  auto source = Source(10000);
  auto job = Job(*source);
  std::vector<int32_t> percents;
  source->onRead = [&](uint64_t first, uint64_t) {
    percents.push_back(ImageProgressPercent(*job));
    if (first == 4096) job->Copying = 0;  // the user cancels while the second chunk is read
  };
  Copy(job);
  EXPECT_TRUE(StopImageThread(*job, kWaitMs));
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Stopped);
  EXPECT_EQ(percents, (std::vector<int32_t>{0, 40}));
  EXPECT_EQ(source->Reads().size(), 2u);
  std::vector<uint8_t> image = ReadWholeFile(imagePath);
  ASSERT_EQ(image.size(), 8192u * kSectorSize);
  EXPECT_TRUE(SameSectors(image, sourceBytes, 0, 8192));
  EXPECT_EQ(job->CurrentSector.load(), 8192u);
  EXPECT_EQ(dialog.Messages().size(), 1u) << "a stopped copy has finished too";
}

TEST_F(ImageTest, AStopWhileRescuingAChunkKeepsOnlyTheSettledSectors) {
  auto source = Source(10000);
  source->unreadable = {{4200, 3}};
  auto job = Job(*source);
  source->onRead = [&](uint64_t first, uint64_t count) {
    if (count == 1 && first == 4300) job->Copying = 0;
  };
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Stopped);
  std::vector<uint8_t> image = ReadWholeFile(imagePath);
  ASSERT_EQ(image.size(), 4301u * kSectorSize);
  EXPECT_TRUE(SameSectors(image, sourceBytes, 0, 4200));
  EXPECT_TRUE(AllZero(image, 4200, 3));
  EXPECT_TRUE(SameSectors(image, sourceBytes, 4203, 4301 - 4203));
  EXPECT_EQ(job->CurrentSector.load(), 4301u);
  EXPECT_TRUE(log.Contains(u"0x1068 (3 unreadable sectors"));
}

TEST_F(ImageTest, AStopAskedBeforeTheWorkerRunsIsHonoured) {
  auto source = Source(10000);
  auto job = Job(*source);
  job->Copying = 0;  // cancelled while the source was still being opened
  CopyDriveImage(*job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Stopped);
  EXPECT_TRUE(source->Reads().empty());
  EXPECT_EQ(ReadWholeFile(imagePath).size(), 0u);
}

TEST_F(ImageTest, ImagePathsThatNameTheSourceOrADriveOrAFolderAreRefused) {
  auto source = Source(100);
  for (const std::u16string& path : {sourcePath, folder.path(), std::u16string()}) {
    auto job = Job(*source);
    job->ImagePath = path;
    EXPECT_FALSE(StartImageThread(nullptr, job));
    EXPECT_EQ(job->Copying.load(), 0);
  }
  EXPECT_TRUE(ReadWholeFile(sourcePath) == sourceBytes) << "the source must not be touched";
  EXPECT_TRUE(log.Contains(u"is the drive being copied"));
  EXPECT_TRUE(log.Contains(u"is a folder"));
  EXPECT_TRUE(dialog.Messages().empty());

  // A partition reads its disk's file: an image over that file is refused as well.
  CVolume partition;
  partition.Kind = VolumeKindFound;
  partition.Parent = source.get();
  partition.StartOffset = 10 * kSectorSize;
  EXPECT_FALSE(RefuseImagePath(partition, sourcePath).empty());
  EXPECT_TRUE(RefuseImagePath(partition, imagePath).empty());
}

TEST_F(ImageTest, FailuresToOpenTheSourceOrCreateTheFileEndTheJobWithoutACopy) {
  TestVolume missing(folder.File(u"missing.img"), 100);
  auto job = Job(missing);
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::SourceNotOpened);
  EXPECT_TRUE(dialog.Messages().empty());
  EXPECT_FALSE(platform::FileExists(imagePath));

  auto source = Source(100);
  job = Job(*source);
  job->ImagePath = platform::JoinPath(folder.File(u"no such folder"), u"copy.dsk");
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::FileNotCreated);
  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, UM_IMAGE_COPY_ERROR);
  EXPECT_NE(messages[0].second, 0) << "the system error code";
  EXPECT_TRUE(log.Contains(u"Can't create the image file"));
}

TEST_F(ImageTest, ASourceOfUnknownSizeGivesAnEmptyFileAndSaysSo) {
  auto source = Source(100);
  source->TotalBytes = 0;
  auto job = Job(*source);
  Copy(job);
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::NoSize);
  EXPECT_TRUE(log.Contains(u"is not known; nothing was copied"));
}

TEST_F(ImageTest, AnImageOpensAsADriveImageVolumeKeptOpen) {
  auto source = Source(300);
  std::unique_ptr<CVolume> loaded = OpenDriveImage(sourcePath);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Kind, VolumeKindImage);
  EXPECT_EQ(loaded->DriveType, 7);
  EXPECT_EQ(loaded->TotalBytes, 300u * kSectorSize);
  EXPECT_EQ(loaded->SectorCount, 300u);
  EXPECT_EQ(loaded->State.load(), VolumeStateReady);
  EXPECT_TRUE(loaded->IsOpen());
  EXPECT_EQ(loaded->GetDisplayName(), u"source.img");
  std::vector<uint8_t> sector(kSectorSize);
  ASSERT_EQ(loaded->ReadSectors(sector.data(), 299, 1), kSectorSize);
  EXPECT_EQ(SectorNumberAt(sector.data()), 299u);

  EXPECT_FALSE(OpenDriveImage(folder.File(u"missing.dsk")));
}

TEST_F(ImageTest, AnImageOfAFatVolumeLoadsWithItsFileSystem) {
  std::u16string fat = testing_support::FixturePath("volumes/fat16.img");
  if (fat.empty()) GTEST_SKIP() << "fixture images not made";
  std::unique_ptr<CVolume> drive = OpenDriveImage(fat);
  ASSERT_TRUE(drive);
  auto job = Job(*drive);
  Copy(job);
  ASSERT_EQ(job->Outcome.load(), ImageOutcome::Complete);
  EXPECT_TRUE(ReadWholeFile(imagePath) == ReadWholeFile(fat));

  std::unique_ptr<CVolume> copy = OpenDriveImage(imagePath);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->TotalBytes, 16384u * 1024);
  EXPECT_EQ(copy->FileSystemType(), 4) << "FAT16 (below 32 MiB) found from the copy's first sector";
}

TEST_F(ImageTest, ARescanDuringACopyDoesNotFreeTheSource) {
  CLocalComputer computer;
  computer.Volumes.SetDriveSource([] { return std::vector<platform::DriveSource>{}; });
  auto owned = Source(10000);
  owned->Kind = VolumeKindPhysical;  // a rescan replaces disks
  TestVolume* source = owned.get();
  std::shared_ptr<std::atomic<bool>> destroyed = source->destroyed;
  computer.Volumes.Add(std::move(owned));
  platform::Event reading(platform::Event::Reset::Manual), goOn(platform::Event::Reset::Manual);
  source->onRead = [&](uint64_t first, uint64_t) {
    if (first != 4096) return;
    reading.Set();
    goOn.Wait(kWaitMs);
  };
  auto job = Job(*source);
  ASSERT_TRUE(StartImageThread(&computer, job));
  ASSERT_TRUE(reading.Wait(kWaitMs));
  computer.Volumes.Rescan(RescanMode::OnThisThread);
  EXPECT_FALSE(computer.Volumes.IsListed(source));
  EXPECT_FALSE(*destroyed) << "the worker still reads it";
  goOn.Set();
  ASSERT_TRUE(job->Finished.Wait(kWaitMs));
  EXPECT_EQ(job->Outcome.load(), ImageOutcome::Complete);
  EXPECT_TRUE(ReadWholeFile(imagePath) == sourceBytes);
  EXPECT_TRUE(*destroyed) << "freed when the copy let it go";
}

TEST_F(ImageTest, WithADriveListOnlyListedDrivesAreCopiedAndNoLoadedImageIsOverwritten) {
  CLocalComputer computer;
  auto source = Source(100);
  auto job = Job(*source);
  EXPECT_FALSE(StartImageThread(&computer, job));
  EXPECT_TRUE(log.Contains(u"is not in the drive list"));

  ASSERT_TRUE(WriteWholeFile(imagePath, NumberedSectors(10)));
  CVolume* loaded = LoadImage(computer, imagePath);
  ASSERT_TRUE(loaded);
  CVolume* listedSource = LoadImage(computer, sourcePath);
  ASSERT_TRUE(listedSource);
  job = Job(*listedSource);
  EXPECT_FALSE(StartImageThread(&computer, job));
  EXPECT_TRUE(log.Contains(u"is a loaded drive image"));
  EXPECT_EQ(ReadWholeFile(imagePath).size(), 10u * kSectorSize);

  job->ImagePath = folder.File(u"other.dsk");
  ASSERT_TRUE(StartImageThread(&computer, job));
  ASSERT_TRUE(job->Finished.Wait(kWaitMs));
  EXPECT_TRUE(ReadWholeFile(job->ImagePath) == sourceBytes);
}

// A disk image whose partition table holds one FAT12 partition at sector 63.
std::vector<uint8_t> DiskWithFatPartition(const std::vector<uint8_t>& fat) {
  constexpr size_t kStart = 63;
  std::vector<uint8_t> disk(kStart * kSectorSize + fat.size(), 0);
  uint8_t* entry = disk.data() + 446;
  entry[4] = 0x01;  // FAT12
  const uint32_t start = kStart, sectors = static_cast<uint32_t>(fat.size() / kSectorSize);
  std::memcpy(entry + 8, &start, 4);
  std::memcpy(entry + 12, &sectors, 4);
  disk[510] = 0x55;
  disk[511] = 0xAA;
  std::copy(fat.begin(), fat.end(), disk.begin() + kStart * kSectorSize);
  return disk;
}

TEST_F(ImageTest, ALoadedDiskImageIsListedWithThePartitionsFoundInIt) {
  std::u16string fat = testing_support::FixturePath("volumes/fat12.img");
  if (fat.empty()) GTEST_SKIP() << "fixture images not made";
  ASSERT_TRUE(WriteWholeFile(imagePath, DiskWithFatPartition(ReadWholeFile(fat))));
  CLocalComputer computer;
  // Partition tables hand what they find to the process's computer object.
  CLocalComputer* previous = std::exchange(g_pComputer, &computer);
  CVolume* disk = LoadImage(computer, imagePath);
  g_pComputer = previous;
  ASSERT_TRUE(disk);
  EXPECT_TRUE(computer.Volumes.IsListed(disk));
  EXPECT_LT(disk->RootRecord.Id, -30);
  EXPECT_EQ(disk->RootRecord.Flags & FoundDriveNode, FoundDriveNode);
  EXPECT_EQ(disk->TotalBytes, (63u + 2880u) * kSectorSize);
  ASSERT_EQ(computer.Volumes.Count(), 2u) << "the disk and its partition";
  CVolume* partition = computer.Volumes.GetAt(1);
  EXPECT_EQ(partition->Kind, VolumeKindFound);
  EXPECT_EQ(partition->StartOffset, 63u * kSectorSize);
  EXPECT_EQ(partition->FileSystemType(), 1);
  EXPECT_EQ(computer.Volumes.Count(), 2u);
  EXPECT_FALSE(LoadImage(computer, folder.File(u"missing.dsk")));
  EXPECT_EQ(computer.Volumes.Count(), 2u);
}

}  // namespace
