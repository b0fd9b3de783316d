// Compression units of an NTFS attribute over crafted run lists, read through a stand-in for the
// volume: which units are stored, compressed or sparse, reads that start inside a unit or span
// several, a decoded unit kept for the next read, and a damaged unit ending the read there.
#include "filesystems/ntfs_compressed_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint64_t kCluster = 512;
constexpr uint64_t kUnitClusters = 4;
constexpr uint64_t kUnit = kCluster * kUnitClusters;

DataRun MakeRun(uint64_t firstVcn, uint64_t length, bool sparse) {
  DataRun run;
  run.Lcn = sparse ? 0 : static_cast<int64_t>(firstVcn);
  run.Length = length;
  run.Sparse = sparse ? 1 : 0;
  run.FirstVcn = firstVcn;
  run.LastVcn = firstVcn + length - 1;
  return run;
}

// The attribute's clusters as stored, by VCN; reads are counted.
struct StoredClusters {
  std::vector<uint8_t> bytes;
  int reads = 0;
  NtfsCompressedData::StoredReader Reader() {
    return [this](uint64_t offset, uint32_t count, uint8_t* to) -> uint32_t {
      ++reads;
      if (offset >= bytes.size()) return 0;
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, bytes.size() - offset));
      std::memcpy(to, bytes.data() + offset, n);
      return n;
    };
  }
};

// One chunk of literals (flag bytes of 0), decoding to text.
std::vector<uint8_t> LiteralChunk(const std::string& text) {
  std::vector<uint8_t> data;
  for (size_t n = 0; n < text.size(); ++n) {
    if (n % 8 == 0) data.push_back(0);
    data.push_back(static_cast<uint8_t>(text[n]));
  }
  const uint16_t header = static_cast<uint16_t>(0xB000 | (data.size() - 1));
  std::vector<uint8_t> chunk{static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8)};
  chunk.insert(chunk.end(), data.begin(), data.end());
  return chunk;
}

class CompressedUnits : public ::testing::Test {
 protected:
  // Unit 0 stored (4 clusters), unit 1 compressed (1 cluster and 3 sparse), unit 2 sparse.
  void SetUp() override {
    stored_.bytes.assign(2 * kUnit, 0);
    for (uint64_t n = 0; n < kUnit; ++n) stored_.bytes[n] = static_cast<uint8_t>(n % 251);
    text_ = "compressed unit one";
    const std::vector<uint8_t> chunk = LiteralChunk(text_);
    std::copy(chunk.begin(), chunk.end(), stored_.bytes.begin() + kUnit);
    runs_ = {MakeRun(0, 5, false), MakeRun(5, 3, true), MakeRun(8, 4, true)};
  }
  uint32_t Read(uint64_t offset, uint32_t count, std::vector<uint8_t>& out) {
    out.assign(count, 0xEE);
    return units_.Read(runs_, {kCluster, kUnitClusters}, offset, count, out.data(),
                       stored_.Reader());
  }

  StoredClusters stored_;
  std::string text_;
  std::vector<DataRun> runs_;
  NtfsCompressedData units_;
};

}  // namespace

TEST_F(CompressedUnits, StoredCompressedAndSparseUnitsReadAsTheFile) {
  std::vector<uint8_t> out;
  ASSERT_EQ(Read(0, 3 * kUnit, out), 3 * kUnit);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + kUnit, stored_.bytes.begin()));
  EXPECT_EQ(std::string(out.begin() + kUnit, out.begin() + kUnit + text_.size()), text_);
  EXPECT_EQ(std::count(out.begin() + kUnit + text_.size(), out.end(), 0),
            static_cast<ptrdiff_t>(2 * kUnit - text_.size()));
  // Past the last run the data ends.
  EXPECT_EQ(Read(3 * kUnit, 100, out), 0u);
  EXPECT_EQ(Read(3 * kUnit - 10, 100, out), 10u);
}

TEST_F(CompressedUnits, ReadsStartingInsideAUnitDecodeItOnce) {
  std::vector<uint8_t> out;
  ASSERT_EQ(Read(kUnit + 11, 5, out), 5u);
  EXPECT_EQ(std::string(out.begin(), out.end()), text_.substr(11, 5));
  const int readsAfterFirst = stored_.reads;
  ASSERT_EQ(Read(kUnit + 2, 3, out), 3u);
  EXPECT_EQ(std::string(out.begin(), out.end()), text_.substr(2, 3));
  EXPECT_EQ(stored_.reads, readsAfterFirst) << "the kept unit was read again";
  // Across the stored unit's end into the compressed one.
  ASSERT_EQ(Read(kUnit - 2, 6, out), 6u);
  EXPECT_EQ(out[0], stored_.bytes[kUnit - 2]);
  EXPECT_EQ(std::string(out.begin() + 2, out.end()), text_.substr(0, 4));
  // Forgetting the unit (another file) decodes it again.
  units_.Forget();
  ASSERT_EQ(Read(kUnit, 4, out), 4u);
  EXPECT_GT(stored_.reads, readsAfterFirst + 1);
}

// A unit whose chunk is damaged delivers what was decoded before the damage and ends the read;
// the next unit is not reached, so that the caller learns where the good bytes end.
TEST_F(CompressedUnits, DamagedUnitEndsTheReadAfterItsGoodBytes) {
  stored_.bytes[kUnit + 1] = 0x0F;  // header 0x0F.. with bit 15 clear: a stored chunk of 4096
  std::vector<uint8_t> out;
  EXPECT_EQ(Read(0, 3 * kUnit, out), kUnit);
  EXPECT_EQ(Read(kUnit + 5, 10, out), 0u);
  EXPECT_EQ(Read(2 * kUnit, 10, out), 10u) << "a later sparse unit still reads";
}

// Runs that map a unit in several pieces, and one that leaves the unit's end unmapped.
TEST_F(CompressedUnits, UnitsMappedInPiecesAreClassifiedByTheirStoredClusters) {
  runs_ = {MakeRun(0, 2, false), MakeRun(2, 2, false), MakeRun(4, 1, false), MakeRun(5, 1, true)};
  std::vector<uint8_t> out;
  ASSERT_EQ(Read(0, 2 * kUnit, out), 2 * kUnit);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + kUnit, stored_.bytes.begin()));
  EXPECT_EQ(std::string(out.begin() + kUnit, out.begin() + kUnit + text_.size()), text_);
}
