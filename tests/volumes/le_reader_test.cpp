// The little-endian reader that every on-disk structure is parsed with: fields at fixed
// offsets, fields one after another, and the sticky error flag both set.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "volumes/le_reader.h"

namespace {

constexpr std::array<uint8_t, 10> kBytes = {0x01, 0x02, 0x03, 0x04, 0x05,
                                            0x06, 0x07, 0x08, 0xFE, 0xFF};

TEST(LeReader, FixedOffsetFieldsAreLittleEndianAndAFieldPastTheEndReadsZero) {
  LeReader fields(kBytes);
  EXPECT_EQ(fields.U8(9), 0xFFu);
  EXPECT_EQ(fields.U16(8), 0xFFFEu);
  EXPECT_EQ(fields.U32(1), 0x05040302u);
  EXPECT_EQ(fields.U64(0), 0x0807060504030201u);
  EXPECT_FALSE(fields.Failed());
  // A field that starts inside but ends outside is refused whole, not read in part.
  EXPECT_EQ(fields.U32(8), 0u);
  EXPECT_TRUE(fields.Failed());
  // The flag stays, while later fields that fit still read.
  EXPECT_EQ(fields.U16(0), 0x0201u);
  EXPECT_TRUE(fields.Failed());
  EXPECT_EQ(LeReader(kBytes).U64(SIZE_MAX - 2), 0u);
  EXPECT_TRUE(LeReader(kBytes).Bytes(SIZE_MAX, 2).empty());
}

TEST(LeReader, SequentialFieldsAdvanceThePositionWithoutMovingFixedOffsets) {
  LeReader record(kBytes);
  EXPECT_EQ(record.ReadU16(), 0x0201u);
  EXPECT_EQ(record.U8(0), 0x01u);
  EXPECT_EQ(record.ReadU32(), 0x06050403u);
  EXPECT_EQ(record.Position(), 6u);
  EXPECT_EQ(record.Remaining(), 4u);
  std::array<uint8_t, 2> copied{};
  record.ReadInto(copied.data(), copied.size());
  EXPECT_EQ(copied, (std::array<uint8_t, 2>{0x07, 0x08}));
  EXPECT_EQ(record.ReadI32(), 0);  // only two bytes are left
  EXPECT_TRUE(record.Failed());
  EXPECT_EQ(record.Position(), 8u);
}

TEST(LeReader, OnceASequentialReadFailsLaterOnesYieldNothing) {
  LeReader record(kBytes);
  EXPECT_TRUE(record.Take(11).empty());
  EXPECT_TRUE(record.Failed());
  // Bytes that are there are not read from a position that may be misaligned.
  EXPECT_EQ(record.ReadU16(), 0u);
  std::array<uint8_t, 2> untouched = {0xAA, 0xBB};
  record.ReadInto(untouched.data(), untouched.size());
  EXPECT_EQ(untouched, (std::array<uint8_t, 2>{0xAA, 0xBB}));
  EXPECT_EQ(record.Position(), 0u);
}

TEST(LeReader, ANestedReaderOverTakenBytesEndsWhereTheyEnd) {
  LeReader record(kBytes);
  record.ReadU16();
  LeReader body(record.Take(4));
  EXPECT_EQ(body.ReadI32(), 0x06050403);
  EXPECT_EQ(body.Remaining(), 0u);
  EXPECT_EQ(body.ReadU16(), 0u);
  EXPECT_TRUE(body.Failed());
  EXPECT_FALSE(record.Failed());
  EXPECT_EQ(record.ReadU32(), 0xFFFE0807u);
}

}  // namespace
