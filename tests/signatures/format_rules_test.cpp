// The format rules on lost files: compound documents built byte by byte (their sizes, their
// subtypes from the directory, damaged and hostile headers), bitmap and AVI sizes, the start
// correction of type 526, and header sizes that the store keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filesystems/found_object_store.h"
#include "signatures/compound_document.h"
#include "signatures/file_types.h"
#include "signatures/format_rules.h"
#include "volumes/volume.h"

namespace {

// A volume over a byte buffer that may claim more sectors than it holds; reads of sectors it
// does not hold fail, as do reads of the sectors in failing.
class BufferVolume : public CVolume {
 public:
  explicit BufferVolume(size_t bytes, uint64_t claimedSectors = 0) : bytes_(bytes) {
    Kind = VolumeKindImage;
    SectorCount = claimedSectors ? claimedSectors : bytes / kSectorSize;
  }
  uint32_t ReadSectors(void* buffer, uint64_t first, uint64_t count) override {
    ++reads;
    const uint64_t held = bytes_.size() / kSectorSize;
    if (count == 0 || first >= held || count > held - first) return 0;
    for (uint64_t sector = first; sector < first + count; ++sector)
      if (sector == failing) return 0;
    std::memcpy(buffer, bytes_.data() + first * kSectorSize, count * kSectorSize);
    return static_cast<uint32_t>(count * kSectorSize);
  }
  uint8_t* At(size_t position) { return bytes_.data() + position; }
  std::span<const uint8_t> All() const { return bytes_; }
  int reads = 0;
  uint64_t failing = UINT64_MAX;

 private:
  std::vector<uint8_t> bytes_;
};

void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
void Put32(uint8_t* at, uint32_t value) {
  Put16(at, static_cast<uint16_t>(value));
  Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

// A compound document at start: its header and a directory of the named entries.
struct Document {
  uint32_t shift = 9;
  uint32_t fatSectors = 1;
  uint32_t directorySector = 1;
  std::vector<std::u16string> entries{u"Root Entry"};

  uint64_t DirectoryOffset() const { return (uint64_t{directorySector} + 1) << shift; }

  void WriteTo(BufferVolume& volume, size_t start) const {
    uint8_t* header = volume.At(start);
    std::memcpy(header, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    Put16(header + 26, shift == 12 ? 4 : 3);
    Put16(header + 28, 0xFFFE);
    Put16(header + 30, static_cast<uint16_t>(shift));
    Put32(header + 44, fatSectors);
    Put32(header + 48, directorySector);
    for (size_t i = 0; i < entries.size(); ++i) {
      uint8_t* entry = volume.At(start + DirectoryOffset() + i * kCompoundEntrySize);
      for (size_t c = 0; c < entries[i].size() && c < 32; ++c) Put16(entry + 2 * c, entries[i][c]);
      Put16(entry + 64, static_cast<uint16_t>(2 * (entries[i].size() + 1)));
      entry[66] = i == 0 ? 5 : 2;
    }
  }
};

FoundObject Candidate(int64_t start, int16_t type) {
  FoundObject object;
  ResetFoundObject(object);
  object.Flags = FoundLost | FoundDeleted;
  object.Start = start;
  object.FirstCluster = start / kSectorSize;
  object.FileTypeId = type;
  return object;
}

// The rules as the scanner runs them, with the whole volume as the block.
FoundObject Apply(BufferVolume& volume, int64_t start, int16_t type) {
  FoundObject object = Candidate(start, type);
  ApplyFormatRules(volume, volume.All(), static_cast<size_t>(start), object);
  return object;
}

constexpr size_t kMiB = 1024 * 1024;

TEST(CompoundDocumentTest, SizeAndDirectoryFollowTheSectorSize) {
  BufferVolume volume(8 * kMiB);
  Document word;
  word.entries = {u"Root Entry",
                  u"\x01"
                  u"CompObj",
                  u"1Table", u"WordDocument"};
  word.WriteTo(volume, 1024);
  FoundObject object = Apply(volume, 1024, kTypeCompoundDocumentId);
  EXPECT_EQ(object.FileTypeId, 502);
  EXPECT_EQ(object.Size, 65536) << "128 sectors of 512 bytes for one allocation-table sector";
  EXPECT_TRUE(object.Flags & FoundSizeFromHeader);
  EXPECT_TRUE(object.Flags & FoundLost);

  Document excel;
  excel.shift = 12;
  excel.directorySector = 3;
  excel.entries = {u"Root Entry", u"Workbook"};
  excel.WriteTo(volume, 2 * kMiB);
  object = Apply(volume, 2 * kMiB, kTypeCompoundDocumentId);
  EXPECT_EQ(object.FileTypeId, 501);
  EXPECT_EQ(object.Size, 1024 * 4096);

  // The directory is read at (dir + 1) sectors: one sector off and the root is missed.
  Document shifted = excel;
  shifted.entries = {u"Root Entry", u"PowerPoint Document"};
  shifted.WriteTo(volume, 6 * kMiB);
  Put32(volume.At(6 * kMiB + 48), 2);
  EXPECT_EQ(Apply(volume, 6 * kMiB, kTypeCompoundDocumentId).FileTypeId, 500);
  Put32(volume.At(6 * kMiB + 48), 3);
  EXPECT_EQ(Apply(volume, 6 * kMiB, kTypeCompoundDocumentId).FileTypeId, 503);
}

TEST(CompoundDocumentTest, TheFirstNamedEntryInDirectoryOrderGivesTheSubtype) {
  auto subtype = [](std::vector<std::u16string> entries) {
    BufferVolume volume(64 * 1024);
    Document document;
    document.entries = std::move(entries);
    document.WriteTo(volume, 0);
    return Apply(volume, 0, kTypeCompoundDocumentId).FileTypeId;
  };
  EXPECT_EQ(subtype({u"Root Entry", u"WordDocument", u"Workbook"}), 502);
  EXPECT_EQ(subtype({u"Root Entry", u"Workbook", u"WordDocument"}), 501);
  EXPECT_EQ(subtype({u"ROOT ENTRY", u"powerpoint document"}), 503) << "case is ignored";
  EXPECT_EQ(subtype({u"Root Entry", u"Contents", u"Symbol 12"}), 523);
  EXPECT_EQ(subtype({u"Root Entry", u"Symbolic"}), 500) << "the blank belongs to the name";
  EXPECT_EQ(subtype({u"Root Entry", u"Symbol"}), 500);
  EXPECT_EQ(subtype({u"Root Entry", u"WordDocuments"}), 500) << "the other names are whole";
  EXPECT_EQ(subtype({u"Root Entry", u"VisioDocument"}), 505);
  EXPECT_EQ(subtype({u"Root Entry", u"BodyText"}), 521);
  EXPECT_EQ(subtype({u"Storage", u"WordDocument"}), 500) << "no root, no subtype";
  EXPECT_EQ(subtype({u"Root Entry"}), 500);

  // A name that fills its 64 bytes without a terminator is read within them.
  std::u16string filled = u"Symbol " + std::u16string(25, u'x');
  EXPECT_EQ(subtype({u"Root Entry", filled}), 523);
}

TEST(CompoundDocumentTest, DamagedAndHostileHeadersKeepTheStorageType) {
  BufferVolume volume(256 * 1024);
  for (uint32_t shift : {0u, 6u, 17u, 31u, 40u, 0xFFFFu}) {
    Document document;
    document.WriteTo(volume, 0);
    Put16(volume.At(30), static_cast<uint16_t>(shift));
    FoundObject object = Apply(volume, 0, kTypeCompoundDocumentId);
    EXPECT_EQ(object.FileTypeId, 500) << shift;
    EXPECT_EQ(object.Size, -1) << shift;
    EXPECT_FALSE(object.Flags & FoundSizeFromHeader) << shift;
  }

  // No allocation table: no size, but the directory still types it.
  Document empty;
  empty.fatSectors = 0;
  empty.entries = {u"Root Entry", u"WordDocument"};
  empty.WriteTo(volume, 0);
  FoundObject object = Apply(volume, 0, kTypeCompoundDocumentId);
  EXPECT_EQ(object.Size, -1);

  // The largest table at 64 KiB sectors: computed in 64 bits, cut at the volume's end.
  Document huge;
  huge.shift = 16;
  huge.fatSectors = 0xFFFFFFFF;
  huge.directorySector = 0xFFFFFFFE;
  huge.entries = {};
  huge.WriteTo(volume, 4096);
  object = Apply(volume, 4096, kTypeCompoundDocumentId);
  EXPECT_EQ(object.FileTypeId, 500) << "a directory beyond the volume is not read";
  EXPECT_EQ(object.Size, 256 * 1024 - 4096);

  BufferVolume claimsMore(64 * 1024, uint64_t{1} << 54);
  huge.WriteTo(claimsMore, 0);
  object = Apply(claimsMore, 0, kTypeCompoundDocumentId);
  EXPECT_EQ(object.Size, int64_t{16384} * 0xFFFFFFFFll * 65536);
  EXPECT_EQ(object.FileTypeId, 500) << "a directory the volume cannot read keeps type 500";
}

TEST(CompoundDocumentTest, DirectoryPastTheBlockIsReadFromTheVolumeAndCutAtItsEnd) {
  BufferVolume volume(64 * 1024);
  Document document;
  document.directorySector = 40;
  document.entries = {u"Root Entry", u"Workbook"};
  document.WriteTo(volume, 8192);
  // The scanner's block ends before the directory: the rule reads it.
  FoundObject object = Candidate(8192, kTypeCompoundDocumentId);
  ApplyFormatRules(volume, volume.All().subspan(8192, 512), 0, object);
  EXPECT_EQ(object.FileTypeId, 501);
  EXPECT_GT(volume.reads, 0);

  // Only two entries fit before the volume's end.
  BufferVolume small(16 * 1024);
  Document atEnd;
  atEnd.directorySector = 29;  // the last 256 bytes of the volume
  atEnd.entries = {u"Root Entry", u"PowerPoint Document"};
  atEnd.WriteTo(small, 512);
  EXPECT_EQ(Apply(small, 512, kTypeCompoundDocumentId).FileTypeId, 503);

  // A directory whose sectors fail to read leaves the document of type 500, not of none.
  small.failing = (512 + 30 * 512) / kSectorSize;
  object = Candidate(512, kTypeCompoundDocumentId);
  ApplyFormatRules(small, small.All().subspan(0, 1024), 512, object);
  EXPECT_EQ(object.FileTypeId, 500);
  EXPECT_EQ(object.Size, 16 * 1024 - 512) << "the size stays, cut at the volume's end";
}

TEST(CompoundDocumentTest, SmallSectorsPlaceTheDirectoryInsideASector) {
  // 128-byte sectors: the directory at (1 + 1) * 128 = 256 bytes into the file.
  BufferVolume volume(16 * 1024);
  Document document;
  document.shift = 7;
  document.entries = {u"Root Entry", u"Envelope"};
  uint8_t header[512];
  document.WriteTo(volume, 1024);
  std::memcpy(header, volume.At(1024), sizeof header);
  FoundObject object = Candidate(1024, kTypeCompoundDocumentId);
  ApplyFormatRules(volume, std::span<const uint8_t>(header, 300), 0, object);
  EXPECT_EQ(object.FileTypeId, 508);
  EXPECT_EQ(object.Size, 32 * 128);
}

TEST(FormatRulesTest, BitmapAndAviSizesComeFromTheirHeaders) {
  BufferVolume volume(64 * 1024, uint64_t{1} << 40);
  std::memcpy(volume.At(0), "BM", 2);
  Put32(volume.At(2), 1000000);
  FoundObject bitmap = Apply(volume, 0, kTypeBitmap);
  EXPECT_EQ(bitmap.Size, 1000000);
  EXPECT_TRUE(bitmap.Flags & FoundSizeFromHeader);

  Put32(volume.At(2), 10);
  bitmap = Apply(volume, 0, kTypeBitmap);
  EXPECT_EQ(bitmap.Size, -1) << "smaller than any bitmap header";
  EXPECT_FALSE(bitmap.Flags & FoundSizeFromHeader);

  std::memcpy(volume.At(512),
              "RIFF\xF0\xFF\xFF\xFF"
              "AVI ",
              12);
  FoundObject avi = Apply(volume, 512, kTypeAvi);
  EXPECT_EQ(avi.Size, 0xFFFFFFF0ll + 2048) << "in 64 bits";
  EXPECT_TRUE(avi.Flags & FoundSizeFromHeader);

  // A header size never runs past the volume's end.
  BufferVolume small(64 * 1024);
  std::memcpy(small.At(4096),
              "RIFF\x00\x00\x01\x00"
              "AVI ",
              12);
  EXPECT_EQ(Apply(small, 4096, kTypeAvi).Size, 60 * 1024);

  // Other types are left alone.
  FoundObject other = Apply(volume, 0, 40);
  EXPECT_EQ(other.Size, -1);
  EXPECT_EQ(other.Flags, FoundLost | FoundDeleted);
}

TEST(FormatRulesTest, StartCorrectionAndRecordFragment) {
  BufferVolume volume(128 * 1024);
  FoundObject moved = Apply(volume, 40960, kTypeSignatureAt32K);
  EXPECT_EQ(moved.Start, 40960 - 32768);
  EXPECT_EQ(moved.FirstCluster, 40960 / 512) << "the matched unit's cluster stays";
  EXPECT_EQ(Apply(volume, 32768, kTypeSignatureAt32K).Start, 0);
  EXPECT_EQ(Apply(volume, 16384, kTypeSignatureAt32K).Start, 16384) << "never below the drive";

  FoundObject record = Apply(volume, 4096, kTypeNtfsIndexRecord);
  EXPECT_EQ(record.Id, IdFragment);
  EXPECT_EQ(record.Flags, FoundFragment);
}

TEST(FormatRulesTest, TheStoreKeepsHeaderSizesAndListsWhatLiesInside) {
  FileTypeDatabase types;
  for (FileType& type : BuiltinTypes()) types.AddType(std::move(type));
  const int16_t jpeg = static_cast<int16_t>(types.Types().front()->TypeId);
  FoundObjectStore store(&types);
  store.EnablePositionIndex();

  BufferVolume volume(4 * kMiB);
  std::memcpy(volume.At(kMiB), "BM", 2);
  Put32(volume.At(kMiB + 2), 500000);
  std::memcpy(volume.At(2 * kMiB),
              "RIFF\x00\x00\x02\x00"
              "AVI ",
              12);

  FoundObject* before = store.AddLostObject(Candidate(4096, jpeg), nullptr);
  FoundObject* avi = store.AddLostObject(Apply(volume, 2 * kMiB, kTypeAvi), nullptr);
  FoundObject* bitmap = store.AddLostObject(Apply(volume, kMiB, kTypeBitmap), nullptr);
  FoundObject* inside = store.AddLostObject(Candidate(kMiB + 8192, jpeg), nullptr);
  FoundObject* frame = store.AddLostObject(Candidate(2 * kMiB + 4096, jpeg), nullptr);
  FoundObject* after = store.AddLostObject(Candidate(3 * kMiB, jpeg), nullptr);
  for (FoundObject* object : {before, avi, bitmap, inside, frame, after})
    ASSERT_NE(object, nullptr);

  EXPECT_EQ(bitmap->Size, 500000);
  EXPECT_EQ(avi->Size, 0x20000 + 2048) << "not cut at its first frame";
  EXPECT_EQ(before->Size, kMiB - 4096) << "an undetermined size still runs to the next object";
  EXPECT_EQ(inside->Size, 2 * kMiB - (kMiB + 8192));
  EXPECT_EQ(frame->Size, kMiB - 4096);
  EXPECT_EQ(after->Size, -1);
}

}  // namespace
