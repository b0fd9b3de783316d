// Reading found FAT objects' data: live files along their chain, deleted files on from their
// first cluster, lost objects from their position.
#include <gtest/gtest.h>

#include "filesystems/fat_analyser.h"
#include "filesystems/fat_test_support.h"
#include "volumes/volume_test_support.h"

#include <cstring>

using namespace fat_testing;

namespace {

class FatFileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every data cluster tells its number in its first four bytes.
    for (uint32_t cluster = 2; cluster < 200; ++cluster)
      image_.Stamp(cluster, static_cast<uint8_t>(cluster));
    image_.Chain({100, 101, 105, 106, 103});
    image_.SetNext(120, 121);
    image_.SetNext(121, 120);
    volume_ = std::make_unique<MemoryVolume>(image_.Bytes(), image_.TypeCode());
    fat_ = std::make_unique<CFileSystem_FAT>(*volume_, nullptr, nullptr);
  }

  FoundObject Object(int32_t id, uint16_t flags = 0) {
    FoundObject record;
    ResetFoundObject(record);
    record.Id = id;
    record.FirstCluster = id;
    record.Flags = flags | FoundNamed;
    return record;
  }
  // The cluster numbers that the read bytes came from, one per 512 bytes.
  std::vector<uint32_t> ClustersOf(const FoundObject& record, uint64_t offset, uint32_t count) {
    std::vector<uint8_t> buffer(count);
    const uint32_t read = fat_->FileRead(record, buffer.data(), offset, count);
    std::vector<uint32_t> clusters;
    for (uint32_t at = 0; at + 4 <= read; at += 512)
      clusters.push_back(volume_testing::SectorNumberAt(&buffer[at]));
    return clusters;
  }
  const uint8_t* ClusterBytes(uint32_t cluster) {
    return &image_.Bytes()[image_.ClusterOffset(cluster)];
  }

  FatImageBuilder image_{FatWidth::Fat16};
  std::unique_ptr<MemoryVolume> volume_;
  std::unique_ptr<CFileSystem_FAT> fat_;
};

}  // namespace

TEST_F(FatFileRead, LiveFilesFollowTheirChainAndGoOnPastItsEnd) {
  EXPECT_EQ(ClustersOf(Object(100), 0, 7 * 512),
            (std::vector<uint32_t>{100, 101, 105, 106, 103, 104, 105}));
  EXPECT_EQ(ClustersOf(Object(100), 3 * 512, 1024), (std::vector<uint32_t>{106, 103}));
  // A chain that loops is read once round, then on from its last cluster.
  EXPECT_EQ(ClustersOf(Object(120), 0, 3 * 512), (std::vector<uint32_t>{120, 121, 122}));
  // A deleted file's chain is gone: its data runs on from the first cluster.
  EXPECT_EQ(ClustersOf(Object(100, FoundDeleted), 0, 3 * 512),
            (std::vector<uint32_t>{100, 101, 102}));
}

TEST_F(FatFileRead, OffsetsAndCountsNeedNotBeWholeSectors) {
  std::vector<uint8_t> buffer(1000, 0xEE);
  // 700 bytes into the file: 324 bytes of cluster 101, then 676 of cluster 105.
  ASSERT_EQ(fat_->FileRead(Object(100), buffer.data(), 700, 1000), 1000u);
  EXPECT_EQ(0, std::memcmp(buffer.data(), ClusterBytes(101) + 188, 324));
  EXPECT_EQ(0, std::memcmp(buffer.data() + 324, ClusterBytes(105), 676));
  std::vector<uint8_t> exact(3);
  EXPECT_EQ(fat_->FileRead(Object(100), exact.data(), 5, 3), 3u);
  EXPECT_EQ(0, std::memcmp(exact.data(), ClusterBytes(100) + 5, 3));
  EXPECT_EQ(fat_->FileRead(Object(100), buffer.data(), 0, 0), 0u);

  FoundObject lost = Object(0, FoundLost | FoundDeleted);
  lost.Start = static_cast<int64_t>(image_.ClusterOffset(150)) + 10;
  ASSERT_EQ(fat_->FileRead(lost, buffer.data(), 2, 20), 20u);
  EXPECT_EQ(0, std::memcmp(buffer.data(), ClusterBytes(150) + 12, 20));
}

TEST_F(FatFileRead, ObjectsWithoutReadableDataGiveNothingWithALogLine) {
  volume_testing::LogCapture log;
  std::vector<uint8_t> buffer(4096);
  EXPECT_EQ(fat_->FileRead(Object(0), buffer.data(), 0, 512), 0u);
  EXPECT_EQ(fat_->FileRead(Object(-18), buffer.data(), 0, 512), 0u);
  EXPECT_EQ(fat_->FileRead(Object(5000), buffer.data(), 0, 512), 0u);
  EXPECT_TRUE(log.Contains(u"object 5000 has no data cluster"));
  // The last cluster of the volume reads; what lies past the volume's end does not.
  EXPECT_EQ(fat_->FileRead(Object(201, FoundDeleted), buffer.data(), 0, 4096), 0u);
  EXPECT_EQ(fat_->FileRead(Object(201, FoundDeleted), buffer.data(), 0, 512), 512u);
  EXPECT_EQ(fat_->FileRead(Object(201, FoundDeleted), buffer.data(), UINT64_MAX - 10, 512), 0u);
  FoundObject lost = Object(0, FoundLost);
  lost.Start = -1;
  EXPECT_EQ(fat_->FileRead(lost, buffer.data(), 0, 512), 0u);
}
