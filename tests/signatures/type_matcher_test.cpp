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
