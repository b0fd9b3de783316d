// Compressed files written by ntfs-3g (tests/fixtures/ntfs_compressed.sh) read back decoded:
// whole, at offsets that fall inside a compression unit or across units, in small pieces, and
// the deleted one too, on volumes of 4096-byte clusters (64 KiB units) and 512-byte ones (8 KiB).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

class NtfsCompressedImage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string name = std::string("ntfs/") + GetParam();
    const std::u16string image = testing_support::FixturePath(name + ".img");
    const std::u16string manifest = testing_support::FixturePath(name + ".manifest");
    const std::u16string compressed = testing_support::FixturePath(name + ".compressed");
    if (image.empty() || manifest.empty() || compressed.empty())
      GTEST_SKIP() << "no " << name << " fixture (tests/fixtures/ntfs_compressed.sh)";
    manifest_ = testing_support::ReadImageManifest(manifest);
    for (const std::string& line : testing_support::ReadTextLines(compressed))
      compressed_.push_back(platform::Utf8ToUtf16(line));
    volume_ = volume_testing::ImageVolume(image);
    volume_->SectorCount = std::filesystem::file_size(std::filesystem::path(image)) / kSectorSize;
    volume_->FileSystem->TypeCode = FsTypeNtfs;
    ntfs_ = std::make_unique<CFileSystem_NTFS>(*volume_, nullptr, &sink_);
    ntfs_->Analyse();
    ASSERT_TRUE(ntfs_->Layout()) << "the image was refused";
    paths_ = sink_.Paths(IdRootNtfs);
    ASSERT_GE(compressed_.size(), 8u);
  }

  FoundObject Object(const std::u16string& path) {
    auto found = paths_.find(path);
    if (found == paths_.end()) {
      ADD_FAILURE() << platform::Utf16ToUtf8(path) << " is not listed";
      return {};
    }
    FoundObject record = found->second->record;
    record.Name = found->second->name.c_str();
    return record;
  }

  std::vector<uint8_t> ReadAt(const FoundObject& record, uint64_t offset, uint32_t count) {
    std::vector<uint8_t> bytes(count);
    bytes.resize(ntfs_->FileRead(record, bytes.data(), offset, count));
    return bytes;
  }

  std::map<std::u16string, testing_support::ManifestLine> manifest_;
  std::vector<std::u16string> compressed_;
  std::unique_ptr<CVolume> volume_;
  CollectingSink sink_;
  std::unique_ptr<CFileSystem_NTFS> ntfs_;
  std::map<std::u16string, const Reported*> paths_;
};

}  // namespace

TEST_P(NtfsCompressedImage, EveryFileReadsBackDecodedByteForByte) {
  int files = 0;
  for (const auto& [path, line] : manifest_) {
    if (line.folder) continue;
    const FoundObject record = Object(path);
    if (!record.Name) continue;
    EXPECT_EQ(record.Flags & FoundDeleted ? 1 : 0, line.deleted ? 1 : 0);
    EXPECT_EQ(record.Size, line.size) << platform::Utf16ToUtf8(path);
    EXPECT_EQ(testing_support::Cksum(ReadObjectData(*ntfs_, record)), line.crc)
        << platform::Utf16ToUtf8(path);
    ++files;
  }
  EXPECT_GE(files, 12);
}

// Each read starts wherever it likes: inside a unit (which is decoded for it), across the end
// of one unit into the next, in a hole, and in pieces of an odd size that never line up with
// units or clusters. Every piece must be the same bytes as the whole file's at that place.
TEST_P(NtfsCompressedImage, ReadsAtAnyOffsetGiveTheBytesOfTheWholeFile) {
  const uint64_t unitBytes = 16 * ntfs_->Layout()->BytesPerCluster;
  for (const std::u16string& path : compressed_) {
    const std::string where = platform::Utf16ToUtf8(path);
    const FoundObject record = Object(path);
    if (!record.Name) continue;
    const std::vector<uint8_t> whole = ReadObjectData(*ntfs_, record);
    ASSERT_EQ(whole.size(), static_cast<size_t>(record.Size)) << where;
    const uint64_t size = whole.size();
    const uint64_t offsets[] = {
        1, 4095, unitBytes - 3, unitBytes + 1, 2 * unitBytes + 777, size / 2 + 1, size - 1};
    for (const uint64_t offset : offsets) {
      if (offset >= size) continue;
      const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(5000, size - offset));
      const std::vector<uint8_t> piece = ReadAt(record, offset, count);
      ASSERT_EQ(piece.size(), count) << where << " at " << offset;
      EXPECT_TRUE(std::equal(piece.begin(), piece.end(), whole.begin() + offset))
          << where << " at " << offset;
    }
    std::vector<uint8_t> pieces;
    for (uint64_t at = 0; at < size;) {
      const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(3001, size - at));
      const std::vector<uint8_t> piece = ReadAt(record, at, count);
      ASSERT_EQ(piece.size(), count) << where << " at " << at;
      pieces.insert(pieces.end(), piece.begin(), piece.end());
      at += count;
    }
    EXPECT_TRUE(pieces == whole) << where << " read in pieces of 3001 bytes";
  }
}

// Reading two compressed files by turns must not hand one of them the other's decoded unit.
TEST_P(NtfsCompressedImage, AlternatingFilesKeepTheirOwnUnits) {
  const FoundObject units = Object(u"packed/units.txt");
  const FoundObject nested = Object(u"packed/inner/nested.txt");
  if (!units.Name || !nested.Name) return;
  const std::vector<uint8_t> a = ReadObjectData(*ntfs_, units);
  const std::vector<uint8_t> b = ReadObjectData(*ntfs_, nested);
  for (uint64_t at : {100u, 200u, 70000u}) {
    const std::vector<uint8_t> fromA = ReadAt(units, at, 64);
    const std::vector<uint8_t> fromB = ReadAt(nested, at, 64);
    ASSERT_EQ(fromA.size(), 64u);
    ASSERT_EQ(fromB.size(), 64u);
    EXPECT_TRUE(std::equal(fromA.begin(), fromA.end(), a.begin() + at));
    EXPECT_TRUE(std::equal(fromB.begin(), fromB.end(), b.begin() + at));
  }
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsCompressedImage,
                         ::testing::Values("compressed", "compressed512"));
