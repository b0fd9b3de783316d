// The copy of files: whole files with their times, unreadable stretches, stops, a full
// destination, hostile sizes, collisions, flat copies, folders and the list's walk.
#include <gtest/gtest.h>

#include <thread>

#include "platform/file.h"
#include "recovery_test_support.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace recovery_testing;

namespace {

class RecoveryCopy : public RecoveryFixture {};

constexpr int64_t kMiB = 1024 * 1024;

}  // namespace

TEST_F(RecoveryCopy, WritesWholeFilesBelowTheirFoldersWithTheirTimes) {
  FoundObject* docs = Add(u"Docs", FoundFolder, 7, 0, 0, 0);
  FoundObject* big = AddFile(u"big.bin", 512, 5 * kMiB / 2 + 100, 7);  // three pieces
  FoundObject* small = AddFile(u"small.txt", 3 * kMiB + 1024, 777);
  small->Created = 0;  // a FAT file often has no creation time: the modified time still counts
  Add(u"Empty folder", FoundFolder, 8, 7, 0, 0);
  FoundObject* empty = AddFile(u"empty.dat", 0, 0, 7);
  Recover({docs, small});

  EXPECT_EQ(Recovered(u"Docs/big.bin"), Original(512, 5 * kMiB / 2 + 100));
  EXPECT_EQ(Recovered(u"small.txt"), Original(3 * kMiB + 1024, 777));
  EXPECT_TRUE(platform::FileExists(Target(u"Docs/empty.dat"))) << "empty files are files too";
  EXPECT_TRUE(platform::FolderExists(Target(u"Docs/Empty folder")));
  EXPECT_EQ(job().RecoveredCount, 3);
  EXPECT_EQ(ResultOf(big)->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(ResultOf(empty)->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(ResultOf(docs)->Outcome, RecoveryOutcome::Folder);
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(::stat(platform::Utf16ToUtf8(Target(u"small.txt")).c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1262304000);
#endif
  EXPECT_TRUE(Logged(u"Recovery completed."));
}

TEST_F(RecoveryCopy, AnUnreadableStretchBecomesZerosAtItsOffsetAndTheFileIncomplete) {
  const int64_t start = 1024;
  const int64_t size = 3 * kMiB;
  FoundObject* file = AddFile(u"damaged.bin", start, size);
  FoundObject* after = AddFile(u"after.bin", 3 * kMiB + 4096, 1000);
  // Sectors 4 MiB/512... fail: the bad stretch lies in the middle of the first piece.
  volume_.failFrom = (start + 100000) / kSectorSize;
  volume_.failTo = volume_.failFrom + 20;
  Recover({file, after});

  std::vector<uint8_t> expected = Original(start, static_cast<size_t>(size));
  const size_t badFrom = volume_.failFrom * kSectorSize - start;
  std::fill(expected.begin() + static_cast<ptrdiff_t>(badFrom), expected.begin() + kMiB * 2, 0);
  const std::vector<uint8_t> written = Recovered(u"damaged.bin");
  ASSERT_EQ(written.size(), expected.size()) << "what follows keeps its offset";
  EXPECT_EQ(written, expected);
  EXPECT_EQ(ResultOf(file)->Outcome, RecoveryOutcome::Incomplete);
  EXPECT_EQ(ResultOf(after)->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(job().RecoveredCount, 1);
  EXPECT_EQ(job().IncompleteCount, 1);
  EXPECT_TRUE(Logged(u"could not be read and are written as zeros"));
}

TEST_F(RecoveryCopy, AStopInsideAFileLeavesItIncompleteAndEndsTheRun) {
  FoundObject* first = AddFile(u"first.bin", 0, 3 * kMiB);
  FoundObject* second = AddFile(u"second.bin", 3 * kMiB, 1000);
  // The stop comes while the first piece of the first file is read.
  volume_.onRead = [this](uint64_t) {
    if (job().Status().RecoveryContinue) StopRecovery(job());
  };
  Recover({first, second});

  EXPECT_EQ(ResultOf(first)->Outcome, RecoveryOutcome::Incomplete);
  EXPECT_EQ(ResultOf(first)->Bytes, 2 * kMiB);
  EXPECT_EQ(ResultOf(second), nullptr) << "the run ends before the next file";
  EXPECT_EQ(job().RecoveredCount, 0);
  EXPECT_TRUE(Logged(u"Recovery aborted."));
  EXPECT_EQ(job().Status().RecoveryContinue, 0) << "the stop is not overwritten";
}

TEST_F(RecoveryCopy, ASizeFarBeyondTheVolumeEndsAtTheVolumesEnd) {
  FoundObject* hostile = AddFile(u"hostile.bin", 3 * kMiB, int64_t{1} << 62);
  FoundObject* beyond = AddFile(u"beyond.bin", int64_t{1} << 40, 100);
  const auto began = std::chrono::steady_clock::now();
  Recover({hostile, beyond});
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
  EXPECT_EQ(Recovered(u"hostile.bin"), Original(3 * kMiB, kMiB));
  EXPECT_EQ(ResultOf(hostile)->Outcome, RecoveryOutcome::Incomplete);
  EXPECT_EQ(ResultOf(beyond)->Outcome, RecoveryOutcome::Failed);
  EXPECT_FALSE(platform::FileExists(Target(u"beyond.bin"))) << "nothing written, nothing left";
}

TEST_F(RecoveryCopy, FilesOfOneNameAreNumberedAndAnEarlierFileIsReplaced) {
  FoundObject* live = AddFile(u"photo.jpg", 0, 100);
  FoundObject* deleted = AddFile(u"photo.jpg", 512, 100);
  deleted->Flags |= FoundDeleted;
  FoundObject* upper = AddFile(u"PHOTO.JPG", 1024, 100);
  FoundObject* other = AddFile(u"old.txt", 2048, 100);
  ASSERT_TRUE(testing_support::WriteWholeFile(Target(u"old.txt"), {1, 2, 3}));
  Recover({live, deleted, upper, other});

  EXPECT_EQ(Recovered(u"photo.jpg"), Original(0, 100));
  EXPECT_EQ(Recovered(u"photo (1).jpg"), Original(512, 100));
  // Names that differ only by case are one name on Windows: numbered on both systems alike.
  EXPECT_EQ(Recovered(u"PHOTO (2).JPG"), Original(1024, 100));
  EXPECT_EQ(Recovered(u"old.txt"), Original(2048, 100));
  EXPECT_TRUE(Logged(u"exists"));
  EXPECT_EQ(job().RecoveredCount, 4);
}

TEST_F(RecoveryCopy, FlatCopiesPutEveryFileIntoTheDestination) {
  app_.Settings.KeepFolderStructure = 0;
  Add(u"A", FoundFolder, 7, 0, 0, 0);
  Add(u"B", FoundFolder, 8, 0, 0, 0);
  FoundObject* a = AddFile(u"same.txt", 0, 10, 7);
  FoundObject* b = AddFile(u"same.txt", 512, 10, 8);
  Recover({a, b});
  EXPECT_EQ(Recovered(u"same.txt"), Original(0, 10));
  EXPECT_EQ(Recovered(u"same (1).txt"), Original(512, 10));
  EXPECT_FALSE(platform::FolderExists(Target(u"A")));
}

TEST_F(RecoveryCopy, AFolderThatHoldsItselfIsWalkedOnceAndTheListEnds) {
  FoundObject* loop = Add(u"loop", FoundFolder, 9, 9, 0, 0);  // its own parent
  Add(u"ring a", FoundFolder, 10, 11, 0, 0);
  FoundObject* ringB = Add(u"ring b", FoundFolder, 11, 10, 0, 0);
  FoundObject* inLoop = AddFile(u"in loop.txt", 0, 10, 9);
  FoundObject* inRing = AddFile(u"in ring.txt", 512, 10, 10);
  Selection selection(volume_, {loop, ringB, inLoop});
  EXPECT_EQ(BuildRecoveryList(job(), selection), 5);
  std::vector<FoundObject*> list = job().List;
  EXPECT_EQ(std::count(list.begin(), list.end(), inLoop), 1);
  EXPECT_EQ(std::count(list.begin(), list.end(), inRing), 1);
  EXPECT_EQ(list.front(), inLoop) << "a folder's files come before the folder";
}

TEST_F(RecoveryCopy, TheTreeGivesTheFilesBelowAFolderNotTheFolder) {
  FoundObject* docs = Add(u"Docs", FoundFolder, 7, 0, 0, 0);
  FoundObject* inner = Add(u"Inner", FoundFolder, 8, 7, 0, 0);
  FoundObject* deep = AddFile(u"deep.txt", 0, 10, 8);
  FoundObject* top = AddFile(u"top.txt", 512, 10, 7);
  Selection tree(volume_, {docs}, IRecoverySelection::Control::FolderTree);
  BuildRecoveryList(job(), tree);
  EXPECT_EQ(job().List, (std::vector<FoundObject*>{deep, inner, top}));
}

TEST_F(RecoveryCopy, NothingIsWrittenOutsideTheDestination) {
  FoundObject* up = Add(u"..", FoundFolder, 7, 0, 0, 0);
  FoundObject* file = AddFile(u"../../escape.txt", 0, 10, 7);
  FoundObject* device = AddFile(u"con", 512, 10, 7);
  Recover({up, file, device});
  for (const RecoveryResult& result : job().Results()) {
    ASSERT_FALSE(result.TargetPath.empty());
    EXPECT_EQ(result.TargetPath.rfind(destination_.path(), 0), 0u);
    std::u16string rest = result.TargetPath.substr(destination_.path().size());
    for (size_t at = 0; at < rest.size();) {
      const size_t end = std::min(rest.find(platform::kPathSeparator, at), rest.size());
      const std::u16string component = rest.substr(at, end - at);
      EXPECT_NE(component, u"..");
      EXPECT_NE(component, u".");
      at = end + 1;
    }
  }
  EXPECT_EQ(job().RecoveredCount, 2);
}

TEST_F(RecoveryCopy, TryOpenListsEveryCopyAndDeletesThemOnYes) {
  CRecovery& tryOpen = computer_->TryOpenJob;
  tryOpen.SetPrompter(&prompter_);
  std::vector<std::u16string> opened;
  tryOpen.SetOpener([&](const std::u16string& path) {
    opened.push_back(path);
    return true;
  });
  const std::u16string temporary = destination_.File(u"temp");
  std::copy(temporary.begin(), temporary.end(), app_.Settings.TemporaryFolder);
  ASSERT_TRUE(platform::CreateFolder(temporary));
  FoundObject* a = AddFile(u"a.txt", 0, 10);
  FoundObject* b = AddFile(u"b.txt", 512, 10);
  Selection selection(volume_, {a, b});
  BuildRecoveryList(tryOpen, selection);
  ASSERT_TRUE(StartTryOpen(tryOpen, volume_));
  ASSERT_TRUE(tryOpen.Wait(30000));
  const std::vector<std::u16string> copies = tryOpen.TemporaryFiles();
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(opened, std::vector<std::u16string>{copies.back()}) << "the last copy, once";
  EXPECT_TRUE(Logged(u"opened successfully"));
  // A copy that fails opens nothing, not even a file an earlier run left at its path.
  opened.clear();
  FoundObject* unreadable = AddFile(u"stale.txt", int64_t{1} << 40, 10);
  ASSERT_TRUE(testing_support::WriteWholeFile(platform::JoinPath(temporary, u"stale.txt"), {1}));
  Selection again(volume_, {unreadable});
  BuildRecoveryList(tryOpen, again);
  ASSERT_TRUE(StartTryOpen(tryOpen, volume_));
  ASSERT_TRUE(tryOpen.Wait(30000));
  EXPECT_TRUE(opened.empty());
  prompter_.deleteTemporary = true;
  DeleteTemporaryFiles(tryOpen);
  for (const std::u16string& copy : copies) EXPECT_FALSE(platform::FileExists(copy));
  tryOpen.SetPrompter(nullptr);
  tryOpen.SetOpener(nullptr);
}

TEST_F(RecoveryCopy, ASecondJobAndAnAnalysisWaitWhileARunHoldsTheVolume) {
  FoundObject* slow = AddFile(u"slow.bin", 0, 3 * kMiB);
  std::atomic<bool> release{false};
  volume_.onRead = [&](uint64_t) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  Selection selection(volume_, {slow});
  BuildRecoveryList(job(), selection);
  ASSERT_TRUE(StartRecovery(job(), volume_));
  BuildRecoveryList(computer_->TryOpenJob, selection);
  EXPECT_FALSE(StartTryOpen(computer_->TryOpenJob, volume_));
  EXPECT_FALSE(StartRecovery(job(), volume_));
  EXPECT_TRUE(computer_->RecoveryHolds(volume_));
  EXPECT_FALSE(computer_->Analysis.StartAnalysis(volume_));
  release = true;
  ASSERT_TRUE(job().Wait(30000));
  EXPECT_FALSE(computer_->RecoveryHolds(volume_));
}

#ifndef _WIN32
// The destination is a file system of 64 KiB of its own (a tmpfs, which needs root to mount;
// the test is skipped without it). A device such as /dev/full is no destination: files are
// never opened for writing on a device.
TEST_F(RecoveryCopy, AFullDestinationStopsTheRunWithOneMessage) {
  const std::string where = platform::Utf16ToUtf8(destination_.path());
  if (::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here";
  FoundObject* full = AddFile(u"full.bin", 0, 3 * kMiB);
  FoundObject* later = AddFile(u"later.bin", 3 * kMiB, 1000);
  Recover({full, later});
  ::umount(where.c_str());
  EXPECT_TRUE(job().StoppedOnFullDisk());
  EXPECT_NE(ResultOf(full)->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(ResultOf(later), nullptr) << "no later file is tried";
  EXPECT_EQ(job().RecoveredCount, 0);
  EXPECT_TRUE(Logged(u"is full: recovery stopped."));
}
#endif

TEST_F(RecoveryCopy, TheStartOfARecoverCommandLogsItsStepsAndRefusesAnEmptyList) {
  FoundObject* emptyFolder = Add(u"Nothing here", FoundFolder, 7, 0, 0, 0);
  Selection tree(volume_, {emptyFolder}, IRecoverySelection::Control::FolderTree);
  EXPECT_FALSE(BeginRecovery(job(), tree));
  EXPECT_TRUE(Logged(u"Creating recovery list."));
  EXPECT_TRUE(Logged(u"Recovery list is empty!"));
  FoundObject* file = AddFile(u"a.txt", 0, 10);
  Selection list(volume_, {file});
  ASSERT_TRUE(BeginRecovery(job(), list));
  ASSERT_TRUE(job().Wait(30000));
  EXPECT_TRUE(Logged(u"Recovery started."));
  EXPECT_EQ(Recovered(u"a.txt"), Original(0, 10));
}
