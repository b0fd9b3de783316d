// AutoPilot's recovery: which files it takes from a volume, and a run that recovers them
// without a question, sizing lost files by the next object found.
#include <gtest/gtest.h>

#include <algorithm>

#include "recovery/auto_pilot_run.h"
#include "recovery_test_support.h"

using namespace recovery_testing;

namespace {

class AutoPilot : public RecoveryFixture {
 protected:
  std::vector<FoundObject*> Selected() { return CAutoSelection(volume_).SelectedObjects(); }
  bool IsSelected(const FoundObject* object) {
    const std::vector<FoundObject*> selected = Selected();
    return std::find(selected.begin(), selected.end(), object) != selected.end();
  }
};

}  // namespace

TEST_F(AutoPilot, TakesDeletedAndLostFilesAndLeavesLiveOnesAndFolders) {
  FoundObject* live = AddFile(u"live.txt", 4096, 100);
  FoundObject* deleted = Add(u"gone.txt", FoundDeleted, 1001, 0, 8192, 100);
  // A live-looking entry inside a deleted folder is as gone as its folder.
  FoundObject* deletedFolder = Add(u"Old", FoundFolder | FoundDeleted, 20, 0, 0, 0);
  FoundObject* inDeletedFolder = AddFile(u"inner.txt", 12288, 100, 20);
  FoundObject* deeper = Add(u"Sub", FoundFolder, 21, 20, 0, 0);
  FoundObject* inSub = AddFile(u"deep.txt", 16384, 100, 21);
  // A folder whose parent is gone hangs below "Lost folders".
  Add(u"lost_folder_30", FoundFolder, 30, IdLostFolders, 0, 0);
  FoundObject* orphan = AddFile(u"orphan.txt", 20480, 100, 30);
  FoundObject* lost = AddLost(u"image_24576.JPG", 24576, -1);
  // The sector pass found a live file again by its content: it stays live.
  FoundObject* alsoScanned = AddFile(u"photo.jpg", 28672, 100);
  alsoScanned->Flags |= FoundAlsoScanned;

  const std::vector<FoundObject*> selected = Selected();
  EXPECT_EQ(selected, (std::vector<FoundObject*>{deleted, inDeletedFolder, inSub, orphan, lost}))
      << "in the order found";
  EXPECT_FALSE(IsSelected(live));
  EXPECT_FALSE(IsSelected(deletedFolder));
  EXPECT_FALSE(IsSelected(deeper));
  EXPECT_FALSE(IsSelected(alsoScanned));
  EXPECT_FALSE(IsSelected(root_));
}

TEST_F(AutoPilot, AFolderChainThatLoopsEndsAsLive) {
  // Folders naming each other as parents, as a damaged drive may: the walk ends.
  Add(u"A", FoundFolder, 40, 41, 0, 0);
  Add(u"B", FoundFolder, 41, 40, 0, 0);
  FoundObject* looped = AddFile(u"loop.txt", 4096, 10, 40);
  Add(u"Self", FoundFolder, 42, 42, 0, 0);
  FoundObject* inSelf = AddFile(u"self.txt", 8192, 10, 42);
  EXPECT_FALSE(IsSelected(looped));
  EXPECT_FALSE(IsSelected(inSelf));
}

TEST_F(AutoPilot, RecoversEveryChosenFileWithoutAQuestionAndPutsTheSizeChoiceBack) {
  AddFile(u"live.txt", 4096, 100);
  FoundObject* deleted = Add(u"gone.txt", FoundDeleted, 1001, 0, 8192, 3000);
  // No size from its content: the next object found starts 16 KiB later.
  FoundObject* lost = AddLost(u"image_65536.JPG", 65536, -1);
  AddFile(u"next.bin", 65536 + 16384, 512);
  job().SizeModeAll = 0;

  CAutoPilotRun run(job());
  ASSERT_TRUE(run.Start(volume_));
  EXPECT_EQ(run.Listed(), 2);
  ASSERT_TRUE(job().Wait(30000));
  EXPECT_TRUE(run.Finished());

  EXPECT_TRUE(prompter_.questions.empty()) << "no size question";
  const RecoveryResult* gone = ResultOf(deleted);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(testing_support::ReadWholeFile(gone->TargetPath), Original(8192, 3000));
  const RecoveryResult* image = ResultOf(lost);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Outcome, RecoveryOutcome::Complete);
  EXPECT_EQ(testing_support::ReadWholeFile(image->TargetPath), Original(65536, 16384));
  EXPECT_EQ(job().Results().size(), 2u) << "the live file is not copied";
  EXPECT_EQ(job().SizeModeAll, 0) << "the user's own choice (ask) is back for later runs";
}

TEST_F(AutoPilot, NothingToRecoverStartsNoRunAndChangesNothing) {
  AddFile(u"live.txt", 4096, 100);
  job().SizeModeAll = 4;
  job().SizeAllBytes = 8192;
  CAutoPilotRun run(job());
  EXPECT_FALSE(run.Start(volume_));
  EXPECT_FALSE(run.Finished());
  EXPECT_FALSE(job().IsRunning());
  EXPECT_EQ(job().SizeModeAll, 4);
  EXPECT_EQ(job().SizeAllBytes, 8192);
  EXPECT_TRUE(Logged(u"Recovery list is empty!"));
}
