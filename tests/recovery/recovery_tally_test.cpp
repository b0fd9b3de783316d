// The wizard's sum of what its recoveries wrote: every run counted once, folders and failed
// starts not at all.
#include <gtest/gtest.h>

#include "recovery/recovery_tally.h"
#include "recovery_test_support.h"

using namespace recovery_testing;

namespace {

class RecoveryTally : public RecoveryFixture {
 protected:
  bool Run(std::vector<FoundObject*> list) {
    job().List = std::move(list);
    if (!StartRecovery(job(), volume_)) return false;
    return job().Wait(30000);
  }
};

TEST_F(RecoveryTally, SumsTheFilesOfEveryRunOnceAndLeavesFoldersOut) {
  FoundObject* first = Add(u"first.txt", FoundDeleted, 1001, 0, 4096, 300);
  FoundObject* folder = Add(u"Old", FoundFolder | FoundDeleted, 20, 0, 0, 0);
  FoundObject* second = Add(u"second.txt", FoundDeleted, 1002, 20, 8192, 200);
  FoundObject* third = Add(u"third.txt", FoundDeleted, 1003, 0, 12288, 100);

  // A run before the wizard began is not its own.
  ASSERT_TRUE(Run({third}));
  CRecoveryTally tally;
  tally.Begin(job());
  EXPECT_EQ(tally.Recovered(), 0);

  ASSERT_TRUE(Run({first}));
  EXPECT_EQ(tally.Recovered(), 1) << "a run that was not banked yet counts";
  tally.Observe();
  tally.Observe();
  EXPECT_EQ(tally.Recovered(), 1) << "banked once";

  // The next run's list holds a folder and its file: the folder is no recovered file.
  ASSERT_TRUE(Run({second, folder}));
  EXPECT_EQ(job().Results().size(), 2u);
  EXPECT_EQ(tally.Recovered(), 2);
  tally.Observe();
  EXPECT_EQ(tally.Recovered(), 2);
  EXPECT_EQ(tally.Incomplete(), 0);

  // A start refused for an empty list changes nothing.
  EXPECT_FALSE(Run({}));
  tally.Observe();
  EXPECT_EQ(tally.Recovered(), 2);

  // Another drive starts from zero.
  tally.Begin(job());
  EXPECT_EQ(tally.Recovered(), 0);
}

}  // namespace
