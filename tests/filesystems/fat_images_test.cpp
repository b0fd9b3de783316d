// The FAT analyser on images made by mkfs.fat and mtools (tests/fixtures/fat_images.sh): every
// file and folder written is listed with its path, state, size and times, its data reads back
// byte for byte, and the names agree with The Sleuth Kit's listing of the same image.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "filesystems/fat_analyser.h"
#include "filesystems/fat_test_support.h"
#include "platform/text.h"
#include "support/image_manifest.h"
#include "support/test_support.h"
#include "volumes/volume_test_support.h"

using namespace fat_testing;

namespace {

struct ImageAnalysis {
  std::unique_ptr<CVolume> volume;
  CollectingSink sink;
  std::unique_ptr<CFileSystem_FAT> fat;
  int32_t rootId = 0;
};

std::unique_ptr<ImageAnalysis> AnalyseImage(const std::u16string& path) {
  auto analysis = std::make_unique<ImageAnalysis>();
  analysis->volume = volume_testing::ImageVolume(path);
  CVolume& volume = *analysis->volume;
  std::vector<uint8_t> boot(kSectorSize);
  if (volume.ReadSectors(boot.data(), 0, 1) != kSectorSize) return nullptr;
  volume.SectorCount = std::filesystem::file_size(std::filesystem::path(path)) / kSectorSize;
  volume.FileSystem->TypeCode = CFileSystem::DetectFromBootSector(boot);
  analysis->rootId = RootIdForType(volume.FileSystem->TypeCode);
  analysis->fat = std::make_unique<CFileSystem_FAT>(volume, nullptr, &analysis->sink);
  analysis->fat->Analyse();
  return analysis;
}

class FatImage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string name = std::string("fat/") + GetParam();
    image_ = testing_support::FixturePath(name + ".img");
    manifest_ = testing_support::FixturePath(name + ".manifest");
    fls_ = testing_support::FixturePath(name + ".fls");
    if (image_.empty() || manifest_.empty())
      GTEST_SKIP() << "no " << name << " fixture (tests/fixtures/fat_images.sh)";
    analysis_ = AnalyseImage(image_);
    ASSERT_TRUE(analysis_);
  }
  std::u16string image_, manifest_, fls_;
  std::unique_ptr<ImageAnalysis> analysis_;
};

}  // namespace

TEST_P(FatImage, ListsEveryWrittenObjectWithItsPathStateSizeTimesAndBytes) {
  const auto manifest = testing_support::ReadImageManifest(manifest_);
  ASSERT_GT(manifest.size(), 30u);
  const auto paths = analysis_->sink.Paths(analysis_->rootId);
  EXPECT_EQ(paths.size(), analysis_->sink.objects.size()) << "an object was listed twice";

  std::set<std::u16string> listed, written;
  for (const auto& [path, object] : paths) listed.insert(path);
  for (const auto& [path, line] : manifest) written.insert(path);
  EXPECT_EQ(listed, written);

  for (const auto& [path, line] : manifest) {
    auto found = paths.find(path);
    if (found == paths.end()) continue;
    const Reported& object = *found->second;
    const std::string where = platform::Utf16ToUtf8(path);
    EXPECT_EQ(object.deleted(), line.deleted) << where;
    EXPECT_EQ(object.folder(), line.folder) << where;
    if (line.folder) continue;
    EXPECT_EQ(object.record.Size, line.size) << where;
    EXPECT_EQ(object.record.Modified, platform::UnixTimeToFileTime(line.mtime)) << where;
    EXPECT_EQ(object.record.Created, platform::UnixTimeToFileTime(line.mtime)) << where;
    if (!line.intact) continue;
    FoundObject record = object.record;
    record.Name = object.name.c_str();
    EXPECT_EQ(testing_support::Cksum(ReadObjectData(*analysis_->fat, record)), line.crc) << where;
  }
}

// fls -r -p lists what is in the folders as we do, and adds entries of its own: the volume
// label, the virtual files $MBR, $FAT1 and $FAT2, and $OrphanFiles with what it holds.
TEST_P(FatImage, NamesAgreeWithTheSleuthKit) {
  if (fls_.empty()) GTEST_SKIP() << "no fls listing (The Sleuth Kit is not installed)";
  std::set<std::pair<std::u16string, bool>> theirs, ours;
  for (const std::string& line : testing_support::ReadTextLines(fls_)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string path = line.substr(tab + 1);
    if (path.find("(Volume Label Entry)") != std::string::npos || path.rfind("$", 0) == 0) continue;
    const bool deleted = line.find(" * ") != std::string::npos && line.find(" * ") < tab;
    theirs.emplace(platform::Utf8ToUtf16(path), deleted);
  }
  for (const auto& [path, object] : analysis_->sink.Paths(analysis_->rootId))
    ours.emplace(path, object->deleted());
  EXPECT_EQ(ours, theirs);
}

INSTANTIATE_TEST_SUITE_P(MadeByMtools, FatImage,
                         ::testing::Values("fat12", "fat16", "fat32", "fat16-4k"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });
