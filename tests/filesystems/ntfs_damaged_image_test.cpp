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
#include "volumes/analysis_status.h"
#include "volumes/volume_test_support.h"

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

  void Analyse(AnalysisStatus* status = nullptr) {
    ntfs_.reset();  // an analyser closes its volume when it goes
    volume_ = std::make_unique<MemoryVolume>(bytes_, FsTypeNtfs);
    ntfs_ = std::make_unique<CFileSystem_NTFS>(*volume_, status, &sink_);
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

// top.dat's record gets a non-resident attribute list, kept in top.dat's own clusters, whose
// entries each name another extension record: only so many are read, and a stop ends the walk.
TEST_F(DamagedNtfsImage, AnAttributeListNamingThousandsOfRecordsIsCappedAndStoppable) {
  AnalysisStatus status;
  status.Running = 1;
  Analyse(&status);
  const fat_testing::Reported* top = sink_.Find(u"top.dat");
  ASSERT_NE(top, nullptr);
  const uint64_t number = static_cast<uint64_t>(top->record.Id);
  const size_t at = static_cast<size_t>(mftOffset_ + number * kRecordSize);
  std::vector<uint8_t> raw(kRecordSize);
  ASSERT_EQ(ntfs_->ReadMftRecord(number, raw), kRecordSize);
  MftRecord parsed(kRecordSize, ntfs_->Layout()->ClusterCount);
  ASSERT_TRUE(parsed.Load(raw));
  ASSERT_FALSE(parsed.Runs().empty());
  const DataRun run = parsed.Runs().front();
  const uint64_t listBytes = run.Length * 4096;
  const uint64_t entries = listBytes / 32;
  ASSERT_GT(entries, CFileSystem_NTFS::kMaxExtensionRecords);
  ASSERT_LT(run.Length, 0x8000u);
  ASSERT_LT(run.Lcn, 0x800000);

  // The entries: unnamed $DATA pieces in records 1000, 1001, ... (past the MFT's end).
  const size_t list = static_cast<size_t>(run.Lcn) * 4096;
  for (uint64_t n = 0; n < entries; ++n) {
    const size_t entry = list + static_cast<size_t>(n) * 32;
    std::fill(bytes_.begin() + entry, bytes_.begin() + entry + 32, 0);
    Put(entry, kAttrData, 4);
    Put(entry + 4, 32, 2);
    Put(entry + 7, 26, 1);
    Put(entry + 16, 1000 + n, 6);
  }
  // The list attribute goes first; the record's other attributes move up behind it.
  constexpr size_t kListAttribute = 72;
  const size_t first = at + Get(at + 20, 2);
  const size_t used = Get(at + 24, 4);
  ASSERT_LE(used + kListAttribute, 510u) << "the record's first sector must hold it";
  std::copy_backward(bytes_.begin() + first, bytes_.begin() + at + used,
                     bytes_.begin() + at + used + kListAttribute);
  std::fill(bytes_.begin() + first, bytes_.begin() + first + kListAttribute, 0);
  Put(first, kAttrAttributeList, 4);
  Put(first + 4, kListAttribute, 4);
  Put(first + 8, 1, 1);  // non-resident
  Put(first + 24, run.Length - 1, 8);
  Put(first + 32, 64, 2);
  Put(first + 40, listBytes, 8);
  Put(first + 48, listBytes, 8);
  Put(first + 56, listBytes, 8);
  Put(first + 64, 0x32, 1);  // two length bytes, three cluster bytes
  Put(first + 65, run.Length, 2);
  Put(first + 67, static_cast<uint64_t>(run.Lcn), 3);
  Put(at + 24, used + kListAttribute, 4);

  Analyse(&status);
  const std::span<const uint8_t> record(bytes_.data() + at, kRecordSize);
  raw.assign(record.begin(), record.end());
  MftRecord listed(kRecordSize, ntfs_->Layout()->ClusterCount);
  ASSERT_TRUE(listed.Load(raw));
  ASSERT_TRUE(listed.HasAttributeList());
  {
    volume_testing::LogCapture log;
    ntfs_->LoadAttributeList(listed, number);
    EXPECT_TRUE(log.Contains(u"names more than 8192 extension records"));
    // One line per record tried, and the line that says the rest are not read.
    EXPECT_EQ(log.LineCount(), CFileSystem_NTFS::kMaxExtensionRecords + 1);
  }
  {
    volume_testing::LogCapture log;
    status.Running = 0;
    ntfs_->LoadAttributeList(listed, number, CFileSystem_NTFS::ListLoad::Stoppable);
    EXPECT_EQ(log.LineCount(), 0u);
  }
}
