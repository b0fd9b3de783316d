// The cluster bitmap: sizes, bounds, fills, searches and the text form.
#include <gtest/gtest.h>

#include <vector>

#include "volumes/bit_array.h"

namespace {

TEST(BitArray, CountsRoundUpToWholeBytesAndBitsBeyondThemDoNotExist) {
  for (int fill : {0, 1}) {
    CBitArray bits(13, fill);
    EXPECT_EQ(bits.ByteCount(), 2u);
    EXPECT_EQ(bits.BitCount(), 16u);
    EXPECT_TRUE(bits.OwnsData());
    EXPECT_EQ(bits.Get(15), fill);
    EXPECT_EQ(bits.Get(16), 0);
    EXPECT_EQ(bits.Set(16, 1 - fill), 0);
    EXPECT_EQ(bits.Get(16), 0);
    EXPECT_EQ(bits.Get(UINT64_MAX), 0);
    EXPECT_EQ(bits.Set(UINT64_MAX, 1), 0);
  }
}

TEST(BitArray, EmptyArraysAnswerNothing) {
  CBitArray empty;
  EXPECT_EQ(empty.Data(), nullptr);
  EXPECT_EQ(empty.Get(0), 0);
  EXPECT_EQ(empty.Set(0, 1), 0);
  EXPECT_EQ(empty.Find(0, 0), -1);
  EXPECT_TRUE(empty.ToString().empty());
  EXPECT_FALSE(empty.Create(nullptr, 0, 1));
  EXPECT_FALSE(empty.Create(nullptr, CBitArray::kMaxBitCount + 1, 0));
  EXPECT_EQ(empty.ByteCount(), 0u);
}

TEST(BitArray, ExternalBuffersAreFilledButNotOwned) {
  std::vector<uint8_t> buffer(4, 0x5A);
  {
    CBitArray bits(buffer.data(), 20, 1);
    EXPECT_FALSE(bits.OwnsData());
    EXPECT_EQ(bits.ByteCount(), 3u);
    EXPECT_EQ(bits.Set(3, 0), 1);
    // A new size on a fresh buffer of the array's own.
    EXPECT_TRUE(bits.Reset(9, 0));
    EXPECT_TRUE(bits.OwnsData());
    EXPECT_EQ(bits.ByteCount(), 2u);
  }
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0xF7, 0xFF, 0xFF, 0x5A}))
      << "bit 3 is byte 0 mask 0x08; byte 3 untouched";
}

TEST(BitArray, SetClearAndFillUseLeastSignificantBitFirst) {
  CBitArray bits(24, 0);
  bits.Set(0, 1);
  bits.Set(9, 5);
  bits.Set(23, 1);
  EXPECT_EQ(bits.Data()[0], 0x01);
  EXPECT_EQ(bits.Data()[1], 0x02);
  EXPECT_EQ(bits.Data()[2], 0x80);
  bits.Set(9, 0);
  EXPECT_EQ(bits.Get(9), 0);
  bits.Fill(1);
  EXPECT_EQ(bits.Find(0, 0), -1);
  bits.Fill(0);
  EXPECT_EQ(bits.Find(0, 1), -1);
}

TEST(BitArray, FindStopsAtTheEndAndHonoursTheStart) {
  CBitArray zeros(64, 0);
  EXPECT_EQ(zeros.Find(5, 1), -1);
  CBitArray sixteen(16, 0);
  EXPECT_EQ(sixteen.Find(17, 0), -1);
  EXPECT_EQ(sixteen.Find(16, 0), -1);
  EXPECT_EQ(sixteen.Find(15, 0), 15);
  CBitArray ones(16, 1);
  EXPECT_EQ(ones.Find(0, 0), -1) << "the padding of the last word is no clear bit";
  ones.Set(3, 0);
  EXPECT_EQ(ones.Find(0, 0), 3);
  EXPECT_EQ(ones.Find(3, 0), 3);
  EXPECT_EQ(ones.Find(4, 0), -1);
}

TEST(BitArray, FindCrossesWordBoundariesInBothValues) {
  // 200 bits: not a whole number of 64-bit words.
  CBitArray bits(200, 0);
  for (uint64_t bit : {63u, 64u, 127u, 130u, 199u}) bits.Set(bit, 1);
  std::vector<int64_t> found;
  for (int64_t at = bits.Find(0, 1); at >= 0; at = bits.Find(static_cast<uint64_t>(at) + 1, 1))
    found.push_back(at);
  EXPECT_EQ(found, (std::vector<int64_t>{63, 64, 127, 130, 199}));

  bits.Fill(1);
  bits.Set(65, 0);
  bits.Set(192, 0);
  EXPECT_EQ(bits.Find(1, 0), 65);
  EXPECT_EQ(bits.Find(66, 0), 192);
  EXPECT_EQ(bits.Find(193, 0), -1);
}

TEST(BitArray, HoldsAndSearchesMoreThan2To32Clusters) {
  const uint64_t count = (uint64_t{1} << 32) + 16;
  CBitArray bits;
  ASSERT_TRUE(bits.Reset(count, 0));
  EXPECT_EQ(bits.BitCount(), count);
  const uint64_t far = (uint64_t{1} << 32) + 3;
  EXPECT_EQ(bits.Set(far, 1), 1);
  EXPECT_EQ(bits.Find(0, 1), static_cast<int64_t>(far));
  EXPECT_EQ(bits.Get(far & 0xFFFFFFFF), 0) << "no wrap-around at 32 bits";
  bits.Fill(1);
  bits.Set(count - 1, 0);
  EXPECT_EQ(bits.Find(12345, 0), static_cast<int64_t>(count - 1));
}

TEST(BitArray, TextShowsEveryBitOfTheRoundedCount) {
  CBitArray bits(10, 0);
  bits.Set(0, 1);
  bits.Set(9, 1);
  EXPECT_EQ(bits.ToString(), u"1000000001000000");
}

}  // namespace
