// Condition kinds at their edges. Candidates live in heap buffers of exactly the readable size,
// so that a read past them is caught by the address sanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "signatures/file_type.h"

namespace {

using namespace std::literals;

std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

SignatureCondition Condition(uint32_t kind, int32_t offset, std::vector<uint8_t> payload) {
  return SignatureCondition::WithPayload(kind, offset, std::move(payload));
}

bool HoldsIn(const SignatureCondition& condition, const std::vector<uint8_t>& candidate) {
  return condition.Holds(candidate.data(), candidate.size());
}

std::vector<uint8_t> UnitWith(std::string_view text, size_t position, size_t size = 512) {
  std::vector<uint8_t> unit(size, 'x');
  std::memcpy(unit.data() + position, text.data(), text.size());
  return unit;
}

TEST(SignatureConditionTest, FindTextFoldsCaseAndSearchesPositionsUpTo511MinusLength) {
  SignatureCondition html = Condition(CondFindText, 0, Bytes("<HTML"));
  EXPECT_TRUE(HoldsIn(html, UnitWith("<html", 0)));
  EXPECT_TRUE(HoldsIn(html, UnitWith("<HtMl", 137)));
  EXPECT_TRUE(HoldsIn(html, UnitWith("<hTmL", 506)));
  EXPECT_FALSE(HoldsIn(html, UnitWith("<HTML", 507)));
  EXPECT_FALSE(HoldsIn(html, UnitWith("<HTM", 10)));

  // The exact search does not fold case.
  EXPECT_FALSE(HoldsIn(Condition(CondFindBytes, 0, Bytes("<HTML")), UnitWith("<html", 3)));
}

TEST(SignatureConditionTest, SearchStopsAtTheReadableBytes) {
  SignatureCondition html = Condition(CondFindText, 0, Bytes("<HTML"));
  EXPECT_TRUE(HoldsIn(html, UnitWith("<html", 95, 100)));
  EXPECT_FALSE(HoldsIn(html, UnitWith("<htm", 96, 100)));
  // The window starts at the condition's offset.
  SignatureCondition shifted = Condition(CondFindBytes, 20, Bytes("PK"));
  EXPECT_FALSE(HoldsIn(shifted, UnitWith("PK", 19)));
  EXPECT_TRUE(HoldsIn(shifted, UnitWith("PK", 20 + 509, 600)));
  EXPECT_FALSE(HoldsIn(shifted, UnitWith("PK", 20 + 510, 600)));
}

TEST(SignatureConditionTest, MaskedComparesOnlyWhereTheMaskIsSet) {
  SignatureCondition masked = SignatureCondition::Create(CondMasked, 0);
  ASSERT_EQ(masked.Payload.size(), 1024u);
  EXPECT_EQ(masked.RecordSize(), 1056u);
  // Length 0 holds everywhere, even with nothing readable.
  EXPECT_TRUE(masked.Holds(nullptr, 0));

  masked.Length = 4;
  std::memcpy(masked.Payload.data(), "AB?D", 4);
  uint8_t* mask = masked.Payload.data() + 512;
  mask[0] = mask[1] = mask[3] = 0xFF;
  EXPECT_TRUE(HoldsIn(masked, Bytes("ABzD")));
  EXPECT_FALSE(HoldsIn(masked, Bytes("AXzD")));
  EXPECT_FALSE(HoldsIn(masked, Bytes("ABz")));

  // A compare length beyond the data half of the payload never holds.
  masked.Length = 513;
  EXPECT_FALSE(masked.IsConsistent());
  EXPECT_FALSE(HoldsIn(masked, std::vector<uint8_t>(1024, 0)));
}

TEST(SignatureConditionTest, MaskedBitsAndUnknownKindsTestNothing) {
  Signature anything;
  anything.Conditions.push_back(SignatureCondition::Create(CondMaskedBits, 0, 16));
  EXPECT_TRUE(anything.Holds(nullptr, 0));
  EXPECT_TRUE(anything.Holds(std::vector<uint8_t>(512, 0x5A).data(), 512));

  SignatureCondition unknown = Condition(12345, 4000, Bytes("zz"));
  EXPECT_TRUE(unknown.Holds(nullptr, 0));
}

TEST(SignatureConditionTest, FixedWidthKindsRepeatOverEveryPosition) {
  SignatureCondition bytes = Condition(CondByte, 2, {0x00});
  bytes.Repeat = 3;
  EXPECT_TRUE(HoldsIn(bytes, {9, 9, 0, 0, 0, 0}));
  EXPECT_FALSE(HoldsIn(bytes, {9, 9, 0, 0, 0, 1}));
  EXPECT_FALSE(HoldsIn(bytes, {9, 9, 0, 0, 0}));  // the last repeat lies past the end

  SignatureCondition word = Condition(CondWord, 0, {0xAA, 0xAA});
  word.Repeat = 1;  // steps by one byte: 0xAAAA at 0 and at 1
  EXPECT_TRUE(HoldsIn(word, {0xAA, 0xAA, 0xAA}));
  EXPECT_FALSE(HoldsIn(word, {0xAA, 0xAA, 0xAB}));

  SignatureCondition qword = Condition(CondQword, 1, {'I', 'T', 'S', 'F', 3, 0, 0, 0});
  EXPECT_TRUE(HoldsIn(qword, {0, 'I', 'T', 'S', 'F', 3, 0, 0, 0}));
  EXPECT_FALSE(HoldsIn(qword, {0, 'I', 'T', 'S', 'F', 3, 0, 0, 1}));
  EXPECT_FALSE(HoldsIn(qword, {0, 'I', 'T', 'S', 'F', 3, 0, 0}));
}

TEST(SignatureConditionTest, RangesAreInclusiveAndWordsLittleEndian) {
  SignatureCondition byteRange = Condition(CondByteRange, 0, {'0', '9'});
  EXPECT_TRUE(HoldsIn(byteRange, Bytes("0")));
  EXPECT_TRUE(HoldsIn(byteRange, Bytes("9")));
  EXPECT_FALSE(HoldsIn(byteRange, Bytes(":")));

  SignatureCondition count = Condition(CondWordRange, 4, {0x01, 0x00, 0x00, 0x01});  // 1..256
  EXPECT_TRUE(HoldsIn(count, {0, 0, 1, 0, 0x00, 0x01}));
  EXPECT_TRUE(HoldsIn(count, {0, 0, 1, 0, 0x01, 0x00}));
  EXPECT_FALSE(HoldsIn(count, {0, 0, 1, 0, 0x01, 0x01}));
  EXPECT_FALSE(HoldsIn(count, {0, 0, 1, 0, 0x01}));
}

TEST(SignatureConditionTest, ConditionsReachingPastTheReadableBytesFail) {
  std::vector<uint8_t> unit(512, 0);
  unit[510] = 0x55;
  unit[511] = 0xAA;
  EXPECT_TRUE(HoldsIn(Condition(CondWord, 510, {0x55, 0xAA}), unit));
  EXPECT_FALSE(HoldsIn(Condition(CondDword, 510, {0x55, 0xAA, 0, 0}), unit));
  EXPECT_FALSE(HoldsIn(Condition(CondBytes, 509, {0, 0x55, 0xAA, 0}), unit));
  EXPECT_FALSE(HoldsIn(Condition(CondBytes, -1, {0}), unit));
  EXPECT_FALSE(HoldsIn(Condition(CondByte, 0x7FFFFFFF, {0}), unit));
  // A payload shorter than the kind's width is not read past either.
  EXPECT_FALSE(HoldsIn(Condition(CondQword, 0, {0, 0}), unit));
  SignatureCondition longLength = Condition(CondBytes, 0, {0, 0});
  longLength.Length = 40;
  EXPECT_FALSE(HoldsIn(longLength, unit));
}

TEST(SignatureConditionTest, TypeMatchesWhenAnySignatureHoldsAndEveryConditionOfIt) {
  FileType type;
  EXPECT_FALSE(type.Matches(UnitWith("RIFF", 0).data(), 512));  // no signature: never

  Signature wave;
  wave.Conditions = {Condition(CondDword, 0, Bytes("RIFF")),
                     Condition(CondBytes, 8, Bytes("WAVEfmt"))};
  Signature avi;
  avi.Conditions = {Condition(CondDword, 0, Bytes("RIFF")),
                    Condition(CondBytes, 8, Bytes("AVI LIST"))};
  type.Signatures = {wave, avi};
  std::vector<uint8_t> unit = UnitWith("RIFF\x10\0\0\0AVI LIST"sv, 0);
  EXPECT_TRUE(type.Matches(unit.data(), unit.size()));
  unit[8] = 'B';
  EXPECT_FALSE(type.Matches(unit.data(), unit.size()));
}

}  // namespace
