// The NTFS analyser on an image made by mkntfs and ntfs-3g (tests/fixtures/ntfs_images.sh) with
// fields damaged in memory: a boot sector that counts more sectors than the volume holds, an MFT
// whose runs claim more records than fit on the volume, and a file whose initialized size is
// below its size, read past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "filesystems/fat_test_support.h"
#include "filesystems/ntfs_analyser.h"
#include "support/test_support.h"

using fat_testing::CollectingSink;
using fat_testing::MemoryVolume;

namespace {

constexpr uint32_t kRecordSize = 1024;  // mkntfs's default, as in the fixture

class DamagedNtfsImage : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::u16string path = testing_support::FixturePath("ntfs/basic.img");
    if (path.empty()) GTEST_SKIP() << "no ntfs/basic fixture (tests/fixtures/ntfs_images.sh)";
    bytes_ = testing_support::ReadWholeFile(path);
    ASSERT_GT(bytes_.size(), 1024u * 1024u);
    mftOffset_ = Get(48, 8) * Get(11, 2) * bytes_[13];
  }

  uint64_t Get(size_t at, size_t size) const {
    uint64_t value = 0;
    for (size_t n = size; n-- > 0;) value = value << 8 | bytes_[at + n];
    return value;
  }
  void Put(size_t at, uint64_t value, size_t size) {
    for (size_t n = 0; n < size; ++n) bytes_[at + n] = static_cast<uint8_t>(value >> (8 * n));
  }

  // Where in the image the attribute of one of the MFT's first records starts.
  size_t AttributeAt(uint64_t record, uint32_t type) const {
    const size_t at = static_cast<size_t>(mftOffset_ + record * kRecordSize);
    MftRecord parsed(kRecordSize);
    if (!parsed.Load(std::span<const uint8_t>(bytes_).subspan(at, kRecordSize))) return 0;
    const MftRecord::Attribute* attribute = parsed.FindAttribute(type);
    return attribute ? at + attribute->Offset : 0;
  }

  void Analyse() {
    volume_ = std::make_unique<MemoryVolume>(bytes_, FsTypeNtfs);
    ntfs_ = std::make_unique<CFileSystem_NTFS>(*volume_, nullptr, &sink_);
    ntfs_->Analyse();
    ASSERT_TRUE(ntfs_->Layout());
  }

  std::vector<uint8_t> bytes_;
  uint64_t mftOffset_ = 0;
  std::unique_ptr<MemoryVolume> volume_;
  CollectingSink sink_;
  std::unique_ptr<CFileSystem_NTFS> ntfs_;
};

}  // namespace

// The cluster bitmap and the run checks are sized from the cluster count; the volume bounds it.
TEST_F(DamagedNtfsImage, ABootSectorCountingMoreSectorsThanTheVolumeIsBoundByIt) {
  Put(40, uint64_t{1} << 40, 8);
  Analyse();
  const uint64_t clusters = bytes_.size() / 4096;
  EXPECT_EQ(ntfs_->Layout()->ClusterCount, clusters);
  EXPECT_LE(volume_->ClusterBitmap.BitCount(), clusters + 64);
  EXPECT_NE(sink_.Find(u"top.dat"), nullptr);
}

// A sparse run of 16 M clusters appended to the MFT's own run list, and a data size to match:
// the walk stops at what the volume can hold instead of reading 64 GiB of zeros.
TEST_F(DamagedNtfsImage, AnMftClaimingMoreRecordsThanTheVolumeHoldsIsWalkedToTheVolumeEnd) {
  const size_t data = AttributeAt(0, kAttrData);
  ASSERT_NE(data, 0u);
  size_t run = data + Get(data + 32, 2);
  while (bytes_[run] != 0) run += 1 + (bytes_[run] & 0x0F) + (bytes_[run] >> 4);
  ASSERT_LE(run + 5, data + Get(data + 4, 4)) << "no room for one more run";
  Put(run, 0xFFFFFF03, 4);  // length of 3 bytes, no cluster: sparse
  Put(run + 4, 0, 1);
  Put(data + 24, Get(data + 24, 8) + 0xFFFFFF, 8);  // last VCN
  Put(data + 48, uint64_t{1} << 36, 8);
  Analyse();
  EXPECT_LE(ntfs_->RecordCount(), bytes_.size() / kRecordSize);
  EXPECT_NE(sink_.Find(u"top.dat"), nullptr);
}

// Bytes between the initialized size and the size read as zeros; a read past the size writes
// nothing beyond what it returns.
TEST_F(DamagedNtfsImage, ReadsOfAPartlyInitializedFileStayInTheBuffer) {
  Analyse();
  const fat_testing::Reported* top = sink_.Find(u"top.dat");
  ASSERT_NE(top, nullptr);
  std::vector<uint8_t> raw(kRecordSize);
  ASSERT_EQ(ntfs_->ReadMftRecord(static_cast<uint64_t>(top->record.Id), raw), kRecordSize);
  MftRecord record(kRecordSize, ntfs_->Layout()->ClusterCount);
  ASSERT_TRUE(record.Load(raw));
  const MftRecord::Attribute* data = record.FindAttribute(kAttrData);
  ASSERT_TRUE(data && data->NonResident);
  const uint64_t initialized = 100000;
  for (size_t n = 0; n < 8; ++n)
    raw[data->Offset + 56 + n] = static_cast<uint8_t>(initialized >> (8 * n));
  ASSERT_TRUE(record.Load(raw));
  ASSERT_EQ(record.InitializedSize(), initialized);

  std::vector<uint8_t> buffer(3000 + 64, 0xAB);
  ASSERT_EQ(ntfs_->ReadData(record, initialized - 1000, 3000, buffer.data()), 3000u);
  EXPECT_NE(buffer[999], 0) << "written bytes are read";
  EXPECT_EQ(std::count(buffer.begin() + 1000, buffer.begin() + 3000, 0), 2000);

  std::fill(buffer.begin(), buffer.end(), 0xAB);
  EXPECT_LE(ntfs_->ReadData(record, record.DataSize() + 70000, 3000, buffer.data()), 3000u);
  EXPECT_EQ(std::count(buffer.begin() + 3000, buffer.end(), 0xAB), 64);
}
