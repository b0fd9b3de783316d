// The sector pass through the analysis driver, with the real scanner: lost files beside what
// the file system lists, free-space-only scans, folder clusters and MFT records found outside
// their structures, the search for lost drives, and the gate that one analysis holds.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "../filesystems/fat_test_support.h"
#include "../support/test_support.h"
#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "platform/text.h"
#include "signatures/file_types.h"
#include "volume_test_support.h"
#include "volumes/computer.h"
#include "volumes/image.h"

namespace {

using namespace std::chrono_literals;
using fat_testing::FatImageBuilder;
using volume_testing::LogCapture;

const uint8_t kPngStart[] = {0x89, 'P',  'N',  'G',  0x0D, 0x0A, 0x1A, 0x0A,
                             0x00, 0x00, 0x00, 0x0D, 'I',  'H',  'D',  'R'};
constexpr int16_t kPng = 88;

class FinishedWindow : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t, intptr_t) override {
    std::lock_guard lock(lock_);
    if (message == UM_ANALYSIS_FINISHED) ++finished_;
    if (message == UM_BLOCK_SCANNED) ++blocks_;
    arrived_.notify_all();
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  bool WaitFinished() {
    std::unique_lock lock(lock_);
    return arrived_.wait_for(lock, 20s, [&] { return finished_ > 0; });
  }
  void Reset() {
    std::lock_guard lock(lock_);
    finished_ = 0;
  }
  int Blocks() {
    std::lock_guard lock(lock_);
    return blocks_;
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  int finished_ = 0;
  int blocks_ = 0;
};

class SectorPassTest : public ::testing::Test {
 protected:
  SectorPassTest() : previousApp_(g_pApp) {
    FillDefaults(app_.Settings);
    app_.Settings.AutoSectorScan = 1;
    app_.Settings.ScanMode = 0;
    app_.Settings.AnalyzeQueued = 0;
    app_.SetMainWindowTarget(&window);
    g_pApp = &app_;
    computer = std::make_unique<CLocalComputer>();
    for (FileType& group : BuiltinGroups())
      computer->FileTypes.AddGroup(std::make_unique<FileType>(std::move(group)));
    for (FileType& type : BuiltinTypes()) computer->FileTypes.AddType(std::move(type));
    previousTypes_ = g_pFileTypes;
    g_pFileTypes = &computer->FileTypes;
  }
  ~SectorPassTest() override {
    computer.reset();
    g_pFileTypes = previousTypes_;
    g_pApp = previousApp_;
  }

  CVolume* ImageOf(const std::vector<uint8_t>& bytes) {
    const std::u16string path =
        folder.File(u"drive" + platform::Utf8ToUtf16(std::to_string(images_++)) + u".dsk");
    std::ofstream(platform::Utf16ToUtf8(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return LoadImage(*computer, path);
  }
  void Analyse(CVolume& volume) {
    ASSERT_TRUE(computer->Analysis.StartAnalysis(volume));
    ASSERT_TRUE(window.WaitFinished());
    ASSERT_TRUE(computer->Analysis.WaitForPasses(volume, 5000));
  }
  static const FoundObject* Named(CVolume& volume, std::u16string_view name) {
    for (const FoundObject* object : volume.Store.AllObjects())
      if (object->Name && object->Name == name) return object;
    return nullptr;
  }
  static size_t LostFiles(CVolume& volume) {
    size_t count = 0;
    for (const FoundObject* object : volume.Store.AllObjects())
      count += (object->Flags & FoundLost) && !(object->Flags & FoundFolder);
    return count;
  }
  // A type for the first cluster of a FAT folder (its "." entry), which the table lacks.
  void AddFolderClusterType() {
    FileType folderType;
    folderType.TypeId = 25;
    folderType.GroupId = GroupSystem;
    folderType.Signatures.push_back(Signature{
        {},
        {},
        {SignatureCondition::WithPayload(
            CondBytes, 0, {'.', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0x10})}});
    ASSERT_NE(computer->FileTypes.AddType(std::move(folderType)), nullptr);
  }

  testing_support::TempFolder folder;
  LogCapture log;
  FinishedWindow window;
  std::unique_ptr<CLocalComputer> computer;
  SettingsRecord& Settings() { return app_.Settings; }

 private:
  CApp app_;
  CApp* previousApp_;
  FileTypeDatabase* previousTypes_ = nullptr;
  int images_ = 0;
};

// A FAT16 volume of 1-sector clusters: a live PNG at cluster 10, a deleted one at 20, and PNG
// bytes in free cluster 30 that no entry names.
FatImageBuilder PngVolume() {
  FatImageBuilder fat(FatWidth::Fat16, 200);
  fat.Chain({10});
  fat.PutEntries(0, {FatImageBuilder::ShortEntry("LIVE    PNG", 0x20, 10, 512)});
  fat.PutEntries(
      0, FatImageBuilder::Deleted({FatImageBuilder::ShortEntry("GONE    PNG", 0x20, 20, 512)}), 1);
  for (uint32_t cluster : {10u, 20u, 30u})
    std::memcpy(fat.Bytes().data() + fat.ClusterOffset(cluster), kPngStart, sizeof kPngStart);
  return fat;
}

TEST_F(SectorPassTest, LostFilesJoinTheFileSystemsObjectsOrStandAlone) {
  FatImageBuilder fat = PngVolume();
  CVolume* volume = ImageOf(fat.Bytes());
  ASSERT_NE(volume, nullptr);
  Analyse(*volume);
  // The live and the deleted file were found again where they start; the PNG in free space is
  // a lost file of its own under "Lost files/Images".
  const FoundObject* live = Named(*volume, u"LIVE.PNG");
  // FAT keeps no first letter of a deleted name.
  const FoundObject* gone = Named(*volume, u"_ONE.PNG");
  ASSERT_TRUE(live && gone);
  EXPECT_TRUE(live->Flags & FoundAlsoScanned);
  EXPECT_TRUE(gone->Flags & FoundAlsoScanned);
  const int64_t lostStart = static_cast<int64_t>(fat.ClusterOffset(30));
  const FoundObject* lost = volume->Store.FindByStart(lostStart);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(lost->FileTypeId, kPng);
  EXPECT_EQ(lost->ParentId, GroupImages);
  EXPECT_EQ(LostFiles(*volume), 1u);
  EXPECT_EQ(volume->ScanFiles, 1);
  EXPECT_TRUE(log.Contains(u"Analyse volume sectors started"));
  EXPECT_TRUE(log.Contains(u"Analysis completed. Found 0 folder(s) and 1 file(s)."));
  EXPECT_GE(window.Blocks(), 2);  // one per block and one at the end
}

TEST_F(SectorPassTest, FreeSpaceOnlySkipsTheClustersInUse) {
  FatImageBuilder fat = PngVolume();
  CVolume* volume = ImageOf(fat.Bytes());
  ASSERT_NE(volume, nullptr);
  Settings().ScanMode = 1;
  Analyse(*volume);
  EXPECT_FALSE(Named(*volume, u"LIVE.PNG")->Flags & FoundAlsoScanned);
  EXPECT_TRUE(Named(*volume, u"_ONE.PNG")->Flags & FoundAlsoScanned);
  EXPECT_NE(volume->Store.FindByStart(static_cast<int64_t>(fat.ClusterOffset(30))), nullptr);

  // Without a file-system pass there is no map of the space in use: all of it is scanned.
  computer->Analysis.StopAnalysis(*volume);
  CVolume* bare = ImageOf(std::vector<uint8_t>(65536, 0));
  ASSERT_NE(bare, nullptr);
  ASSERT_TRUE(computer->Analysis.StartSectorScan(*bare, 0));
  ASSERT_TRUE(computer->Analysis.WaitForPasses(*bare, 5000));
  EXPECT_TRUE(log.Contains(u"the whole drive is scanned"));
}

TEST_F(SectorPassTest, AFolderClusterOutsideTheTreeReachesTheFatAnalyser) {
  AddFolderClusterType();
  FatImageBuilder fat(FatWidth::Fat16, 200);
  // Cluster 50 held a folder whose entry is gone: ".", ".." and one file.
  fat.PutEntries(0, {});
  std::vector<fat_testing::Entry> entries = {
      FatImageBuilder::ShortEntry(".          ", 0x10, 50, 0),
      FatImageBuilder::ShortEntry("..         ", 0x10, 0, 0),
      FatImageBuilder::ShortEntry("ORPHAN  TXT", 0x20, 60, 100)};
  for (size_t i = 0; i < entries.size(); ++i)
    std::memcpy(fat.Bytes().data() + fat.ClusterOffset(50) + i * 32, entries[i].data(), 32);
  CVolume* volume = ImageOf(fat.Bytes());
  ASSERT_NE(volume, nullptr);
  Analyse(*volume);
  const FoundObject* orphan = Named(*volume, u"ORPHAN.TXT");
  ASSERT_NE(orphan, nullptr);
  EXPECT_EQ(orphan->Start, static_cast<int64_t>(fat.ClusterOffset(60)));
  EXPECT_EQ(LostFiles(*volume), 0u);
}

TEST_F(SectorPassTest, MftRecordsAreListedOnceAndOneOutsideTheMftIsParsed) {
  const std::u16string path = testing_support::FixturePath("ntfs/basic.img");
  if (path.empty()) GTEST_SKIP() << "fixture images not made (./run fixtures)";
  std::ifstream in(platform::Utf16ToUtf8(path), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 1u << 20);
  uint16_t sectorBytes;
  std::memcpy(&sectorBytes, bytes.data() + 11, 2);
  const uint64_t clusterBytes = uint64_t{sectorBytes} * bytes[13];
  uint64_t mftCluster;
  std::memcpy(&mftCluster, bytes.data() + 48, 8);
  const size_t mft = static_cast<size_t>(mftCluster * clusterBytes);
  // The first user record, copied into zeros near the end under a number of its own.
  size_t record = mft + 64 * 1024;
  ASSERT_EQ(std::memcmp(bytes.data() + record, "FILE", 4), 0);
  size_t copy = bytes.size() - 1024 * 1024;
  while (copy > bytes.size() / 2 && std::any_of(bytes.begin() + copy, bytes.begin() + copy + 1024,
                                                [](uint8_t b) { return b != 0; }))
    copy -= 4096;
  std::memcpy(bytes.data() + copy, bytes.data() + record, 1024);
  const uint32_t number = 4000;
  std::memcpy(bytes.data() + copy + 44, &number, 4);

  CVolume* volume = ImageOf(bytes);
  ASSERT_NE(volume, nullptr);
  Settings().AutoSectorScan = 0;
  Analyse(*volume);
  std::vector<int32_t> walked;
  for (const FoundObject* object : volume->Store.AllObjects())
    if (object->Id >= 0 && !(object->Flags & FoundDriveNode)) walked.push_back(object->Id);
  ASSERT_FALSE(walked.empty());

  Settings().AutoSectorScan = 1;
  window.Reset();
  Analyse(*volume);
  std::vector<int32_t> scanned;
  for (const FoundObject* object : volume->Store.AllObjects())
    if (object->Id >= 0 && !(object->Flags & FoundDriveNode) && !(object->Flags & FoundLost))
      scanned.push_back(object->Id);
  // Every record the walk listed once (not again from the MFT or its mirror), and the copy
  // as record 4000.
  std::vector<int32_t> expected = walked;
  expected.push_back(4000);
  std::sort(expected.begin(), expected.end());
  std::sort(scanned.begin(), scanned.end());
  EXPECT_EQ(scanned, expected);
}

TEST_F(SectorPassTest, LostDrivesBecomeVolumesAndNothingElseIsKept) {
  FatImageBuilder fat = PngVolume();
  std::vector<uint8_t> disk(4 << 20, 0);
  std::memcpy(disk.data() + (1 << 20), fat.Bytes().data(), fat.Bytes().size());
  std::memcpy(disk.data() + 512 * 9, kPngStart, sizeof kPngStart);
  CVolume* image = ImageOf(disk);
  ASSERT_NE(image, nullptr);
  image->Store.Clear();
  image->Store.Add(&image->RootRecord, true);
  ASSERT_TRUE(computer->Analysis.StartSectorScan(*image, 1));
  ASSERT_TRUE(computer->Analysis.WaitForPasses(*image, 5000));
  EXPECT_EQ(computer->Status->Running, 0);
  std::vector<CVolume*> found;
  for (CVolume* volume : computer->Volumes.Items())
    if (volume->Kind == VolumeKindFound && volume->Parent == image) found.push_back(volume);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->StartOffset, 1u << 20);
  EXPECT_EQ(found[0]->TotalBytes, fat.Bytes().size());  // the boot sector's size
  EXPECT_EQ(found[0]->FileSystemType(), FsTypeFat16Small);
  EXPECT_EQ(LostFiles(*image), 0u);
}

TEST_F(SectorPassTest, TheGateBelongsToTheVolumeBeingAnalysed) {
  CVolume* first = ImageOf(std::vector<uint8_t>(65536, 0));
  CVolume* second = ImageOf(std::vector<uint8_t>(65536, 0));
  ASSERT_TRUE(first && second);
  AnalysisStatus& status = *computer->Status;
  status.Running = 1;
  status.Volume = first;
  // A stop or the end of another volume's analysis leaves this one running.
  computer->Analysis.StopAnalysis(*second);
  computer->Analysis.AnalysisFinished(*second);
  EXPECT_EQ(status.Running, 1);
  // The search for lost drives does not take over a running analysis's record.
  EXPECT_FALSE(computer->Analysis.StartSectorScan(*second, 1));
  EXPECT_EQ(status.Volume.load(), first);
  EXPECT_EQ(second->SectorScanOption, 0);
  computer->Analysis.StopAnalysis(*first);
  EXPECT_EQ(status.Running, 0);
}

}  // namespace
