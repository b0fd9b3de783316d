// lumenard-cli recover on the fixture images and on a FAT volume of hostile names built in
// code: every intact file comes back byte-exact at its path with its time, folders (empty ones
// too) come back, nothing lands outside the destination, and the summary and exit code say
// what happened.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "cli_runner.h"
#include "filesystems/fat_test_support.h"
#include "platform/file.h"
#include "platform/file_times.h"
#include "platform/text.h"
#include "support/image_manifest.h"
#include "support/test_support.h"

namespace {

using cli_testing::Outcome;
using cli_testing::RunCli;
using testing_support::ManifestLine;

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::u16string Below(const std::u16string& folder, const std::u16string& relative) {
  std::u16string path(relative);
  std::replace(path.begin(), path.end(), u'/', platform::kPathSeparator);
  return platform::JoinPath(folder, path);
}

std::u16string ManifestOf(const std::u16string& image) {
  return image.substr(0, image.size() - 4) + u".manifest";
}

// Compares what was recovered below folder with the manifest: every intact file byte for
// byte with its modified time, every folder present.
void ExpectRecovered(const std::u16string& image, const std::u16string& folder) {
  const auto manifest = testing_support::ReadImageManifest(ManifestOf(image));
  ASSERT_FALSE(manifest.empty());
  int files = 0;
  for (const auto& [path, line] : manifest) {
    const std::u16string target = Below(folder, path);
    if (line.folder) {
      EXPECT_TRUE(platform::FolderExists(target)) << Utf8(path);
      continue;
    }
    if (!line.intact) continue;
    ++files;
    const std::vector<uint8_t> bytes = testing_support::ReadWholeFile(target);
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), line.size) << Utf8(path);
    EXPECT_EQ(testing_support::Cksum(bytes), line.crc) << Utf8(path);
    platform::FileTime modified = 0;
    ASSERT_TRUE(platform::GetModifiedTime(target, &modified)) << Utf8(path);
    EXPECT_EQ(platform::FileTimeToUnixTime(modified), line.mtime) << Utf8(path);
  }
  EXPECT_GT(files, 0);
}

Outcome Recover(const std::u16string& image, const std::u16string& to,
                std::vector<std::string> more = {"--all"}) {
  CliArgs words = {"recover", Utf8(image), "--to", Utf8(to)};
  words.insert(words.end(), more.begin(), more.end());
  return RunCli(words);
}

}  // namespace

TEST(RecoverCommand, EveryFixtureImageComesBackWhole) {
  for (const char* name : {"fat/fat12.img", "fat/fat16.img", "fat/fat32.img", "fat/fat16-4k.img",
                           "ntfs/basic.img", "ntfs/record4k.img", "ntfs/listed.img"}) {
    SCOPED_TRACE(name);
    const std::u16string image = testing_support::FixturePath(name);
    if (image.empty()) GTEST_SKIP() << "fixtures not made";
    testing_support::TempFolder out;
    const Outcome outcome = Recover(image, out.path());
    EXPECT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_NE(outcome.out.find(" incomplete, 0 failed"), std::string::npos) << outcome.out;
    ExpectRecovered(image, out.path());
  }
}

TEST(RecoverCommand, EachVolumeOfAPartitionedDiskGoesBelowItsOffset) {
  const std::u16string image = testing_support::FixturePath("partitions/mbr.img");
  if (image.empty()) GTEST_SKIP() << "fixtures not made";
  testing_support::TempFolder out;
  const Outcome outcome = Recover(image, out.path());
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  for (const char* offset : {"1048576", "17825792", "35651584", "40894464"})
    EXPECT_TRUE(platform::FolderExists(
        platform::JoinPath(out.path(), platform::Utf8ToUtf16(std::string("volume_") + offset))))
        << offset;
  testing_support::TempFolder one;
  EXPECT_EQ(Recover(image, one.path(), {"--all", "--volume-offset", "17825792"}).code, 0);
  EXPECT_FALSE(platform::FolderExists(platform::JoinPath(one.path(), u"volume_17825792")));
}

TEST(RecoverCommand, ChoicesByIdPathAndStateAndTheTsvReport) {
  const std::u16string image = testing_support::FixturePath("fat/fat16.img");
  if (image.empty()) GTEST_SKIP() << "fixtures not made";
  testing_support::TempFolder out;
  Outcome outcome = Recover(image, out.path(), {"--path", "Photos/*.JPG", "--format", "tsv"});
  ASSERT_EQ(outcome.code, 0) << outcome.err;
  std::istringstream lines(outcome.out);
  std::string header, row;
  std::getline(lines, header);
  EXPECT_EQ(header, "source_path\ttarget_path\tsize\toutcome");
  int rows = 0;
  while (std::getline(lines, row)) {
    ++rows;
    EXPECT_EQ(row.rfind("Photos/", 0), 0u) << row;
    EXPECT_NE(row.find("\tcomplete"), std::string::npos) << row;
  }
  EXPECT_EQ(rows, 2);
  EXPECT_NE(outcome.err.find("recovered 2 of 2 files"), std::string::npos) << outcome.err;

  testing_support::TempFolder deleted;
  outcome = Recover(image, deleted.path(), {"--all", "--deleted-only", "--flat"});
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_TRUE(platform::FileExists(platform::JoinPath(deleted.path(), u"Deleted long name.txt")));
  EXPECT_FALSE(platform::FileExists(platform::JoinPath(deleted.path(), u"readme.txt")));
  EXPECT_FALSE(platform::FolderExists(platform::JoinPath(deleted.path(), u"Old Folder")));

  EXPECT_EQ(RunCli({"recover", Utf8(image), "--to", Utf8(out.path())}).code, kExitUsage);
  EXPECT_EQ(Recover(image, out.path(), {"--all", "--unknown-size", "-5"}).code, kExitUsage);
}

namespace {

using fat_testing::FatImageBuilder;
using FB = FatImageBuilder;

// A FAT16 volume whose names are what a hostile volume may hold: device names, reserved
// characters, separators, dots, a name of 255 characters, a path of over 400, and names
// that differ only by case.
std::vector<uint8_t> HostileVolume(size_t& files) {
  FatImageBuilder image(FatWidth::Fat16, 400);
  std::vector<fat_testing::Entry> root;
  uint32_t cluster = 10;
  files = 0;
  auto add = [&](std::vector<fat_testing::Entry>& folder, std::u16string name,
                 std::string shortName) {
    image.Stamp(cluster, static_cast<uint8_t>(cluster));
    image.Chain({cluster});
    auto entries = FB::NamedEntry(name, shortName, 0x20, cluster++, 300);
    folder.insert(folder.end(), entries.begin(), entries.end());
    ++files;
  };
  const std::u16string longName(255, u'n');
  add(root, u"con", "CON        ");
  add(root, u"aux.txt", "AUX     TXT");
  add(root, u"a:b", "A_B        ");
  add(root, u"x?.txt", "X_      TXT");
  add(root, u"back\\slash", "BACK_S~1   ");
  add(root, u"trail.", "TRAIL      ");
  add(root, u"..", "DOTDOT     ");
  add(root, u"../../x", "X~1        ");
  add(root, longName, "NNNNNN~1   ");
  add(root, u"Case.txt", "CASE    TXT");
  add(root, u"CASE.TXT", "CASE~1  TXT");
  // Folders nested to a path of more than 400 characters, a file at its end.
  uint32_t parent = 0;
  std::vector<fat_testing::Entry>* entries = &root;
  std::vector<std::vector<fat_testing::Entry>> levels(5);
  std::vector<uint32_t> folderClusters;
  for (int level = 0; level < 5; ++level) {
    const uint32_t folder = cluster++;
    image.Chain({folder, folder + 100});  // two clusters: room for long names
    auto named = FB::NamedEntry(std::u16string(90, static_cast<char16_t>(u'a' + level)),
                                "DIR" + std::to_string(level) + "       ", 0x10, folder, 0);
    named.back()[11] = 0x10;
    entries->insert(entries->end(), named.begin(), named.end());
    if (parent != 0) image.PutEntries(parent, *entries);
    folderClusters.push_back(folder);
    parent = folder;
    entries = &levels[level];
  }
  add(*entries, u"deep.txt", "DEEP    TXT");
  image.PutEntries(parent, *entries);
  image.PutEntries(0, root);
  return image.Bytes();
}

}  // namespace

TEST(RecoverCommand, HostileNamesAllLandBelowTheDestinationUnderDistinctNames) {
  size_t files = 0;
  const std::vector<uint8_t> bytes = HostileVolume(files);
  testing_support::TempFolder work;
  const std::u16string image = work.File(u"hostile.img");
  ASSERT_TRUE(testing_support::WriteWholeFile(image, bytes));
  const std::u16string out = work.File(u"out");
  const std::u16string beside = work.File(u"beside");
  ASSERT_TRUE(platform::CreateFolder(beside));
  const Outcome outcome = Recover(image, out, {"--all", "--format", "tsv"});
  EXPECT_EQ(outcome.code, 0) << outcome.err << outcome.out;

  std::set<std::string> targets;
  std::istringstream lines(outcome.out);
  std::string row;
  std::getline(lines, row);
  size_t written = 0;
  const std::string prefix = Utf8(out);
  while (std::getline(lines, row)) {
    std::vector<std::string> fields;
    std::istringstream split(row);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 4u) << row;
    if (fields[3] == "folder") continue;
    EXPECT_EQ(fields[3], "complete") << row;
    EXPECT_EQ(fields[1].rfind(prefix, 0), 0u) << row;
    EXPECT_TRUE(targets.insert(Utf8(platform::AsciiLower(platform::Utf8ToUtf16(fields[1])))).second)
        << "two files at " << fields[1];
    EXPECT_TRUE(platform::FileExists(platform::Utf8ToUtf16(fields[1]))) << fields[1];
    ++written;
  }
  EXPECT_EQ(written, files);
  // Nothing beside the destination or above it.
  std::error_code error;
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(Utf8(beside)), error));
  size_t entries = 0;
  for (auto it =
           std::filesystem::directory_iterator(std::filesystem::path(Utf8(work.path())), error);
       it != std::filesystem::directory_iterator(); ++it)
    ++entries;
  EXPECT_EQ(entries, 3u) << "the image, the destination and the folder beside it";
}
