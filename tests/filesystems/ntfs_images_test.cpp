// The NTFS analyser on images made by mkntfs and written through ntfs-3g
// (tests/fixtures/ntfs_images.sh): every file and folder written is listed with its path,
// state, size and modification time, its data reads back byte for byte (deleted files too),
// and the names agree with The Sleuth Kit's listing of the same image.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "filesystems/fat_test_support.h"
#include "filesystems/ntfs_analyser.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "volumes/volume_test_support.h"

using fat_testing::CollectingSink;
using fat_testing::Reported;

namespace {

struct ManifestLine {
  bool deleted = false;
  bool folder = false;
  int64_t size = 0;
  uint32_t crc = 0;
  bool intact = false;
  int64_t mtime = 0;
};

std::vector<std::string> Lines(const std::u16string& path) {
  std::vector<uint8_t> bytes = testing_support::ReadWholeFile(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::map<std::u16string, ManifestLine> ReadManifest(const std::u16string& path) {
  std::map<std::u16string, ManifestLine> manifest;
  for (const std::string& line : Lines(path)) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
    if (f.size() != 7) continue;
    ManifestLine m;
    m.deleted = f[0] == "deleted";
    m.folder = f[1] == "folder";
    m.size = std::stoll(f[2]);
    m.crc = f[3] == "-" ? 0 : static_cast<uint32_t>(std::stoul(f[3]));
    m.intact = f[4] == "yes";
    m.mtime = std::stoll(f[5]);
    manifest[platform::Utf8ToUtf16(f[6])] = m;
  }
  return manifest;
}

// POSIX cksum: CRC-32 (polynomial 0x04C11DB7, most significant bit first) over the bytes and
// then the length, complemented.
uint32_t Cksum(const std::vector<uint8_t>& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0;
  auto step = [&](uint8_t b) { crc = (crc << 8) ^ table[(crc >> 24) ^ b]; };
  for (uint8_t b : bytes) step(b);
  for (uint64_t length = bytes.size(); length != 0; length >>= 8) step(static_cast<uint8_t>(length));
  return ~crc;
}

// The object's data as the recovery reads it: pieces of 64 KiB up to the size.
std::vector<uint8_t> ReadObject(CFileSystem& fs, const FoundObject& record) {
  std::vector<uint8_t> data(static_cast<size_t>(record.Size));
  constexpr uint32_t kPiece = 65536;
  for (uint64_t done = 0; done < data.size();) {
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kPiece, data.size() - done));
    const uint32_t got = fs.FileRead(record, data.data() + done, done, want);
    if (got == 0) return {};
    done += got;
  }
  return data;
}

struct ImageAnalysis {
  std::unique_ptr<CVolume> volume;
  CollectingSink sink;
  std::unique_ptr<CFileSystem_NTFS> ntfs;
};

std::unique_ptr<ImageAnalysis> AnalyseImage(const std::u16string& path) {
  auto analysis = std::make_unique<ImageAnalysis>();
  analysis->volume = volume_testing::ImageVolume(path);
  CVolume& volume = *analysis->volume;
  volume.SectorCount = std::filesystem::file_size(std::filesystem::path(path)) / kSectorSize;
  volume.FileSystem->TypeCode = FsTypeNtfs;
  analysis->ntfs = std::make_unique<CFileSystem_NTFS>(volume, nullptr, &analysis->sink);
  analysis->ntfs->Analyse();
  return analysis;
}

class NtfsImage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string name = std::string("ntfs/") + GetParam();
    image_ = testing_support::FixturePath(name + ".img");
    manifest_ = testing_support::FixturePath(name + ".manifest");
    fls_ = testing_support::FixturePath(name + ".fls");
    if (image_.empty() || manifest_.empty())
      GTEST_SKIP() << "no " << name << " fixture (tests/fixtures/ntfs_images.sh)";
    analysis_ = AnalyseImage(image_);
    ASSERT_TRUE(analysis_->ntfs->Layout()) << "the image was refused";
  }
  std::u16string image_, manifest_, fls_;
  std::unique_ptr<ImageAnalysis> analysis_;
};

}  // namespace

TEST_P(NtfsImage, ListsEveryWrittenObjectWithItsPathStateSizeTimeAndBytes) {
  const auto manifest = ReadManifest(manifest_);
  ASSERT_GT(manifest.size(), 1u);
  const auto paths = analysis_->sink.Paths(IdRootNtfs);
  for (const auto& [path, line] : manifest) {
    const std::string where = platform::Utf16ToUtf8(path);
    auto found = paths.find(path);
    if (found == paths.end()) {
      ADD_FAILURE() << where << " is not listed";
      continue;
    }
    const Reported& object = *found->second;
    EXPECT_EQ(object.deleted(), line.deleted) << where;
    EXPECT_EQ(object.folder(), line.folder) << where;
    if (line.folder) continue;
    EXPECT_EQ(object.record.Size, line.size) << where;
    EXPECT_EQ(object.record.Modified, platform::UnixTimeToFileTime(line.mtime)) << where;
    if (!line.intact) continue;
    FoundObject record = object.record;
    record.Name = object.name.c_str();
    EXPECT_EQ(Cksum(ReadObject(*analysis_->ntfs, record)), line.crc) << where;
  }
  // Besides what was written: the system files, live, and what the script removed on its way
  // (the filler files that fragment a file), deleted.
  for (const auto& [path, object] : paths)
    if (!manifest.count(path))
      EXPECT_TRUE(path.starts_with(u"$") || object->deleted()) << platform::Utf16ToUtf8(path);
}

// A live file's first cluster is allocated; a removed file's cluster is free again.
TEST_P(NtfsImage, FillsTheClusterBitmapFromBitmapRecord) {
  const CBitArray& bitmap = analysis_->volume->ClusterBitmap;
  ASSERT_GE(bitmap.BitCount(), analysis_->ntfs->Layout()->ClusterCount);
  EXPECT_EQ(bitmap.Get(0), 1) << "the boot sector's cluster";
  EXPECT_EQ(bitmap.Get(analysis_->ntfs->Layout()->MftCluster), 1);
  int checked = 0;
  for (const Reported& object : analysis_->sink.objects) {
    if (object.folder() || object.record.Start == 0 || object.name.starts_with(u"$")) continue;
    // Removed last, so nothing took its clusters; the fillers' clusters went to later files.
    if (object.deleted() && object.name != u"gone.bin") continue;
    EXPECT_EQ(bitmap.Get(static_cast<uint64_t>(object.record.FirstCluster)),
              object.deleted() ? 0 : 1)
        << platform::Utf16ToUtf8(object.name);
    ++checked;
  }
  EXPECT_GE(checked, 1);
}

// fls -r -p builds its listing from the folder indexes; this analyser from the MFT records.
// Left out of the comparison: system files and their streams ($MFT, $Extend/..., named
// streams after ':'), TSK's $OrphanFiles and objects we cannot place ("?/"), and names TSK
// finds in index slack whose record went to another file ("(realloc)").
TEST_P(NtfsImage, NamesAgreeWithTheSleuthKit) {
  if (fls_.empty()) GTEST_SKIP() << "no fls listing (The Sleuth Kit is not installed)";
  auto ignored = [](const std::u16string& path) {
    return path.starts_with(u"$") || path.starts_with(u"?/") || path.find(u':') != path.npos;
  };
  std::set<std::pair<std::u16string, bool>> theirs, ours;
  for (const std::string& line : Lines(fls_)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || line.find("(realloc)") < tab) continue;
    const std::u16string path = platform::Utf8ToUtf16(line.substr(tab + 1));
    if (ignored(path)) continue;
    theirs.emplace(path, line.find(" * ") < tab);
  }
  for (const auto& [path, object] : analysis_->sink.Paths(IdRootNtfs))
    if (!ignored(path)) ours.emplace(path, object->deleted());
  EXPECT_EQ(ours, theirs);
}

INSTANTIATE_TEST_SUITE_P(MadeByNtfs3g, NtfsImage, ::testing::Values("basic", "listed", "record4k"));
