// The NTFS analyser on images made by mkntfs and written through ntfs-3g
// (tests/fixtures/ntfs_images.sh): every file and folder written is listed with its path,
// state, size and modification time, its data reads back byte for byte (deleted files too),
// and the names agree with The Sleuth Kit's listing of the same image.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "filesystems/fat_test_support.h"
#include "filesystems/ntfs_analyser.h"
#include "platform/text.h"
#include "support/image_manifest.h"
#include "support/test_support.h"
#include "volumes/volume_test_support.h"

using fat_testing::CollectingSink;
using fat_testing::ReadObjectData;
using fat_testing::Reported;

namespace {

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
  const auto manifest = testing_support::ReadImageManifest(manifest_);
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
    EXPECT_EQ(testing_support::Cksum(ReadObjectData(*analysis_->ntfs, record)), line.crc) << where;
  }
  // Besides what was written: the system files, live, and what the script removed on its way
  // (the filler files that fragment a file), deleted.
  for (const auto& [path, object] : paths) {
    if (!manifest.count(path)) {
      EXPECT_TRUE(path.starts_with(u"$") || object->deleted()) << platform::Utf16ToUtf8(path);
    }
  }
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
  for (const std::string& line : testing_support::ReadTextLines(fls_)) {
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
