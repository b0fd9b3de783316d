// The questions of a run: the probable size of lost files with each option and scope, a stop
// while a question waits, and the destination on the disk being recovered from.
#include <gtest/gtest.h>

#include <thread>

#include "platform/file.h"
#include "recovery_test_support.h"

using namespace recovery_testing;

namespace {

class RecoveryQuestions : public RecoveryFixture {
 protected:
  // Three lost JPEG files and a file of another kind between them:
  // 0: image_0 | 100000: other | 300000: image_300000 | 700000: image_700000
  void AddLostFiles() {
    Add(u"Images", FoundFolder, kImagesGroup, IdLostFiles, 0, 0);
    first = AddLost(u"image_0.JPG", 0, -1);
    AddFile(u"other.bin", 100000, 50);
    second = AddLost(u"image_300000.JPG", 300000, -1);
    third = AddLost(u"image_700000.JPG", 700000, -1);
  }
  int64_t SizeOf(const FoundObject* object) {
    const RecoveryResult* result = ResultOf(object);
    return result ? result->Bytes : -1;
  }
  static SizeAnswer Answer(int32_t option, SizeScope scope, int64_t custom = 0) {
    return SizeAnswer{SizeEnd::Ok, option, scope, custom};
  }

  FoundObject* first = nullptr;
  FoundObject* second = nullptr;
  FoundObject* third = nullptr;
};

}  // namespace

TEST_F(RecoveryQuestions, EachOptionGivesItsSizeForThisFileOnly) {
  AddLostFiles();
  prompter_.sizeAnswers = {Answer(kSizeNextAny, SizeScope::ThisFile),
                           Answer(kSizeNextSame, SizeScope::ThisFile),
                           Answer(kSizeDefault, SizeScope::ThisFile)};
  Recover({first, second, third});
  ASSERT_EQ(prompter_.questions.size(), 3u);
  EXPECT_EQ(prompter_.questions[0].DistanceAny, 100000);
  EXPECT_EQ(prompter_.questions[0].DistanceSame, 300000);
  EXPECT_EQ(prompter_.questions[0].TypeName, u"JPEG Image");
  EXPECT_EQ(SizeOf(first), 100000);
  EXPECT_EQ(SizeOf(second), 400000);
  EXPECT_EQ(SizeOf(third), 2048) << "the type's default size";
  EXPECT_EQ(first->Size, 100000) << "the decision is kept in the store";
  EXPECT_EQ(Recovered(u"Lost files/Images/image_0.JPG"), Original(0, 100000));
}

TEST_F(RecoveryQuestions, ACustomSizeBelowOneKilobyteIsKeptInBytesForTheType) {
  AddLostFiles();
  prompter_.sizeAnswers = {Answer(kSizeCustom, SizeScope::ThisType, 700)};
  Recover({first, second, third});
  EXPECT_EQ(prompter_.questions.size(), 1u) << "later files of the type are not asked about";
  EXPECT_EQ(SizeOf(first), 700);
  EXPECT_EQ(SizeOf(second), 700);
  EXPECT_EQ(SizeOf(third), 700);
}

TEST_F(RecoveryQuestions, AnAnswerForAnyTypeLastsForLaterRuns) {
  AddLostFiles();
  prompter_.sizeAnswers = {Answer(kSizeNextAny, SizeScope::AnyType)};
  Recover({first, second});
  EXPECT_EQ(job().SizeModeAll, kSizeNextAny);
  Recover({third});
  EXPECT_EQ(prompter_.questions.size(), 1u);
  EXPECT_EQ(SizeOf(third), 2048) << "no next object: the default size";
}

TEST_F(RecoveryQuestions, SkipAndCancelAffectOnlyTheirFileAndASizeMustBePositive) {
  AddLostFiles();
  prompter_.sizeAnswers = {SizeAnswer{SizeEnd::Skip}, SizeAnswer{SizeEnd::Cancel},
                           Answer(kSizeCustom, SizeScope::ThisFile, 0)};
  Recover({first, second, third});
  EXPECT_EQ(ResultOf(first)->Outcome, RecoveryOutcome::Skipped);
  EXPECT_EQ(ResultOf(second)->Outcome, RecoveryOutcome::Skipped);
  EXPECT_EQ(ResultOf(third)->Outcome, RecoveryOutcome::Skipped);
  EXPECT_TRUE(Logged(u"recovery skipped"));
  EXPECT_TRUE(Logged(u"recovery cancelled"));
  EXPECT_EQ(job().SizeModeAll, 0);
}

TEST_F(RecoveryQuestions, AStopAnswersAWaitingQuestionAndEndsTheRun) {
  AddLostFiles();
  prompter_.blockSizeQuestion = true;
  Selection selection(volume_, {first, second});
  BuildRecoveryList(job(), selection);
  ASSERT_TRUE(StartRecovery(job(), volume_));
  prompter_.WaitUntilAsked();
  StopRecovery(job());
  ASSERT_TRUE(job().Wait(10000));
  EXPECT_EQ(prompter_.questions.size(), 1u);
  EXPECT_EQ(job().RecoveredCount, 0);
  EXPECT_FALSE(platform::FileExists(Target(u"Lost files/Images/image_0.JPG")));
  EXPECT_TRUE(Logged(u"Recovery aborted."));
}

TEST_F(RecoveryQuestions, ADestinationOnTheSourceDiskIsRefusedUntilAnotherIsGiven) {
  FoundObject* file = AddFile(u"a.txt", 0, 10);
  volume_.Kind = VolumeKindPhysical;
  const std::u16string elsewhere = destination_.File(u"elsewhere");
  job().SetDiskCheck([&](const std::u16string& folder, CVolume&) {
    return folder == elsewhere ? platform::SameDisk::No : platform::SameDisk::Yes;
  });
  EXPECT_EQ(CheckDestination(job(), volume_, destination_.path(), false), 0);
  EXPECT_EQ(prompter_.errors.size(), 1u);

  // Declined: the run gives up at once and copies nothing.
  Recover({file});
  EXPECT_EQ(prompter_.destinationQuestions, 1);
  EXPECT_TRUE(job().Results().empty());
  EXPECT_TRUE(Logged(u"Recovery completed."));

  ASSERT_TRUE(platform::CreateFolder(elsewhere));
  prompter_.otherDestinations = {elsewhere};
  Recover({file});
  EXPECT_EQ(testing_support::ReadWholeFile(platform::JoinPath(elsewhere, u"a.txt")),
            Original(0, 10));
  job().SetDiskCheck(nullptr);
}

TEST_F(RecoveryQuestions, AnImageIsNeverRefusedAndAStubbornAnswerEnds) {
  FoundObject* file = AddFile(u"a.txt", 0, 10);
  job().SetDiskCheck([](const std::u16string&, CVolume&) { return platform::SameDisk::Yes; });
  EXPECT_EQ(CheckDestination(job(), volume_, destination_.path(), true), 1) << "an image";
  volume_.Kind = VolumeKindPhysical;
  for (int i = 0; i < 100; ++i) prompter_.otherDestinations.push_back(destination_.path());
  Recover({file});
  EXPECT_LT(prompter_.destinationQuestions, 100);
  EXPECT_TRUE(job().Results().empty());
  job().SetDiskCheck(nullptr);
}
