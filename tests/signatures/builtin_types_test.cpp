// What the built-in table makes of real file starts, in scan order: the first type that
// matches is the one the store keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string_view>
#include <vector>

#include "signatures/file_types.h"

namespace {

using namespace std::literals;

class BuiltinTypesTest : public ::testing::Test {
 protected:
  BuiltinTypesTest() {
    for (FileType& type : BuiltinTypes()) database_.AddType(std::move(type));
  }

  // Ids of every type that matches, in scan order.
  std::vector<int32_t> Matching(const std::vector<uint8_t>& unit) const {
    std::vector<int32_t> ids;
    for (const auto& type : database_.Types())
      if (FileTypeDatabase::Matches(*type, unit.data(), unit.size())) ids.push_back(type->TypeId);
    return ids;
  }

  int32_t FirstMatch(const std::vector<uint8_t>& unit) const {
    std::vector<int32_t> ids = Matching(unit);
    return ids.empty() ? 0 : ids.front();
  }

  static std::vector<uint8_t> Unit(std::string_view start, size_t at = 0) {
    std::vector<uint8_t> unit(512, 0x11);
    std::memcpy(unit.data() + at, start.data(), start.size());
    return unit;
  }

  FileTypeDatabase database_;
};

TEST_F(BuiltinTypesTest, TableHasUniqueIdsAndTheGroupsInOrder) {
  std::vector<FileType> types = BuiltinTypes();
  EXPECT_EQ(types.size(), 104u);
  EXPECT_EQ(database_.Types().size(), types.size());  // none refused
  std::set<int32_t> ids;
  for (const FileType& type : types) EXPECT_TRUE(ids.insert(type.TypeId).second) << type.TypeId;
  for (int32_t chosen : {267, 801, 802, 803, 612}) EXPECT_TRUE(ids.count(chosen)) << chosen;
  for (int32_t reserved : {521, 526, 25}) EXPECT_FALSE(ids.count(reserved)) << reserved;

  std::vector<int32_t> groupIds;
  for (const FileType& group : BuiltinGroups()) groupIds.push_back(group.GroupId);
  EXPECT_EQ(groupIds,
            (std::vector<int32_t>{-144, -48, -64, -115, -117, -120, -122, -112, -128, -80, -133}));
  EXPECT_EQ(BuiltinGroups()[7].TitleText(), u"Storages and Drive images");
  EXPECT_EQ(database_.FindType(400)->TitleText(), u"EXE-DOS");
  EXPECT_EQ(database_.FindType(24)->GroupId, GroupSystem);
}

TEST_F(BuiltinTypesTest, PhotosAndImagesByTheirFirstBytes) {
  EXPECT_EQ(FirstMatch(Unit("\xFF\xD8\xFF\xE0"sv)), 83);
  EXPECT_EQ(FirstMatch(Unit("\xFF\xD8\xFF\xE1"sv)), 83);
  EXPECT_EQ(FirstMatch(Unit("\xFF\xD8\xFF\xDB"sv)), 0);
  // The TIFF byte-order marks: NEF first, then Pentax, Sony and TIFF.
  EXPECT_EQ(Matching(Unit("MM\x00\x2A"sv)), (std::vector<int32_t>{114, 116, 118, 87}));
  EXPECT_EQ(Matching(Unit("II\x2A\x00"sv)), (std::vector<int32_t>{114, 116, 118, 87}));
  EXPECT_EQ(FirstMatch(Unit("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR"sv)), 88);
  EXPECT_EQ(FirstMatch(Unit("GIF89a"sv)), 85);
  EXPECT_EQ(FirstMatch(Unit("GIF89b"sv)), 0);
  EXPECT_EQ(FirstMatch(Unit("BM\x36\x00\x0C\x00\x00\x00\x00\x00"sv)), 525);
  EXPECT_EQ(FirstMatch(Unit("\x00\x00\x01\x00\x03\x00\x10\x10\x00\x00"sv)), 90);
  EXPECT_EQ(FirstMatch(Unit("\x00\x00\x01\x00\x00\x00\x10\x10\x00\x00"sv)), 0);  // no image
  EXPECT_EQ(FirstMatch(Unit("II*\x00\x08\x00\x00\x00"
                            "eXtended"sv)),
            95);
}

TEST_F(BuiltinTypesTest, ArchivesInTheirOrder) {
  // A gzip stream is a "GZIP Archive File"; the GZ row matches too but comes later.
  EXPECT_EQ(Matching(Unit("\x1F\x8B\x08\x00"sv)), (std::vector<int32_t>{331, 344}));
  EXPECT_EQ(Matching(Unit("PK\x03\x04\x14\x00\x08\x00"sv)), (std::vector<int32_t>{300, 338}));
  EXPECT_EQ(Matching(Unit("PK\x03\x04\x0A\x00\x00\x00"sv)), (std::vector<int32_t>{300}));
  EXPECT_EQ(FirstMatch(Unit("JARCS\x00"sv)), 338);
  EXPECT_EQ(FirstMatch(Unit("ustar\x00"
                            "00"sv,
                            257)),
            330);
}

TEST_F(BuiltinTypesTest, RiffFilesToldApartByTheirSecondCondition) {
  EXPECT_EQ(Matching(Unit("RIFF\x24\x08\x00\x00WAVEfmt "sv)), (std::vector<int32_t>{200}));
  EXPECT_EQ(Matching(Unit("RIFF\x24\x08\x00\x00"
                          "CDR9vrsn"sv)),
            (std::vector<int32_t>{94}));
  EXPECT_EQ(Matching(Unit("RIFF\x24\x08\x00\x00"
                          "AVI LIST"sv)),
            (std::vector<int32_t>{524}));
  EXPECT_EQ(Matching(Unit("RIFF\x24\x08\x00\x00"
                          "WEBPVP8 "sv)),
            std::vector<int32_t>{});
}

TEST_F(BuiltinTypesTest, BootSectorsByTheirFileSystemNames) {
  std::vector<uint8_t> fat32 = Unit("\xEB\x58\x90MSDOS5.0"sv);
  std::memcpy(fat32.data() + 82, "FAT32   ", 8);
  fat32[510] = 0x55;
  fat32[511] = 0xAA;
  EXPECT_EQ(Matching(fat32), (std::vector<int32_t>{11}));

  std::vector<uint8_t> fat16 = Unit("\xEB\x3C\x90mkfs.fat"sv);
  std::memcpy(fat16.data() + 54, "FAT16   ", 8);
  fat16[510] = 0x55;
  fat16[511] = 0xAA;
  EXPECT_EQ(Matching(fat16), (std::vector<int32_t>{4}));
  fat16[511] = 0xAB;
  EXPECT_EQ(Matching(fat16), std::vector<int32_t>{});

  std::vector<uint8_t> ntfs = Unit("\xEB\x52\x90NTFS    "sv);
  ntfs[510] = 0x55;
  ntfs[511] = 0xAA;
  EXPECT_EQ(Matching(ntfs), (std::vector<int32_t>{7}));
}

}  // namespace
