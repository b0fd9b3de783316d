// The sector scanner over carving images built in memory: where lost files are found, what is
// never tested (past the end, unreadable sectors), the settings it repairs, and that neither the
// number of workers nor the block size changes what it reports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../volumes/volume_test_support.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "filesystems/found_object_store.h"
#include "signatures/file_types.h"
#include "signatures/searcher.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"

namespace {

using namespace std::chrono_literals;
using volume_testing::LogCapture;

constexpr int16_t kJpeg = 83;
constexpr int16_t kPng = 88;
constexpr int16_t kZip = 300;

const uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
const uint8_t kPngStart[] = {0x89, 'P',  'N',  'G',  0x0D, 0x0A, 0x1A, 0x0A,
                             0x00, 0x00, 0x00, 0x0D, 'I',  'H',  'D',  'R'};
const uint8_t kZipStart[] = {'P', 'K', 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x08, 0x00};

// A drive over bytes; sectors in [failFirst, failFirst + failCount) cannot be read, and every
// read waits readDelay.
class CarvingVolume : public CVolume {
 public:
  explicit CarvingVolume(size_t bytes, uint32_t clusterBytes = 512) : bytes_(bytes, 0) {
    Kind = VolumeKindImage;
    TotalBytes = bytes;
    SectorCount = bytes / kSectorSize;
    BytesPerCluster = clusterBytes;
    SectorsPerCluster = clusterBytes / kSectorSize;
  }
  template <size_t N>
  void Put(size_t at, const uint8_t (&data)[N]) {
    std::memcpy(bytes_.data() + at, data, N);
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }

  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    if (readDelay.count() != 0) std::this_thread::sleep_for(readDelay);
    const uint64_t sectors = bytes_.size() / kSectorSize;
    if (count == 0 || first >= sectors || count > sectors - first) return 0;
    if (failCount != 0 && first < failFirst + failCount && failFirst < first + count) {
      std::lock_guard lock(lock_);
      ++failedReads;
      return 0;
    }
    std::memcpy(buffer, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return static_cast<uint32_t>(count * kSectorSize);
  }

  uint64_t failFirst = 0;
  uint64_t failCount = 0;
  std::chrono::milliseconds readDelay{0};
  int failedReads = 0;

 private:
  std::vector<uint8_t> bytes_;
  std::mutex lock_;
};

struct Found {
  int64_t start;
  int16_t type;
  int64_t size;
  bool operator==(const Found&) const = default;
};

class SearcherTest : public ::testing::Test {
 protected:
  SearcherTest() {
    for (FileType& group : BuiltinGroups())
      types.AddGroup(std::make_unique<FileType>(std::move(group)));
    for (FileType& type : BuiltinTypes()) types.AddType(std::move(type));
    FillDefaults(settings);
    settings.ScanMode = 0;
    status.Running = 1;
  }

  // Runs a scan and returns what was handed over, in order.
  std::vector<Found> Scan(CVolume& volume, int32_t threads = 1, int32_t blockSize = 0) {
    settings.SearchThreads = threads;
    settings.SearchBlockSize = blockSize;
    status.Running = 1;
    std::vector<Found> found;
    CSearcher searcher(
        volume, status,
        [&](const FoundObject& object) {
          found.push_back({object.Start, object.FileTypeId, object.Size});
        },
        &types, &settings);
    searcher.Run();
    unreadable = searcher.UnreadableSectors();
    workers = searcher.WorkerCount();
    return found;
  }
  static std::vector<int64_t> StartsOf(const std::vector<Found>& found, int16_t type) {
    std::vector<int64_t> starts;
    for (const Found& f : found)
      if (f.type == type) starts.push_back(f.start);
    return starts;
  }

  LogCapture log;
  FileTypeDatabase types;
  SettingsRecord settings{};
  AnalysisStatus status;
  uint64_t unreadable = 0;
  size_t workers = 0;
};

TEST_F(SearcherTest, FilesAtSectorBoundariesAreFoundAtTheirStartAndNamedByTheStore) {
  CarvingVolume volume(3 * 1048576 + 7 * 512);  // not a whole number of blocks
  volume.Put(3 * 512, kJpegStart);
  volume.Put(1048576 - 512, kPngStart);                // the last unit of a 64 KiB block
  volume.Put(volume.Bytes().size() - 512, kZipStart);  // the last unit of the drive
  const std::vector<Found> found = Scan(volume, 1, 65536);
  EXPECT_EQ(StartsOf(found, kJpeg), std::vector<int64_t>{3 * 512});
  EXPECT_EQ(StartsOf(found, kPng), std::vector<int64_t>{1048576 - 512});
  EXPECT_EQ(StartsOf(found, kZip),
            std::vector<int64_t>{static_cast<int64_t>(volume.Bytes().size() - 512)});
  EXPECT_TRUE(log.Contains(u"Analyse volume sectors started"));
  EXPECT_EQ(status.ProgressPos.load(), status.ProgressTotal.load());

  // The store files them under their groups with the names it gives.
  FoundObjectStore store(&types);
  store.EnablePositionIndex();
  settings.SearchBlockSize = 0;
  CSearcher searcher(
      volume, status, [&](const FoundObject& object) { store.AddLostObject(object, nullptr); },
      &types, &settings);
  searcher.Run();
  const FoundObject* jpeg = store.FindByStart(3 * 512);
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(std::u16string(jpeg->Name), u"image_1536.JPG");
  EXPECT_EQ(jpeg->ParentId, GroupImages);
  EXPECT_EQ(jpeg->Flags & (FoundLost | FoundDeleted), FoundLost | FoundDeleted);
  EXPECT_EQ(jpeg->Size, 1048576 - 512 - 3 * 512);  // up to the next object found
  const FoundObject* zip = store.FindByStart(static_cast<int64_t>(volume.Bytes().size() - 512));
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(zip->ParentId, GroupArchives);
}

TEST_F(SearcherTest, NothingPastTheEndOfTheDriveOrItsLastWholeClusterIsTested) {
  // The bytes run on after the drive's length; a signature there is not on the drive.
  CarvingVolume volume(1048576 + 8192, 4096);
  volume.TotalBytes = 1048576 + 4096 + 1024;     // one whole cluster and a part after 1 MiB
  volume.Put(1048576 + 4096, kPngStart);         // in the partial cluster: not scanned
  volume.Put(1048576 + 4096 + 2048, kZipStart);  // past the end
  volume.Put(1048576 + 512, kJpegStart);         // second unit of cluster 256
  std::vector<FoundObject> objects;
  settings.SearchBlockSize = 0;
  CSearcher searcher(
      volume, status, [&](const FoundObject& object) { objects.push_back(object); }, &types,
      &settings);
  searcher.Run();
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].FileTypeId, kJpeg);
  EXPECT_EQ(objects[0].Start, 1048576 + 512);
  EXPECT_EQ(objects[0].FirstCluster, 256);
  EXPECT_EQ(status.ProgressTotal.load(), 257u);  // clusters

  // Positions are bytes and units 512 bytes, whatever the device's sector size.
  CarvingVolume fourK(1048576, 4096);
  fourK.BytesPerSector = 4096;
  fourK.SectorCount = 1048576 / 4096;
  fourK.Put(10 * 4096 + 512, kJpegStart);
  EXPECT_EQ(StartsOf(Scan(fourK), kJpeg), std::vector<int64_t>{41472});
}

TEST_F(SearcherTest, ListingsAreTheSameForAnyNumberOfWorkersAndAnyBlockSize) {
  CarvingVolume volume(24 * 1048576 + 3 * 512);
  std::mt19937 random(7);
  const size_t units = volume.Bytes().size() / 512;
  for (int i = 0; i < 300; ++i) {
    const size_t at = (random() % units) * 512;
    switch (random() % 3) {
      case 0:
        volume.Put(at, kJpegStart);
        break;
      case 1:
        volume.Put(at, kPngStart);
        break;
      default:
        volume.Put(at, kZipStart);
        break;
    }
  }
  const std::vector<Found> reference = Scan(volume, 1, 2097152);
  ASSERT_GE(reference.size(), 250u);
  for (int32_t threads : {2, 4})
    EXPECT_EQ(Scan(volume, threads, 2097152), reference) << threads << " workers";
  for (int32_t block : {65536, 16 * 1048576})
    EXPECT_EQ(Scan(volume, 2, block), reference) << block << "-byte blocks";
}

TEST_F(SearcherTest, AnUnreadableRunIsSkippedWithOneLineAndTheScanGoesOn) {
  CarvingVolume volume(6 * 1048576);
  volume.Put(512, kJpegStart);
  volume.failFirst = 2 * 2048 + 100;  // inside the third 1 MiB block and on into the fourth
  volume.failCount = 3000;
  volume.Put((volume.failFirst + 10) * 512, kPngStart);                // unreadable: never seen
  volume.Put((volume.failFirst + volume.failCount) * 512, kZipStart);  // just after the run
  volume.Put(5 * 1048576 + 512, kPngStart);
  const std::vector<Found> found = Scan(volume, 2, 1048576);
  EXPECT_EQ(StartsOf(found, kJpeg), std::vector<int64_t>{512});
  EXPECT_EQ(StartsOf(found, kPng), std::vector<int64_t>{5 * 1048576 + 512});
  EXPECT_EQ(
      StartsOf(found, kZip),
      std::vector<int64_t>{static_cast<int64_t>((volume.failFirst + volume.failCount) * 512)});
  EXPECT_EQ(unreadable, volume.failCount);
  // One line for the run, though it spans two blocks, and a total at the end.
  EXPECT_TRUE(log.Contains(u"sectors 4196 to 7195 cannot be read"));
  EXPECT_TRUE(log.Contains(u"3000 sector(s) of the drive could not be read"));
  EXPECT_EQ(status.ProgressPos.load(), status.ProgressTotal.load());
}

TEST_F(SearcherTest, AStopEndsTheScanPromptlyAndKeepsWhatWasFound) {
  CarvingVolume volume(64 * 1048576);
  for (size_t at = 0; at < volume.Bytes().size(); at += 65536) volume.Put(at, kJpegStart);
  volume.readDelay = 30ms;
  settings.SearchThreads = 3;
  settings.SearchBlockSize = 1048576;
  std::atomic<int> handedOver{0};
  CSearcher searcher(
      volume, status, [&](const FoundObject&) { ++handedOver; }, &types, &settings);
  std::thread scan([&] { searcher.Run(); });
  while (handedOver < 20) std::this_thread::sleep_for(1ms);
  const auto stopped = std::chrono::steady_clock::now();
  status.Running = 0;
  scan.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1000ms);
  EXPECT_GE(searcher.ObjectsHandedOver(), 20u);
  EXPECT_EQ(searcher.ObjectsHandedOver(), static_cast<uint64_t>(handedOver.load()));
  EXPECT_LT(handedOver.load(), 1024);
}

TEST_F(SearcherTest, DamagedSettingsAreRepaired) {
  CarvingVolume volume(1048576, 4096);
  volume.Put(4096 * 3, kPngStart);
  // No worker would wait for ever; more than 64 have no event slot.
  EXPECT_EQ(StartsOf(Scan(volume, 0, 0), kPng), std::vector<int64_t>{4096 * 3});
  EXPECT_EQ(workers, 1u);
  EXPECT_EQ(settings.SearchBlockSize, 2097152);  // 0 is written back
  Scan(volume, 1000, 8192);
  EXPECT_EQ(workers, 64u);
  // Blocks smaller than a cluster, or not a whole number of them, are rounded.
  for (int32_t block : {100, 4096 + 512, -5, 0x7FFFFFFF})
    EXPECT_EQ(StartsOf(Scan(volume, 1, block), kPng), std::vector<int64_t>{4096 * 3}) << block;
  EXPECT_TRUE(log.Contains(u"block size 100 is not a whole number"));
}

TEST_F(SearcherTest, TypesWhoseIdDoesNotFitAFoundObjectAreSkipped) {
  // 65537 would be cut to 1, the FAT12 boot sector.
  FileType wide;
  wide.TypeId = 65537;
  wide.GroupId = GroupArchives;
  wide.Signatures.push_back(
      Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 0, {'W', 'I', 'D', 'E'})}});
  // The database refuses such a type already; the scan would skip it all the same.
  EXPECT_EQ(types.AddType(std::move(wide)), nullptr);
  CarvingVolume volume(65536);
  const uint8_t mark[] = {'W', 'I', 'D', 'E'};
  volume.Put(1024, mark);
  EXPECT_TRUE(Scan(volume).empty());
}

}  // namespace
