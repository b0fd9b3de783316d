// lumenard-cli recover on images whose files are hard to give back: names that Windows or a
// path would take for something else (tests/fixtures/hostile_names.sh) and NTFS compressed
// files (tests/fixtures/ntfs_compressed.sh). Every file must land below the destination under a
// name of its own with its bytes, nothing may appear beside the destination, and compressed
// files must come back decoded.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/command.h"
#include "cli_runner.h"
#include "platform/text.h"
#include "support/image_manifest.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Cksum;

struct Row {
  std::string source;
  std::string target;
  std::string outcome;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// On Windows, paths past 260 characters are reached only in their long form (\\?\ before an
// absolute path); the hostile image has a path of more than 400.
constexpr std::u16string_view kLongPrefix = u"\\\\?\\";

fs::path LongForm(const fs::path& path) {
#ifdef _WIN32
  const std::u16string text = path.u16string();
  if (text.starts_with(kLongPrefix)) return path;
  return fs::path(std::u16string(kLongPrefix) + fs::absolute(path).make_preferred().u16string());
#else
  return path;
#endif
}

fs::path PathOf(const std::string& utf8) { return LongForm(fs::path(platform::Utf8ToUtf16(utf8))); }

// The path without the long-form prefix, with '..' and '.' resolved by their names alone (the
// program's targets are built from names, so this is what their place on the disk would be).
fs::path Plain(const fs::path& path) {
  std::u16string text = path.u16string();
  if (text.starts_with(kLongPrefix)) text.erase(0, kLongPrefix.size());
  return fs::path(text).make_preferred().lexically_normal();
}

std::vector<uint8_t> Bytes(const fs::path& path) {
  return testing_support::ReadWholeFile(path.u16string());
}

// The rows of recover --format tsv, one per object.
std::vector<Row> Recover(const std::u16string& image, const std::u16string& destination) {
  const cli_testing::Outcome run =
      cli_testing::RunCli({"recover", platform::Utf16ToUtf8(image), "--to",
                           platform::Utf16ToUtf8(destination), "--all", "--format", "tsv"});
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  std::vector<Row> rows;
  const std::vector<std::string> lines = Split(run.out, '\n');
  EXPECT_FALSE(lines.empty());
  for (size_t n = 1; n < lines.size(); ++n) {
    const std::vector<std::string> fields = Split(lines[n], '\t');
    EXPECT_EQ(fields.size(), 4u) << lines[n];
    if (fields.size() == 4) rows.push_back({fields[0], fields[1], fields[3]});
  }
  return rows;
}

bool Below(const fs::path& path, const fs::path& folder) {
  const fs::path relative = Plain(path).lexically_relative(Plain(folder));
  return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
}

// The manifest's lines in order: a deleted and a live file may share a path.
std::vector<std::pair<std::string, testing_support::ManifestLine>> ManifestLines(
    const std::u16string& path) {
  std::vector<std::pair<std::string, testing_support::ManifestLine>> lines;
  for (const std::string& text : testing_support::ReadTextLines(path)) {
    const std::vector<std::string> fields = Split(text, '\t');
    if (fields.size() != 7) continue;
    testing_support::ManifestLine line;
    line.deleted = fields[0] == "deleted";
    line.folder = fields[1] == "folder";
    line.size = std::stoll(fields[2]);
    line.crc = line.folder ? 0 : static_cast<uint32_t>(std::stoul(fields[3]));
    line.intact = fields[4] == "yes";
    lines.emplace_back(fields[6], line);
  }
  return lines;
}

class RecoverImage : public ::testing::Test {
 protected:
  bool Prepare(const std::string& image, const std::string& manifest) {
    image_ = testing_support::FixturePath(image);
    manifest_ = testing_support::FixturePath(manifest);
    if (image_.empty() || manifest_.empty()) return false;
    destination_ = LongForm(fs::path(folder_.path()) / "dest");
    beside_ = LongForm(fs::path(folder_.path()) / "beside");
    fs::create_directories(destination_);
    fs::create_directories(beside_);
    return true;
  }
  // Every regular file below the destination, with its bytes' cksum. MinGW's folder iterator
  // cannot open folders past 260 characters (under Wine, even in the long form): the files
  // reported in such a folder are taken from the report, each read by its own path.
  std::multimap<uint32_t, fs::path> FilesWritten(const std::vector<Row>& rows) const {
    std::multimap<uint32_t, fs::path> files;
    std::vector<fs::path> folders{destination_}, unopened;
    while (!folders.empty()) {
      const fs::path folder = folders.back();
      folders.pop_back();
      std::error_code error;
      fs::directory_iterator entries(folder, error);
      if (error) {
        unopened.push_back(Plain(folder));
        continue;
      }
      for (const fs::directory_entry& entry : entries) {
        if (entry.is_directory())
          folders.push_back(entry.path());
        else if (entry.is_regular_file())
          files.emplace(Cksum(Bytes(entry.path())), entry.path());
      }
    }
#ifndef _WIN32
    EXPECT_TRUE(unopened.empty()) << Plain(unopened.front()).string() << " cannot be listed";
#endif
    for (const Row& row : rows) {
      const fs::path target = PathOf(row.target);
      if (row.outcome == "folder" || !fs::is_regular_file(target)) continue;
      for (const fs::path& folder : unopened) {
        const fs::path relative = Plain(target).lexically_relative(folder);
        if (!relative.empty() && *relative.begin() != "..") {
          files.emplace(Cksum(Bytes(target)), target);
          break;
        }
      }
    }
    return files;
  }

  testing_support::TempFolder folder_;
  std::u16string image_, manifest_;
  fs::path destination_, beside_;
};

}  // namespace

// The names' files carry their own names in their bytes, so each is told apart by its cksum
// whatever name it came back under.
TEST_F(RecoverImage, HostileNamesLandBelowTheDestinationEachUnderItsOwnName) {
  if (!Prepare("hostile/names.img", "hostile/names.manifest"))
    GTEST_SKIP() << "no hostile names image (tests/fixtures/hostile_names.sh)";
  const std::vector<Row> rows = Recover(image_, Plain(destination_).u16string());
  std::set<fs::path> targets;
  size_t files = 0;
  for (const Row& row : rows) {
    const fs::path target = PathOf(row.target);
    EXPECT_TRUE(Below(target, destination_)) << row.source << " went to " << row.target;
    if (row.outcome == "folder") continue;
    ++files;
    EXPECT_EQ(row.outcome, "complete") << row.source;
    EXPECT_TRUE(targets.insert(target).second) << row.target << " written twice";
    EXPECT_TRUE(fs::is_regular_file(target)) << row.target;
  }
  std::multimap<uint32_t, fs::path> written = FilesWritten(rows);
  EXPECT_EQ(written.size(), files) << "files below the destination and files reported differ";
  int checked = 0;
  for (const auto& [path, line] : ManifestLines(manifest_)) {
    if (line.folder || !line.intact) continue;
    const auto found = written.find(line.crc);
    EXPECT_NE(found, written.end()) << path << " did not come back with its bytes";
    if (found == written.end()) continue;
    EXPECT_EQ(fs::file_size(found->second), static_cast<uintmax_t>(line.size)) << path;
    written.erase(found);
    ++checked;
  }
  EXPECT_GE(checked, 25);
  EXPECT_TRUE(fs::is_empty(beside_)) << "a file was written beside the destination";
  size_t inRoot = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(LongForm(folder_.path()))) {
    (void)entry;
    ++inRoot;
  }
  EXPECT_EQ(inRoot, 2u) << "something was written next to the destination";
}

// Compressed files (and the deleted one) come back as their decoded bytes, not as stored.
TEST_F(RecoverImage, CompressedFilesComeBackDecoded) {
  if (!Prepare("ntfs/compressed.img", "ntfs/compressed.manifest"))
    GTEST_SKIP() << "no compressed-files image (tests/fixtures/ntfs_compressed.sh)";
  std::multimap<std::string, fs::path> bySource;
  for (const Row& row : Recover(image_, Plain(destination_).u16string()))
    if (row.outcome != "folder") bySource.emplace(row.source, PathOf(row.target));
  int checked = 0;
  for (const auto& [path, line] : ManifestLines(manifest_)) {
    if (line.folder) continue;
    bool same = false;
    const auto [first, last] = bySource.equal_range(path);
    for (auto it = first; it != last; ++it) {
      const std::vector<uint8_t> bytes = Bytes(it->second);
      same = same || (bytes.size() == static_cast<size_t>(line.size) && Cksum(bytes) == line.crc);
    }
    EXPECT_TRUE(same) << path << " did not come back decoded";
    ++checked;
  }
  EXPECT_GE(checked, 12);
  EXPECT_TRUE(fs::is_empty(beside_));
}
