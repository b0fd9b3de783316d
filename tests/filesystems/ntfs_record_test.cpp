// MFT records, run lists and attribute lists built byte by byte: the update sequence over every
// 512 bytes, damaged headers, attributes and runs that point outside their bounds, and sparse
// runs and extension records in the data map.
#include <gtest/gtest.h>

#include <cstring>

#include "filesystems/ntfs_boot.h"
#include "filesystems/ntfs_record.h"
#include "filesystems/ntfs_runs.h"

namespace {

// A record of the given size: header, update sequence at 48, attributes from 56.
class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t size) : bytes_(size, 0) {
    std::memcpy(bytes_.data(), "FILE", 4);
    Put16(4, 48);
    Put16(6, static_cast<uint16_t>(size / 512 + 1));
    Put16(20, 56);
    Put16(22, 0x0001);
    Put32(28, size);
    end_ = 56;
    Put32(end_, 0xFFFFFFFF);
  }
  void Put16(size_t at, uint16_t v) { bytes_[at] = v & 0xFF; bytes_[at + 1] = v >> 8; }
  void Put32(size_t at, uint32_t v) { Put16(at, v & 0xFFFF); Put16(at + 2, v >> 16); }
  void Put64(size_t at, uint64_t v) { Put32(at, v & 0xFFFFFFFF); Put32(at + 4, v >> 32); }

  // A resident attribute with an unnamed value.
  size_t Resident(uint32_t type, const std::vector<uint8_t>& value) {
    const uint32_t length = static_cast<uint32_t>((24 + value.size() + 7) / 8 * 8);
    const size_t at = end_;
    Put32(at, type);
    Put32(at + 4, length);
    Put32(at + 16, static_cast<uint32_t>(value.size()));
    Put16(at + 20, 24);
    if (!value.empty()) std::memcpy(bytes_.data() + at + 24, value.data(), value.size());
    Close(length);
    return at;
  }
  size_t NonResident(uint32_t type, uint64_t size, const std::vector<uint8_t>& runs,
                     uint64_t lowestVcn = 0) {
    const uint32_t length = static_cast<uint32_t>((64 + runs.size() + 1 + 7) / 8 * 8);
    const size_t at = end_;
    Put32(at, type);
    Put32(at + 4, length);
    bytes_[at + 8] = 1;
    Put64(at + 16, lowestVcn);
    Put16(at + 32, 64);
    Put64(at + 48, size);
    Put64(at + 56, size);
    std::memcpy(bytes_.data() + at + 64, runs.data(), runs.size());
    Close(length);
    return at;
  }
  static std::vector<uint8_t> FileName(uint32_t parent, std::u16string name, uint8_t space) {
    std::vector<uint8_t> value(66 + 2 * name.size(), 0);
    std::memcpy(value.data(), &parent, 4);
    value[64] = static_cast<uint8_t>(name.size());
    value[65] = space;
    for (size_t n = 0; n < name.size(); ++n) {
      value[66 + 2 * n] = name[n] & 0xFF;
      value[67 + 2 * n] = name[n] >> 8;
    }
    return value;
  }
  // The record as written to disk: the last word of every 512 bytes moved into the array.
  std::vector<uint8_t> Disk(uint16_t sequence = 0x0007) const {
    std::vector<uint8_t> disk = bytes_;
    const size_t usa = 48;
    disk[usa] = sequence & 0xFF;
    disk[usa + 1] = sequence >> 8;
    for (size_t i = 1; i <= disk.size() / 512; ++i) {
      disk[usa + 2 * i] = disk[i * 512 - 2];
      disk[usa + 2 * i + 1] = disk[i * 512 - 1];
      disk[i * 512 - 2] = sequence & 0xFF;
      disk[i * 512 - 1] = sequence >> 8;
    }
    return disk;
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  void Close(uint32_t length) {
    end_ += length;
    Put32(end_, 0xFFFFFFFF);
    Put32(24, static_cast<uint32_t>(end_ + 8));
  }
  std::vector<uint8_t> bytes_;
  size_t end_;
};

std::vector<DataRun> Decode(std::vector<uint8_t> bytes, bool expectOk = true,
                            uint64_t clusters = 0) {
  std::vector<DataRun> runs;
  std::u16string problem;
  EXPECT_EQ(DecodeRunList(bytes, 0, clusters, runs, problem), expectOk);
  EXPECT_EQ(problem.empty(), expectOk);
  return runs;
}

}  // namespace

TEST(NtfsRunList, DecodesRelativeNegativeAndSparseRuns) {
  auto one = Decode({0x21, 0x18, 0x34, 0x56, 0x00});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Lcn, 0x5634);
  EXPECT_EQ(one[0].Length, 0x18u);

  auto three = Decode({0x11, 0x30, 0x20, 0x01, 0x60, 0x11, 0x10, 0xF0, 0x00});
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[1].Sparse, 1);
  EXPECT_EQ(three[1].FirstVcn, 0x30u);
  EXPECT_EQ(three[1].LastVcn, 0x8Fu);
  EXPECT_EQ(three[2].Lcn, 0x20 - 16) << "a sparse run does not move the cluster base";
  EXPECT_EQ(three[2].FirstVcn, 0x90u);
  EXPECT_TRUE(Decode({0x00}).empty());
  EXPECT_EQ(FindRun(three, 0x50), &three[1]);
  EXPECT_EQ(FindRun(three, 0xA0), nullptr);
}

TEST(NtfsRunList, RefusesDamagedRunsAndKeepsWhatCameBefore) {
  EXPECT_EQ(Decode({0x11, 0x04, 0x10, 0x9F, 0x01}, false).size(), 1u) << "9-byte length field";
  EXPECT_TRUE(Decode({0x31, 0x04, 0x10}, false).empty()) << "fields past the end";
  EXPECT_TRUE(Decode({0x11, 0x00, 0x10, 0x00}, false).empty()) << "length 0";
  EXPECT_TRUE(Decode({0x11, 0x04, 0xF0, 0x00}, false).empty()) << "before cluster 0";
  EXPECT_TRUE(Decode({0x21, 0x04, 0x00, 0x10, 0x00}, false, 0x1000).empty()) << "past the volume";
}

TEST(NtfsRunList, MergeKeepsVcnOrderAndDropsCoveredRuns) {
  std::vector<DataRun> runs = Decode({0x11, 0x10, 0x20, 0x00});
  std::vector<DataRun> later;
  std::u16string problem;
  ASSERT_TRUE(DecodeRunList(std::vector<uint8_t>{0x11, 0x08, 0x40, 0x00}, 0x10, 0, later, problem));
  MergeRuns(runs, later);
  MergeRuns(runs, later);
  MergeRuns(runs, Decode({0x11, 0x30, 0x70, 0x00}));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].FirstVcn, 0x10u);
  EXPECT_EQ(runs[1].Lcn, 0x40);
}

TEST(NtfsBoot, RecordSizeIsAPowerOfTwoFrom512To65536) {
  EXPECT_EQ(DecodeNtfsSize(0xF6, 4096), 1024u);
  EXPECT_EQ(DecodeNtfsSize(0xF4, 512), 4096u);
  EXPECT_EQ(DecodeNtfsSize(2, 4096), 8192u);
  EXPECT_TRUE(IsValidRecordSize(4096));
  EXPECT_FALSE(IsValidRecordSize(256));
  EXPECT_FALSE(IsValidRecordSize(3072));
  EXPECT_FALSE(IsValidRecordSize(131072));
}

TEST(NtfsRecord, FixupsRestoreTheLastWordOfEverySector) {
  for (uint32_t size : {1024u, 4096u}) {
    RecordBuilder builder(size);
    for (size_t i = 1; i <= size / 512; ++i) builder.Put16(i * 512 - 2, static_cast<uint16_t>(0x1100 + i));
    MftRecord record(size);
    ASSERT_TRUE(record.Load(builder.Disk())) << size;
    for (size_t i = 1; i <= size / 512; ++i)
      EXPECT_EQ(record.Raw()[i * 512 - 2], i) << size << " sector " << i;
  }
}

TEST(NtfsRecord, RefusesUnusableUpdateSequences) {
  RecordBuilder builder(1024);
  std::vector<uint8_t> disk = builder.Disk();
  MftRecord record(1024);
  disk[6] = 9;  // more entries than the record has sectors
  EXPECT_FALSE(record.Load(disk));
  disk = builder.Disk();
  disk[4] = 0xFE;
  disk[5] = 0x03;  // the array past the first sector
  EXPECT_FALSE(record.Load(disk));
  disk = builder.Disk();
  std::memcpy(disk.data(), "BAAD", 4);
  EXPECT_FALSE(record.Load(disk));
}

TEST(NtfsRecord, NamesPreferTheWindowsNameAndTakeItsParent) {
  RecordBuilder builder(1024);
  builder.Resident(kAttrFileName, RecordBuilder::FileName(40, u"LONGNA~1.TXT", 2));
  builder.Resident(kAttrFileName, RecordBuilder::FileName(41, u"long name.txt", 1));
  builder.Resident(kAttrData, std::vector<uint8_t>(300, 'x'));
  MftRecord record(1024);
  ASSERT_TRUE(record.Load(builder.Disk()));
  FoundObject object{};
  std::u16string name;
  ASSERT_TRUE(record.FillFoundObject(object, name));
  EXPECT_EQ(name, u"long name.txt");
  EXPECT_EQ(object.ParentId, 41);
  EXPECT_EQ(object.Size, 300);
  EXPECT_EQ(record.ResidentData().size(), 300u);
}

TEST(NtfsRecord, DamagedAttributesEndTheListWithoutLooping) {
  auto loaded = [](RecordBuilder& builder) {
    MftRecord record(1024);
    EXPECT_TRUE(record.Load(builder.Disk()));
    EXPECT_FALSE(record.Problem().empty());
    return record.Attributes().size();
  };
  RecordBuilder zero(1024);
  zero.Resident(kAttrFileName, RecordBuilder::FileName(5, u"a", 1));
  const size_t second = zero.Resident(kAttrData, {1, 2, 3});
  zero.Put32(second + 4, 0);  // length 0
  EXPECT_EQ(loaded(zero), 1u);

  RecordBuilder past(1024);
  const size_t at = past.Resident(kAttrData, {1, 2, 3});
  past.Put32(at + 4, 4000);
  EXPECT_EQ(loaded(past), 0u);

  RecordBuilder name(1024);
  const size_t named = name.Resident(kAttrData, {1, 2, 3});
  name.Bytes()[named + 9] = 200;  // a name longer than the attribute
  name.Put16(named + 10, 24);
  EXPECT_EQ(loaded(name), 0u);

  RecordBuilder value(1024);
  const size_t big = value.Resident(kAttrData, {1, 2, 3});
  value.Put32(big + 16, 5000);  // a value past the attribute
  MftRecord record(1024);
  ASSERT_TRUE(record.Load(value.Disk()));
  EXPECT_FALSE(record.HasData());
}

// An empty value whose offset lies past its attribute, and past the record: refused, and the
// data read from it stays inside the record.
TEST(NtfsRecord, ResidentValueOffsetPastItsAttributeIsRefused) {
  for (const uint16_t offset : {uint16_t{40}, uint16_t{0xFFF0}}) {
    RecordBuilder builder(1024);
    const size_t at = builder.Resident(kAttrData, {});
    builder.Put16(at + 20, offset);
    MftRecord record(1024);
    ASSERT_TRUE(record.Load(builder.Disk()));
    EXPECT_FALSE(record.HasData()) << offset;
    EXPECT_NE(record.Problem().find(u"runs past its attribute"), std::u16string::npos);
    EXPECT_TRUE(record.ResidentData().empty());
  }
}

TEST(NtfsRecord, ExtensionRunsAndNamesJoinTheBaseRecord) {
  RecordBuilder base(1024);
  base.NonResident(kAttrData, 0x18 * 4096, {0x11, 0x10, 0x20, 0x00});
  RecordBuilder extension(1024);
  extension.Put64(32, 12);  // base record 12
  extension.Resident(kAttrFileName, RecordBuilder::FileName(5, u"joined", 1));
  extension.NonResident(kAttrData, 0, {0x11, 0x08, 0x40, 0x00}, 0x10);
  MftRecord record(1024), ext(1024);
  ASSERT_TRUE(record.Load(base.Disk()));
  ASSERT_TRUE(ext.Load(extension.Disk()));
  EXPECT_EQ(ext.BaseRecord(), 12u);
  record.MergeExtension(ext);
  record.MergeExtension(ext);
  ASSERT_EQ(record.Runs().size(), 2u);
  EXPECT_EQ(record.Runs()[1].FirstVcn, 0x10u);
  EXPECT_EQ(record.DataSize(), 0x18u * 4096) << "sizes come from the first piece";
  FoundObject object{};
  std::u16string name;
  ASSERT_TRUE(record.FillFoundObject(object, name));
  EXPECT_EQ(name, u"joined");
}

TEST(NtfsRecord, AttributeListEntriesStopAtDamage) {
  std::vector<uint8_t> list(64, 0);
  list[0] = 0x80;
  list[4] = 32;
  list[16] = 12;
  list[32] = 0x80;
  list[36] = 0;  // length 0
  std::u16string problem;
  const auto entries = ParseAttributeList(list, problem);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].RecordNumber, 12u);
  EXPECT_FALSE(problem.empty());
}
