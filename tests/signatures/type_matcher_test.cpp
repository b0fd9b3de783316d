// The screened matcher gives the same types, in the same order, as Matches of every type.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "signatures/file_types.h"
#include "signatures/type_matcher.h"

namespace {

using namespace std::literals;

std::vector<int32_t> Plain(const FileTypeDatabase& database, const uint8_t* candidate,
                           size_t readable) {
  std::vector<int32_t> ids;
  for (const auto& type : database.Types())
    if (FileTypeDatabase::Matches(*type, candidate, readable)) ids.push_back(type->TypeId);
  return ids;
}

std::vector<int32_t> Screened(const TypeMatcher& matcher, const uint8_t* candidate,
                              size_t readable) {
  std::vector<int32_t> ids;
  matcher.ForEachMatch(candidate, readable, [&](const FileType& type) {
    ids.push_back(type.TypeId);
    return true;
  });
  return ids;
}

// A wizard type whose first compared bytes are masked out, and one that holds everywhere.
void AddWizardTypes(FileTypeDatabase& database) {
  FileType masked;
  masked.TypeId = 1000;
  SignatureCondition condition = SignatureCondition::Create(CondMasked, 0);
  condition.Length = 6;
  std::memcpy(condition.Payload.data(), "??ab?c", 6);
  std::memcpy(condition.Payload.data() + 512, "\0\0\xFF\xFF\0\xFF", 6);
  masked.Signatures.push_back(Signature{{}, {}, {condition}});
  database.AddType(masked);

  FileType everywhere;
  everywhere.TypeId = 1001;
  everywhere.Signatures.push_back(Signature{{}, {}, {SignatureCondition::Create(CondMasked, 0)}});
  database.AddType(everywhere);
}

TEST(TypeMatcherTest, AgreesWithThePlainLoopOnEveryKindOfUnit) {
  FileTypeDatabase database;
  for (FileType& type : BuiltinTypes()) database.AddType(std::move(type));
  AddWizardTypes(database);
  TypeMatcher matcher(database);

  const std::string_view starts[] = {
      "\xFF\xD8\xFF\xE1"sv,     "MM\x00\x2A"sv,   "PK\x03\x04\x14\x00\x08\x00"sv,
      "RIFF\0\0\0\0AVI LIST"sv, "\x1F\x8B\x08"sv, "xxab-c"sv,
      "<!DOCTYPE html>"sv,      "\xEB\x58\x90"sv,
  };
  std::mt19937 random(7);
  std::vector<uint8_t> block(4096);
  for (uint8_t& byte : block) byte = static_cast<uint8_t>(random());
  for (size_t i = 0; i < std::size(starts); ++i)
    std::memcpy(block.data() + i * 512, starts[i].data(), starts[i].size());
  std::memcpy(block.data() + 3 * 512 + 82, "FAT32", 5);

  for (size_t unit = 0; unit < block.size(); unit += 512) {
    // The whole rest of the block, and short tails that end inside the screened bytes.
    for (size_t readable :
         {block.size() - unit, size_t{512}, size_t{9}, size_t{5}, size_t{2}, size_t{0}}) {
      std::vector<uint8_t> exact(block.begin() + unit, block.begin() + unit + readable);
      EXPECT_EQ(Screened(matcher, exact.data(), readable), Plain(database, exact.data(), readable))
          << "unit " << unit / 512 << ", " << readable << " bytes";
    }
  }
  std::vector<uint8_t> unit(block.begin() + 5 * 512, block.begin() + 6 * 512);
  EXPECT_EQ(Screened(matcher, unit.data(), unit.size()), (std::vector<int32_t>{1000, 1001}));
}

}  // namespace

namespace {

// Types that stress the key tables: fixed bytes past the first unit (never keyed), a first
// byte left out by the mask, a range condition only (never screened), and types after the
// 64th signature, so that the answers span more than one word of the tables.
void AddAwkwardTypes(FileTypeDatabase& database) {
  FileType far;
  far.TypeId = 2000;
  far.Signatures.push_back(
      Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 600, {'F', 'A', 'R'})}});
  database.AddType(far);

  FileType atEnd;
  atEnd.TypeId = 2001;
  atEnd.Signatures.push_back(
      Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 510, {'Z', 'Z', 'Z', 'Z'})}});
  database.AddType(atEnd);

  FileType range;
  range.TypeId = 2002;
  SignatureCondition low = SignatureCondition::Create(CondByteRange, 1);
  low.Payload = {'a', 'c'};
  low.Repeat = 2;
  range.Signatures.push_back(Signature{{}, {}, {low}});
  database.AddType(range);

  // Enough more to reach a third word of the tables, keyed at offsets of their own.
  for (int i = 0; i < 12; ++i) {
    FileType filler;
    filler.TypeId = 2100 + i;
    filler.Signatures.push_back(
        Signature{{},
                  {},
                  {SignatureCondition::WithPayload(CondBytes, 20 + i,
                                                   {'Q', static_cast<uint8_t>('a' + i)})}});
    database.AddType(filler);
  }

  // Two signatures of one type that both hold: the type is reported once.
  FileType twice;
  twice.TypeId = 2003;
  for (int i = 0; i < 2; ++i)
    twice.Signatures.push_back(
        Signature{{}, {}, {SignatureCondition::WithPayload(CondBytes, 0, {'Q', 'Q'})}});
  database.AddType(twice);
}

TEST(TypeMatcherTest, AgreesWithThePlainLoopOnRandomAndCraftedBlocks) {
  FileTypeDatabase database;
  for (FileType& type : BuiltinTypes()) database.AddType(std::move(type));
  AddWizardTypes(database);
  AddAwkwardTypes(database);
  TypeMatcher matcher(database);
  ASSERT_GT(matcher.ScreenCount(), 128u);

  // Every signature's own fixed bytes planted at its offset, over random, zero and text bytes,
  // so that the screens pass and the later conditions decide.
  std::vector<std::vector<uint8_t>> prefixes;
  for (const auto& type : database.Types())
    for (const Signature& signature : type->Signatures) {
      std::vector<uint8_t> unit(1024, 0);
      for (const SignatureCondition& condition : signature.Conditions)
        if ((condition.Kind == CondBytes || condition.Kind == CondDword ||
             condition.Kind == CondWord || condition.Kind == CondByte ||
             condition.Kind == CondQword) &&
            condition.Offset >= 0 && condition.Offset + condition.Payload.size() <= unit.size())
          std::memcpy(unit.data() + condition.Offset, condition.Payload.data(),
                      std::min<size_t>(condition.Payload.size(),
                                       condition.Kind == CondBytes ? condition.Length : 8));
      prefixes.push_back(std::move(unit));
    }

  std::mt19937 random(11);
  const size_t kUnits = 512;
  size_t matched = 0;
  for (int fill = 0; fill < 3; ++fill) {
    std::vector<uint8_t> block(kUnits * 512);
    for (uint8_t& byte : block)
      byte = fill == 0   ? static_cast<uint8_t>(random())
             : fill == 1 ? 0
                         : "<html> ab ZZ\r\n"[random() % 14];
    for (size_t unit = 0; unit < kUnits; unit += 2) {
      const std::vector<uint8_t>& prefix = prefixes[random() % prefixes.size()];
      const size_t length = std::min(prefix.size(), block.size() - unit * 512);
      for (size_t i = 0; i < length; ++i)
        if (prefix[i] || random() % 4 == 0) block[unit * 512 + i] = prefix[i];
      if (random() % 8 == 0) block[unit * 512 + random() % 8] ^= 1 << (random() % 8);
    }
    for (size_t unit = 0; unit < kUnits; ++unit) {
      const size_t readable = block.size() - unit * 512;
      const uint8_t* candidate = block.data() + unit * 512;
      const std::vector<int32_t> plain = Plain(database, candidate, readable);
      ASSERT_EQ(Screened(matcher, candidate, readable), plain)
          << "fill " << fill << ", unit " << unit;
      matched += plain.size();
    }
  }
  EXPECT_GT(matched, kUnits) << "the crafted units reach the later conditions";

  // A caller that stops after the first answer gets the first type in scan order.
  std::vector<uint8_t> both(1024, 0);
  std::memcpy(both.data(), "QQ", 2);
  std::memcpy(both.data() + 600, "FAR", 3);
  std::vector<int32_t> first;
  matcher.ForEachMatch(both.data(), both.size(), [&](const FileType& type) {
    first.push_back(type.TypeId);
    return false;
  });
  EXPECT_EQ(first, (std::vector<int32_t>{Plain(database, both.data(), both.size()).front()}));
  EXPECT_EQ(Screened(matcher, both.data(), both.size()), Plain(database, both.data(), both.size()));
}

}  // namespace
