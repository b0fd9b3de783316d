// The file-system base: type names, analyser choice, and the type a boot sector names.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "filesystems/file_system.h"
#include "support/test_support.h"
#include "volumes/volume.h"

namespace {

using Sector = std::array<uint8_t, 512>;

Sector WithText(std::initializer_list<std::pair<size_t, const char*>> texts) {
  Sector sector{};
  for (const auto& [offset, text] : texts)
    std::memcpy(sector.data() + offset, text, std::strlen(text));
  sector[510] = 0x55;
  sector[511] = 0xAA;
  return sector;
}

int32_t Detect(const Sector& sector) { return CFileSystem::DetectFromBootSector(sector); }

TEST(FileSystemBase, NewFileSystemIsUnknownWithANamedRootFolder) {
  CFileSystem fs;
  EXPECT_EQ(fs.TypeCode, 0);
  EXPECT_EQ(fs.FsFlags, 0u);
  EXPECT_EQ(fs.TypeName, u"Unknown");
  EXPECT_EQ(fs.RootFolder.Flags, FoundFolder | FoundNamed);
  EXPECT_EQ(std::u16string(fs.RootFolder.Name), u".");
  FoundObject record{};
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(fs.Analyse(), 0);
  EXPECT_EQ(fs.FileRead(record, buffer.data(), 0, 512), 0u);
}

TEST(FileSystemBase, TypeCodesGiveNamesAnalysersAndRootFolders) {
  struct Row {
    int32_t code;
    const char16_t* name;
    FsAnalyser analyser;
    int32_t root;
  };
  const Row rows[] = {
      {1, u"FAT12", FsAnalyser::Fat, 0},       {4, u"FAT16", FsAnalyser::Fat, 0},
      {6, u"FAT16", FsAnalyser::Fat, 0},       {14, u"Unknown", FsAnalyser::Fat, 0},
      {17, u"Unknown", FsAnalyser::Fat, 0},    {30, u"Unknown", FsAnalyser::Fat, 0},
      {11, u"FAT32", FsAnalyser::Fat, 2},      {12, u"FAT32", FsAnalyser::Fat, 2},
      {27, u"Unknown", FsAnalyser::Fat, 2},    {28, u"Unknown", FsAnalyser::Fat, 2},
      {7, u"NTFS", FsAnalyser::Ntfs, 5},       {128, u"NTFS", FsAnalyser::None, -1},
      {0, u"Unknown", FsAnalyser::None, -1},   {5, u"Unknown", FsAnalyser::None, -1},
      {131, u"Unknown", FsAnalyser::None, -1}, {-1, u"Unknown", FsAnalyser::None, -1},
  };
  for (const Row& row : rows) {
    CFileSystem fs;
    fs.TypeCode = 99;
    fs.SetTypeName(row.code);
    EXPECT_EQ(fs.TypeName, row.name) << row.code;
    EXPECT_EQ(fs.TypeCode, 99) << "the code itself is not stored";
    EXPECT_EQ(AnalyserForType(row.code), row.analyser) << row.code;
    EXPECT_EQ(RootIdForType(row.code), row.root) << row.code;
  }
  CFileSystem fs;
  fs.SetTypeNameText(u"A file-system name far longer than thirty characters");
  EXPECT_EQ(fs.TypeName.size(), 29u);
}

// Every code the program knows, as one row: the family decides the analyser, the root folder,
// the FAT entry width and the found-volume name, so none of them can disagree.
TEST(FileSystemCodes, EveryKnownCodeHasItsFamilyNameWidthAndBootFields) {
  using F = FsFamily;
  using B = BootSectorFields;
  constexpr int kNoWidth = 0;
  struct Row {
    int32_t code;
    FsFamily family;
    const char16_t* name;
    int width;  // bits of a FAT entry
    const char16_t* groupName;
    int32_t group;
    BootSectorFields boot;
  };
  const Row rows[] = {
      {1, F::Fat12, u"FAT12", 12, u"FAT12", 1, B::Fat16},
      {4, F::Fat16, u"FAT16", 16, u"FAT16", 4, B::Fat16},
      {6, F::Fat16, u"FAT16", 16, u"FAT16", 4, B::Fat16},
      {7, F::Ntfs, u"NTFS", kNoWidth, u"NTFS", 7, B::Ntfs},
      {11, F::Fat32, u"FAT32", 32, u"FAT32", 11, B::Fat32},
      {12, F::Fat32, u"FAT32", 32, u"FAT32", 11, B::Fat32},
      {14, F::Fat16, u"Unknown", 16, u"FAT16", 4, B::Fat16},
      {17, F::Fat12, u"Unknown", 12, u"FAT12", 1, B::Fat16},
      {20, F::Fat16, u"Unknown", 16, u"FAT16", 4, B::None},
      {22, F::Fat16, u"Unknown", 16, u"FAT16", 4, B::None},
      {27, F::Fat32, u"Unknown", 32, u"FAT32", 11, B::None},
      {28, F::Fat32, u"Unknown", 32, u"FAT32", 11, B::None},
      {30, F::Fat16, u"Unknown", 16, u"FAT16", 4, B::None},
      {128, F::None, u"NTFS", kNoWidth, u"", 0, B::None},
      {134, F::None, u"Unknown", kNoWidth, u"", 0, B::Fat16},
      {135, F::None, u"Unknown", kNoWidth, u"", 0, B::Ntfs},
      {139, F::None, u"Unknown", kNoWidth, u"", 0, B::Fat32},
      {140, F::None, u"Unknown", kNoWidth, u"", 0, B::Fat32},
  };
  const auto widthBits = [](int32_t code) {
    const std::optional<FatWidth> width = FatWidthForType(code);
    if (!width) return kNoWidth;
    return *width == FatWidth::Fat12 ? 12 : *width == FatWidth::Fat16 ? 16 : 32;
  };
  const std::span<const FileSystemCode> known = KnownFileSystemCodes();
  ASSERT_EQ(known.size(), std::size(rows));
  for (size_t i = 0; i < known.size(); ++i) {
    const Row& row = rows[i];
    EXPECT_EQ(known[i].Code, row.code) << "the table lists every code once, in order";
    const FileSystemCode entry = FileSystemCodeOf(row.code);
    EXPECT_EQ(entry.Family, row.family) << row.code;
    EXPECT_EQ(entry.Name, row.name) << row.code;
    EXPECT_EQ(CFileSystem::NameForType(row.code), row.name) << row.code;
    EXPECT_EQ(entry.BootFields, row.boot) << row.code;
    EXPECT_EQ(widthBits(row.code), row.width) << row.code;
    EXPECT_EQ(FileSystemGroupName(row.code), row.groupName) << row.code;
    EXPECT_EQ(FileSystemGroupOf(row.code), row.group) << row.code;
    const bool analysed = row.family != F::None;
    EXPECT_EQ(AnalyserForType(row.code) != FsAnalyser::None, analysed) << row.code;
    EXPECT_EQ(ReadsObjectDataItself(row.code), analysed) << row.code;
    EXPECT_EQ(AnalyserForType(row.code) == FsAnalyser::Fat, row.width != kNoWidth) << row.code;
  }
  for (int32_t other : {0, 5, 15, 131, 255, -1, 100000}) {
    const FileSystemCode entry = FileSystemCodeOf(other);
    EXPECT_EQ(entry.Family, F::None) << other;
    EXPECT_EQ(entry.Name, u"Unknown") << other;
    EXPECT_EQ(entry.BootFields, B::None) << other;
    EXPECT_EQ(widthBits(other), kNoWidth) << other;
    EXPECT_EQ(FileSystemGroupOf(other), 0) << other;
    EXPECT_FALSE(ReadsObjectDataItself(other)) << other;
  }
}

TEST(FileSystemBase, BootSectorTextsAreTestedInOrder) {
  EXPECT_EQ(Detect(WithText({{54, "FAT12   "}})), 1);
  EXPECT_EQ(Detect(WithText({{54, "FAT16   "}})), 4);
  EXPECT_EQ(Detect(WithText({{82, "FAT32   "}})), 11);
  EXPECT_EQ(Detect(WithText({{3, "NTFS    "}})), 7);
  EXPECT_EQ(Detect(WithText({{54, "FAT16   "}, {3, "NTFS    "}})), 4);
  EXPECT_EQ(Detect(WithText({{54, "FAT12   "}, {82, "FAT32   "}})), 1);
  // Near misses: the text must be whole, padded with blanks, at its own offset.
  EXPECT_EQ(Detect(WithText({{54, "FAT16"}})), 0);
  EXPECT_EQ(Detect(WithText({{54, "FAT32   "}})), 0);
  EXPECT_EQ(Detect(WithText({{55, "FAT12   "}})), 0);
  EXPECT_EQ(Detect(WithText({{3, "NTFS"}})), 0);
  EXPECT_EQ(Detect(WithText({{3, "EXFAT   "}})), 0);
  EXPECT_EQ(Detect(Sector{}), 0);
}

TEST(FileSystemBase, ShortBootSectorBuffersAreReadOnlyAsFarAsTheyGo) {
  Sector fat32 = WithText({{82, "FAT32   "}, {3, "NTFS    "}});
  // 89 bytes hold the FAT12/16 text but not all of the FAT32 one.
  EXPECT_EQ(CFileSystem::DetectFromBootSector(std::span<const uint8_t>(fat32.data(), 89)), 7);
  EXPECT_EQ(CFileSystem::DetectFromBootSector(std::span<const uint8_t>(fat32.data(), 90)), 11);
  EXPECT_EQ(CFileSystem::DetectFromBootSector(std::span<const uint8_t>(fat32.data(), 10)), 0);
  EXPECT_EQ(CFileSystem::DetectFromBootSector({}), 0);
}

// An analyser starts from what the drive already knows of its file system.
class TestAnalyser : public CFileSystem {
 public:
  explicit TestAnalyser(CVolume& volume) : CFileSystem(volume) {}
  CVolume* Drive() const { return Volume; }
};

TEST(FileSystemBase, AnalysersCopyTheDrivesTypeFlagsAndName) {
  CVolume volume;
  volume.FileSystem->TypeCode = 12;
  volume.FileSystem->FsFlags = 0x2F;
  volume.FileSystem->SetTypeNameText(u"FAT32");
  TestAnalyser analyser(volume);
  EXPECT_EQ(analyser.TypeCode, 12);
  EXPECT_EQ(analyser.FsFlags, 0x2Fu);
  EXPECT_EQ(analyser.TypeName, u"FAT32");
  EXPECT_EQ(analyser.Drive(), &volume);
  EXPECT_EQ(std::u16string(analyser.RootFolder.Name), u".");
}

// Boot sectors as mkfs.fat and mkntfs write them (tests/fixtures/volumes.sh).
TEST(FileSystemBase, ToolMadeImagesAreDetected) {
  const std::pair<const char*, int32_t> images[] = {{"volumes/fat12.img", 1},
                                                    {"volumes/fat16.img", 4},
                                                    {"volumes/fat32.img", 11},
                                                    {"volumes/ntfs.img", 7}};
  for (const auto& [name, code] : images) {
    std::u16string path = testing_support::FixturePath(name);
    if (path.empty()) GTEST_SKIP() << "fixture images not made";
    CVolume volume;
    volume.Kind = VolumeKindImage;
    volume.DevicePath = path;
    ASSERT_EQ(volume.ReadSectors(volume.BootSector.data(), 0, 2), 1024u) << name;
    EXPECT_EQ(CFileSystem::DetectFromBootSector(volume.BootSector), code) << name;
    EXPECT_EQ(volume.GetFileSystemName(), CFileSystem::NameForType(code)) << name;
  }
}

}  // namespace
