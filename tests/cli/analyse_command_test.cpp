// lumenard-cli analyse and cat on images made by mkfs.fat, mtools, mkntfs and ntfs-3g: every
// file and folder written is listed with its path, state, kind, size and time, and cat gives
// back the bytes of every file whose data is still there.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>

#include "cli/command.h"
#include "cli_runner.h"
#include "cli/object_listing.h"
#include "platform/text.h"
#include "platform/time.h"
#include "support/image_manifest.h"
#include "support/test_support.h"

namespace {

using testing_support::Cksum;
using testing_support::ManifestLine;

using cli_testing::Outcome;
using cli_testing::RunCli;

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

const char kTsvHeader[] =
    "volume_offset\tstate\tkind\tid\tparent_id\tsize\tstart\tcreated\tmodified\tpath";

// The rows of analyse --format tsv by volume offset and path; each row's ten fields.
using Listing = std::map<std::pair<std::string, std::string>, std::vector<std::string>>;

Listing Analyse(const std::string& image, std::vector<std::string> options = {}) {
  CliArgs words{"analyse", image, "--format", "tsv"};
  words.insert(words.end(), options.begin(), options.end());
  Outcome run = RunCli(words);
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  std::vector<std::string> lines = Split(run.out, '\n');
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return {};
  EXPECT_EQ(lines[0], kTsvHeader);
  Listing listing;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields = Split(lines[i], '\t');
    EXPECT_EQ(fields.size(), 10u) << lines[i];
    if (fields.size() != 10) continue;
    EXPECT_TRUE(listing.emplace(std::pair(fields[0], fields[9]), fields).second)
        << "listed twice: " << lines[i];
  }
  return listing;
}

enum Column { kOffset, kState, kKind, kId, kParent, kSize, kStart, kCreated, kModified, kPath };

// Checks every manifest entry against the rows of the volume at offset, and cat of each intact
// file against its checksum.
void ExpectManifestListed(const std::string& image, const Listing& listing,
                          const std::string& offset, const std::u16string& manifestPath) {
  const auto manifest = testing_support::ReadImageManifest(manifestPath);
  ASSERT_GT(manifest.size(), 0u);
  for (const auto& [path16, line] : manifest) {
    const std::string path = Utf8(path16);
    auto found = listing.find({offset, path});
    if (found == listing.end()) {
      ADD_FAILURE() << "not listed: " << path;
      continue;
    }
    const std::vector<std::string>& row = found->second;
    EXPECT_EQ(row[kState], line.deleted ? "deleted" : "live") << path;
    EXPECT_EQ(row[kKind], line.folder ? "folder" : "file") << path;
    if (line.folder) continue;
    EXPECT_EQ(row[kSize], std::to_string(line.size)) << path;
    EXPECT_EQ(row[kModified], std::to_string(platform::UnixTimeToFileTime(line.mtime))) << path;
    if (!line.intact) continue;
    Outcome cat = RunCli({"cat", image, "--id", row[kId], "--volume-offset", offset});
    EXPECT_EQ(cat.code, kExitSuccess) << path << ": " << cat.err;
    EXPECT_EQ(Cksum(std::vector<uint8_t>(cat.out.begin(), cat.out.end())), line.crc)
        << path << " (" << cat.out.size() << " bytes)";
  }
}

class AnalyseImage : public ::testing::TestWithParam<const char*> {};

TEST_P(AnalyseImage, ListsEveryWrittenObjectAndCatReturnsItsBytes) {
  const std::string name = GetParam();
  const std::u16string image = testing_support::FixturePath(name + ".img");
  const std::u16string manifest = testing_support::FixturePath(name + ".manifest");
  if (image.empty() || manifest.empty()) GTEST_SKIP() << "no " << name << " fixture";
  const Listing listing = Analyse(Utf8(image));
  ExpectManifestListed(Utf8(image), listing, "0", manifest);

  // --deleted-only gives exactly the deleted rows.
  Listing deleted;
  for (const auto& [key, row] : listing)
    if (row[kState] == "deleted") deleted.emplace(key, row);
  EXPECT_EQ(Analyse(Utf8(image), {"--deleted-only"}), deleted);
}

INSTANTIATE_TEST_SUITE_P(MadeByRealTools, AnalyseImage,
                         ::testing::Values("fat/fat12", "fat/fat16", "fat/fat32", "fat/fat16-4k",
                                           "ntfs/basic", "ntfs/record4k", "ntfs/listed"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return name;
                         });

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A disk whose partition table holds the FAT12 fixture at 1 MiB and the NTFS one at 4 MiB.
TEST(AnalyseCommand, AnalysesEveryVolumeOfAPartitionedDisk) {
  const std::u16string fat = testing_support::FixturePath("fat/fat12.img");
  const std::u16string ntfs = testing_support::FixturePath("ntfs/basic.img");
  if (fat.empty() || ntfs.empty()) GTEST_SKIP() << "fixtures not made";
  const std::vector<uint8_t> fatBytes = testing_support::ReadWholeFile(fat);
  const std::vector<uint8_t> ntfsBytes = testing_support::ReadWholeFile(ntfs);
  constexpr uint32_t kFatSector = 2048, kNtfsSector = 8192;
  ASSERT_LE(kFatSector * 512 + fatBytes.size(), kNtfsSector * 512u);
  std::vector<uint8_t> disk(kNtfsSector * 512 + ntfsBytes.size());
  auto partition = [&](int slot, uint8_t type, uint32_t first, size_t bytes) {
    const size_t entry = 446 + 16 * slot;
    disk[entry + 4] = type;
    PutLe32(disk, entry + 8, first);
    PutLe32(disk, entry + 12, static_cast<uint32_t>(bytes / 512));
  };
  partition(0, 0x01, kFatSector, fatBytes.size());
  partition(1, 0x07, kNtfsSector, ntfsBytes.size());
  disk[510] = 0x55;
  disk[511] = 0xAA;
  std::copy(fatBytes.begin(), fatBytes.end(), disk.begin() + kFatSector * 512);
  std::copy(ntfsBytes.begin(), ntfsBytes.end(), disk.begin() + kNtfsSector * 512);
  testing_support::TempFolder folder;
  const std::u16string path = folder.File(u"disk.img");
  ASSERT_TRUE(testing_support::WriteWholeFile(path, disk));

  const Listing listing = Analyse(Utf8(path));
  ExpectManifestListed(Utf8(path), listing, "1048576",
                       testing_support::FixturePath("fat/fat12.manifest"));
  ExpectManifestListed(Utf8(path), listing, "4194304",
                       testing_support::FixturePath("ntfs/basic.manifest"));

  Outcome ambiguous = RunCli({"cat", Utf8(path), "--id", "69"});
  EXPECT_EQ(ambiguous.code, kExitFailure);
  EXPECT_NE(ambiguous.err.find("choose one with --volume-offset"), std::string::npos)
      << ambiguous.err;
}

uint64_t Le(const std::vector<uint8_t>& bytes, size_t at, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

// The NTFS fixture with the MFT record of its deleted folder "old" spoilt: what the folder held
// is listed, and read, below a placeholder under "Lost folders".
TEST(AnalyseCommand, ObjectsOfAVanishedFolderAreListedUnderLostFolders) {
  const std::u16string ntfs = testing_support::FixturePath("ntfs/basic.img");
  if (ntfs.empty()) GTEST_SKIP() << "fixtures not made";
  const auto manifest =
      testing_support::ReadImageManifest(testing_support::FixturePath("ntfs/basic.manifest"));
  const std::string old = Analyse(Utf8(ntfs)).at({"0", "old"})[kId];
  std::vector<uint8_t> bytes = testing_support::ReadWholeFile(ntfs);
  const uint64_t clusterBytes = Le(bytes, 11, 2) * Le(bytes, 13, 1);
  const uint64_t record = Le(bytes, 48, 8) * clusterBytes + std::stoull(old) * 1024;
  ASSERT_EQ(std::string(bytes.begin() + record, bytes.begin() + record + 4), "FILE");
  bytes[record] = 'X';
  testing_support::TempFolder folder;
  const std::u16string path = folder.File(u"lost.img");
  ASSERT_TRUE(testing_support::WriteWholeFile(path, bytes));

  const Listing listing = Analyse(Utf8(path));
  const std::string placeholder = "Lost folders/lost_folder_" + old;
  ASSERT_EQ(listing.count({"0", placeholder}), 1u);
  EXPECT_EQ(listing.at({"0", placeholder})[kState], "deleted");
  EXPECT_EQ(listing.count({"0", "old"}), 0u);
  for (const char* name : {"one.txt", "two.txt"}) {
    auto row = listing.find({"0", placeholder + "/" + name});
    ASSERT_NE(row, listing.end()) << name;
    Outcome cat = RunCli({"cat", Utf8(path), "--id", row->second[kId]});
    EXPECT_EQ(Cksum(std::vector<uint8_t>(cat.out.begin(), cat.out.end())),
              manifest.at(u"old/" + platform::Utf8ToUtf16(name)).crc)
        << name;
  }
}

// The partition-table fixture: four volumes, each under a heading with its offset.
TEST(AnalyseCommand, TreeHasAHeadingPerVolumeOfThePartitionTable) {
  const std::u16string image = testing_support::FixturePath("partitions/mbr.img");
  if (image.empty()) GTEST_SKIP() << "fixtures not made";
  Outcome tree = RunCli({"analyse", Utf8(image)});
  ASSERT_EQ(tree.code, kExitSuccess) << tree.err;
  for (const char* heading :
       {"FAT16 volume at offset 1048576 of mbr.img, label \"PARTFAT16\": 0 folders and 0 files",
        "NTFS volume at offset 17825792 of mbr.img", "FAT12 volume at offset 35651584 of mbr.img",
        "FAT32 volume at offset 40894464 of mbr.img"})
    EXPECT_NE(tree.out.find(heading), std::string::npos) << heading << "\n" << tree.out;
  EXPECT_NE(tree.out.find("\n  $MFT  27 KiB  "), std::string::npos) << tree.out;
}

// A FAT16 volume with 4096-byte sectors at 1 MiB of a disk: the disk lists what the volume's own
// image lists, the folder past the first eighth of the data area included.
TEST(AnalyseCommand, VolumeWithLargeSectorsListsTheSameInsideADiskAsAlone) {
  const std::u16string disk = testing_support::FixturePath("partitions/sector4k.img");
  const std::u16string part = testing_support::FixturePath("partitions/sector4k-part.img");
  if (disk.empty() || part.empty()) GTEST_SKIP() << "fixtures not made";
  auto paths = [](const std::u16string& image) {
    Outcome run = RunCli({"analyse", Utf8(image), "--format", "tsv"});
    EXPECT_EQ(run.code, kExitSuccess) << run.err;
    EXPECT_EQ(run.err.find("outside the data area"), std::string::npos) << run.err;
    std::vector<std::string> found;
    for (const std::string& line : Split(run.out, '\n')) {
      std::vector<std::string> fields = Split(line, '\t');
      if (fields.size() == 10 && fields[0] != "volume_offset") found.push_back(fields[9]);
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  const std::vector<std::string> alone = paths(part);
  EXPECT_NE(std::find(alone.begin(), alone.end(), "DEEP/F5.TXT"), alone.end());
  EXPECT_EQ(paths(disk), alone);
}

TEST(AnalyseCommand, ListingFormatsKeepEveryRowOnOneLineAndEscapeJson) {
  ObjectRow row;
  row.volumeOffset = 1048576;
  row.deleted = true;
  row.id = 7;
  row.parentId = 5;
  row.size = -1;
  row.modified = platform::UnixTimeToFileTime(1262390404);
  row.path = "a\"b\\c\td\ne/caf\xc3\xa9";
  EXPECT_EQ(JsonObject(row),
            "{\"volume_offset\": 1048576, \"state\": \"deleted\", \"kind\": \"file\", \"id\": 7, "
            "\"parent_id\": 5, \"size\": -1, \"start\": 0, \"created\": 0, \"modified\": "
            "129068640040000000, \"path\": \"a\\\"b\\\\c\\u0009d\\u000ae/caf\xc3\xa9\"}");
  std::ostringstream tsv;
  WriteTsvRows(tsv, {row});
  EXPECT_EQ(
      tsv.str(),
      "1048576\tdeleted\tfile\t7\t5\t-1\t0\t0\t129068640040000000\ta\"b\\c d e/caf\xc3\xa9\n");
  EXPECT_EQ(FileTimeText(row.modified), "2010-01-02 00:00:04");
  EXPECT_EQ(FileTimeText(0), "-");
}

TEST(AnalyseCommand, RefusesBadWordsFoldersUnknownIdsAndDrivesWithoutFileSystems) {
  const std::u16string fat = testing_support::FixturePath("fat/fat12.img");
  if (fat.empty()) GTEST_SKIP() << "fixtures not made";
  const std::string image = Utf8(fat);
  EXPECT_EQ(RunCli({"analyse"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"analyse", image, "--format", "xml"}).code, kExitUsage);
  EXPECT_EQ(RunCli({"cat", image}).code, kExitUsage);
  EXPECT_EQ(RunCli({"cat", image, "--id", "-3"}).code, kExitUsage);

  // Docs is a folder of the FAT12 image; its id is its first cluster.
  const Listing listing = Analyse(image);
  auto docs = listing.find({"0", "Docs"});
  ASSERT_NE(docs, listing.end());
  Outcome folder = RunCli({"cat", image, "--id", docs->second[kId]});
  EXPECT_EQ(folder.code, kExitFailure);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  Outcome unknown = RunCli({"cat", image, "--id", "99999"});
  EXPECT_EQ(unknown.code, kExitFailure);
  EXPECT_NE(unknown.err.find("no object with id 99999"), std::string::npos) << unknown.err;

  testing_support::TempFolder temp;
  const std::u16string zeros = temp.File(u"zeros.img");
  ASSERT_TRUE(testing_support::WriteWholeFile(zeros, std::vector<uint8_t>(64 * 1024)));
  Outcome nothing = RunCli({"analyse", Utf8(zeros)});
  EXPECT_EQ(nothing.code, kExitFailure);
  EXPECT_EQ(nothing.out, "");
  EXPECT_NE(nothing.err.find("no FAT or NTFS file system"), std::string::npos) << nothing.err;
}

}  // namespace
