// The FAT folder walk on volumes built byte by byte: what is reported, under which parent, and
// that damaged chains and folders that point back end the walk with a log line.
#include <gtest/gtest.h>

#include "filesystems/fat_analyser.h"
#include "filesystems/fat_test_support.h"
#include "volumes/analysis_status.h"
#include "volumes/volume_test_support.h"

using namespace fat_testing;
using FB = FatImageBuilder;

namespace {

constexpr uint8_t kFile = 0x20;
constexpr uint8_t kDir = 0x10;

std::vector<Entry> Join(std::initializer_list<std::vector<Entry>> groups) {
  std::vector<Entry> all;
  for (const auto& group : groups) all.insert(all.end(), group.begin(), group.end());
  return all;
}

std::vector<Entry> FolderHead(uint32_t self, uint32_t parent) {
  return {FB::ShortEntry(".          ", kDir, self, 0),
          FB::ShortEntry("..         ", kDir, parent, 0)};
}

// A FAT16 volume with live, deleted, empty and invalid entries, folders that share a cluster or
// point back, a folder chain that loops and one that leaves the data area.
FatImageBuilder SampleVolume() {
  FatImageBuilder image(FatWidth::Fat16);
  image.Chain({3, 4, 5});
  image.Chain({6});
  image.Chain({10});
  image.Chain({11});
  image.SetNext(40, 41);
  image.SetNext(41, 40);
  image.SetNext(50, 0xFFF0);
  Entry readme = FB::ShortEntry("README  TXT", kFile, 6, 10);
  readme[12] = 0x18;
  image.PutEntries(
      0, Join({
             {FB::ShortEntry("TESTVOL    ", 0x08, 0, 0)},
             FB::NamedEntry(u"Quarterly Report.docx", "QUARTE~1DOC", kFile, 3, 1500),
             {readme},
             FB::Deleted({FB::ShortEntry("PHOTO   JPG", kFile, 7, 3000)}),
             FB::Deleted(FB::NamedEntry(u"holiday photo.jpeg", "HOLIDA~1JPE", kFile, 8, 700)),
             {FB::ShortEntry("EMPTY   TXT", kFile, 0, 0)},
             {FB::ShortEntry("lower   TXT", kFile, 12, 5)},
             {FB::ShortEntry("DOCS       ", kDir, 10, 0)},
             {FB::ShortEntry("ALIAS      ", kDir, 10, 0)},
             FB::Deleted({FB::ShortEntry("OLD        ", kDir, 20, 0)}),
             {FB::ShortEntry("LOOPY      ", kDir, 40, 0)},
             {FB::ShortEntry("OUTSIDE    ", kDir, 50, 0)},
             {FB::ShortEntry("BADCLUS TXT", kFile, 5000, 9)},
         }));
  image.PutEntries(10, Join({FolderHead(10, 0),
                             {FB::ShortEntry("INNER   TXT", kFile, 11, 100)},
                             {FB::ShortEntry("SELF       ", kDir, 10, 0)},
                             {FB::ShortEntry("UP         ", kDir, 40, 0)}}));
  image.PutEntries(
      20, Join({FolderHead(20, 0), FB::Deleted({FB::ShortEntry("INSIDE  TXT", kFile, 21, 50)})}));
  image.PutEntries(40, {FB::ShortEntry("A       TXT", kFile, 30, 1)});
  image.PutEntries(41, {FB::ShortEntry("B       TXT", kFile, 31, 1)});
  image.PutEntries(50, {FB::ShortEntry("C       TXT", kFile, 32, 1)});
  return image;
}

struct Analysis {
  std::unique_ptr<MemoryVolume> volume;
  CollectingSink sink;
  std::unique_ptr<CFileSystem_FAT> fat;
};

std::unique_ptr<Analysis> Analyse(FatImageBuilder& image, AnalysisStatus* status = nullptr) {
  auto analysis = std::make_unique<Analysis>();
  analysis->volume = std::make_unique<MemoryVolume>(image.Bytes(), image.TypeCode());
  analysis->fat = std::make_unique<CFileSystem_FAT>(*analysis->volume, status, &analysis->sink);
  analysis->fat->Analyse();
  return analysis;
}

}  // namespace

TEST(FatAnalyser, ReportsLiveDeletedAndEmptyEntriesUnderTheirFolders) {
  volume_testing::LogCapture log;
  FatImageBuilder image = SampleVolume();
  auto analysis = Analyse(image);
  const CollectingSink& sink = analysis->sink;

  std::vector<std::u16string> paths;
  for (const auto& [path, object] : sink.Paths(IdRootFat)) paths.push_back(path);
  EXPECT_EQ(paths, (std::vector<std::u16string>{
                       u"ALIAS", u"DOCS", u"DOCS/INNER.TXT", u"DOCS/UP", u"EMPTY.TXT", u"LOOPY",
                       u"LOOPY/A.TXT", u"LOOPY/B.TXT", u"OUTSIDE", u"OUTSIDE/C.TXT",
                       u"Quarterly Report.docx", u"SELF", u"_HOTO.JPG", u"_LD", u"_LD/_NSIDE.TXT",
                       u"holiday photo.jpeg", u"readme.txt"}));
  EXPECT_EQ(sink.Count(u"INNER.TXT"), 1u) << "a cluster named by two folders is read once";

  const Reported* report = sink.Find(u"Quarterly Report.docx");
  ASSERT_TRUE(report);
  EXPECT_FALSE(report->deleted());
  EXPECT_EQ(report->record.Id, 3);
  EXPECT_EQ(report->record.FirstCluster, 3);
  EXPECT_EQ(report->record.Size, 1500);
  EXPECT_EQ(report->record.Start, (image.FirstDataSector() + 1) * 512);
  platform::FileTime expected = 0;
  ASSERT_TRUE(platform::DosDateTimeToFileTime((40 << 9) | (1 << 5) | 2, (3 << 11) | (4 << 5) | 3,
                                              &expected));
  EXPECT_EQ(report->record.Modified, expected);
  EXPECT_EQ(report->record.Created, expected);
  EXPECT_EQ(report->record.Attributes, kFile);

  const Reported* photo = sink.Find(u"_HOTO.JPG");
  ASSERT_TRUE(photo);
  EXPECT_TRUE(photo->deleted());
  EXPECT_EQ(photo->record.Id, 7);
  EXPECT_EQ(photo->record.Size, 3000);
  EXPECT_TRUE(sink.Find(u"holiday photo.jpeg")->deleted());
  const Reported* inside = sink.Find(u"_NSIDE.TXT");
  EXPECT_EQ(inside->record.ParentId, 20);
  EXPECT_TRUE(sink.Find(u"_LD")->folder());
  const Reported* empty = sink.Find(u"EMPTY.TXT");
  EXPECT_EQ(empty->record.Id, 0);
  EXPECT_EQ(empty->record.Size, 0);
  EXPECT_EQ(sink.Find(u"SELF")->record.ParentId, IdRootFat);

  EXPECT_TRUE(log.Contains(u"runs back into itself"));
  EXPECT_TRUE(log.Contains(u"leaves the data area"));
  EXPECT_TRUE(log.Contains(u"'BADCLUS.TXT' starts at cluster 5000"));

  const CBitArray& bitmap = analysis->volume->ClusterBitmap;
  EXPECT_EQ(bitmap.BitCount(), 208u);
  EXPECT_EQ(bitmap.Get(3) + bitmap.Get(4) + bitmap.Get(5) + bitmap.Get(40), 4);
  EXPECT_EQ(bitmap.Get(7) + bitmap.Get(20), 0);
  EXPECT_EQ(analysis->volume->BytesPerCluster, 512u);
}

TEST(FatAnalyser, Fat32RootAnywhereIsTheRootFolder) {
  FatImageBuilder image(FatWidth::Fat32);
  image.Put32(44, 5);
  image.SetNext(2, 0);
  image.Chain({5});
  image.Chain({6});
  image.PutEntries(5, {FB::ShortEntry("SUB        ", kDir, 6, 0),
                       FB::ShortEntry("ROOTFILETXT", kFile, 0x00000007, 4)});
  image.PutEntries(6, Join({FolderHead(6, 0), {FB::ShortEntry("DEEP    BIN", kFile, 8, 4)}}));
  auto analysis = Analyse(image);
  auto paths = analysis->sink.Paths(IdRootFat32);
  EXPECT_EQ(paths.size(), 3u);
  EXPECT_TRUE(paths.count(u"SUB/DEEP.BIN"));
  EXPECT_EQ(analysis->sink.Find(u"ROOTFILE.TXT")->record.ParentId, IdRootFat32);
}

// The LBA and hidden codes reach the FAT analyser when the boot sector does not name its file
// system; they are read with their family's entry width.
TEST(FatAnalyser, LbaAndHiddenTypeCodesAnalyseWithTheirFamilysWidth) {
  const std::pair<FatWidth, int32_t> cases[] = {
      {FatWidth::Fat32, 12}, {FatWidth::Fat32, 27}, {FatWidth::Fat32, 28}, {FatWidth::Fat16, 14},
      {FatWidth::Fat16, 20}, {FatWidth::Fat16, 22}, {FatWidth::Fat16, 30}, {FatWidth::Fat12, 17}};
  for (const auto& [width, code] : cases) {
    FatImageBuilder image(width);
    image.Chain({3});
    image.PutEntries(image.RootCluster(), {FB::ShortEntry("NOTES   TXT", kFile, 3, 40)});
    MemoryVolume volume(image.Bytes(), code);
    CollectingSink sink;
    CFileSystem_FAT fat(volume, nullptr, &sink);
    fat.Analyse();
    const Reported* notes = sink.Find(u"NOTES.TXT");
    ASSERT_TRUE(notes) << "type " << code;
    EXPECT_EQ(notes->record.ParentId, RootIdForType(code)) << code;
    EXPECT_EQ(notes->record.Size, 40) << code;
    EXPECT_EQ(notes->record.Start, (image.FirstDataSector() + 1) * 512) << code;
  }
}

TEST(FatAnalyser, StopsWhenTheAnalysisIsStoppedAndRefusesDamagedBootSectors) {
  FatImageBuilder image = SampleVolume();
  AnalysisStatus stopped;
  EXPECT_TRUE(Analyse(image, &stopped)->sink.objects.empty());
  AnalysisStatus running;
  running.Running = 1;
  auto analysis = Analyse(image, &running);
  EXPECT_EQ(analysis->sink.objects.size(), 17u);
  EXPECT_GT(running.ProgressPos.load(), 0u);

  for (size_t field : {11u, 13u}) {
    volume_testing::LogCapture log;
    FatImageBuilder damaged = SampleVolume();
    damaged.Bytes()[field] = 0;
    damaged.Bytes()[field + 1] = 0;
    EXPECT_TRUE(Analyse(damaged)->sink.objects.empty());
    EXPECT_TRUE(log.Contains(u"parameter block is refused")) << field;
  }
}

TEST(FatAnalyser, FolderClustersFoundByTheScanAreReportedOnce) {
  FatImageBuilder image = SampleVolume();
  image.PutEntries(60, {FB::ShortEntry("ORPHAN  TXT", kFile, 61, 5)});
  auto analysis = Analyse(image);
  const size_t walked = analysis->sink.objects.size();

  FoundObject fragment{};
  fragment.Flags = FoundFragment;
  fragment.Start = static_cast<int64_t>(image.ClusterOffset(10));
  analysis->fat->AnalyseFragment(fragment);
  EXPECT_EQ(analysis->sink.objects.size(), walked) << "the walk read that folder";

  fragment.Start = static_cast<int64_t>(image.ClusterOffset(60));
  analysis->fat->AnalyseFragment(fragment);
  const Reported* orphan = analysis->sink.Find(u"ORPHAN.TXT");
  ASSERT_TRUE(orphan);
  EXPECT_EQ(orphan->record.ParentId, IdRootFat);

  fragment.Start = -512;
  analysis->fat->AnalyseFragment(fragment);
  fragment.Start = static_cast<int64_t>(image.Bytes().size()) - 512;
  analysis->fat->AnalyseFragment(fragment);
}
