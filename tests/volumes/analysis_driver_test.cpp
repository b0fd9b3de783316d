// The analysis driver over real FAT images and a volume that blocks on demand: the gate and
// the queue, the stop, the failures that must still end the analysis, and what reaches the
// main window and the log.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "../support/test_support.h"
#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "volume_test_support.h"
#include "volumes/computer.h"
#include "volumes/image.h"

using volume_testing::LogCapture;

namespace {

using namespace std::chrono_literals;

// The main window: remembers every message and lets a test wait for one.
class MainWindow : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
    std::lock_guard lock(lock_);
    messages_.push_back({message, wParam});
    arrived_.notify_all();
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  // Waits until the message has come count times.
  bool WaitFor(uint32_t message, size_t count = 1) {
    std::unique_lock lock(lock_);
    return arrived_.wait_for(lock, 20s, [&] { return Count(message) >= count; });
  }
  size_t CountOf(uint32_t message) {
    std::lock_guard lock(lock_);
    return Count(message);
  }
  bool Has(uint32_t message, uintptr_t wParam) {
    std::lock_guard lock(lock_);
    for (const auto& [number, param] : messages_)
      if (number == message && param == wParam) return true;
    return false;
  }

 private:
  size_t Count(uint32_t message) const {
    size_t count = 0;
    for (const auto& entry : messages_) count += entry.first == message;
    return count;
  }
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<std::pair<uint32_t, uintptr_t>> messages_;
};

// An image volume whose reads wait while it is held.
class HeldVolume : public CVolume {
 public:
  void Hold() {
    std::lock_guard lock(lock_);
    held_ = true;
  }
  void Release() {
    std::lock_guard lock(lock_);
    held_ = false;
    released_.notify_all();
  }

 protected:
  platform::ReadResult ReadDevice(uint64_t position, void* buffer, uint32_t bytes, uint32_t timeoutMs) override {
    std::unique_lock lock(lock_);
    released_.wait(lock, [this] { return !held_; });
    lock.unlock();
    return CVolume::ReadDevice(position, buffer, bytes, timeoutMs);
  }

 private:
  std::mutex lock_;
  std::condition_variable released_;
  bool held_ = false;
};

class AnalysisDriverTest : public ::testing::Test {
 protected:
  AnalysisDriverTest() : previousApp_(g_pApp) {
    FillDefaults(app_.Settings);
    app_.Settings.AutoSectorScan = 0;
    app_.Settings.AnalyzeQueued = 1;
    app_.SetMainWindowTarget(&window);
    g_pApp = &app_;
    computer = std::make_unique<CLocalComputer>();
  }
  ~AnalysisDriverTest() override {
    CAnalysisDriver::SetSectorScanner(nullptr);
    computer.reset();
    g_pApp = previousApp_;
  }

  CVolume* Image(const char* name) {
    const std::u16string path = testing_support::FixturePath(name);
    if (path.empty()) return nullptr;
    return LoadImage(*computer, path);
  }
  HeldVolume* HeldImage(const char* name) {
    auto volume = std::make_unique<HeldVolume>();
    volume->Kind = VolumeKindImage;
    volume->DevicePath = testing_support::FixturePath(name);
    HeldVolume* held = volume.get();
    computer->Volumes.Add(std::move(volume));
    return held;
  }
  CAnalysisDriver& Driver() { return computer->Analysis; }
  AnalysisStatus& Status() { return *computer->Status; }

  SettingsRecord& Settings() { return app_.Settings; }
  LogCapture log;
  MainWindow window;
  std::unique_ptr<CLocalComputer> computer;

 private:
  CApp app_;
  CApp* previousApp_;
};

#define REQUIRE_FIXTURES(volume) \
  if (!(volume)) GTEST_SKIP() << "fixture images not made (./run fixtures)"

TEST_F(AnalysisDriverTest, AnalysisFillsTheStoreAndTellsTheWindowAndTheLog) {
  CVolume* volume = Image("fat/fat32.img");
  REQUIRE_FIXTURES(volume);
  Driver().StartAnalysis(*volume);
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED));
  ASSERT_TRUE(Driver().WaitForPasses(*volume, 5000));

  EXPECT_EQ(Status().Running, 0);
  EXPECT_EQ(Status().Phase, 1);
  EXPECT_EQ(volume->State, VolumeStateReady);
  EXPECT_TRUE(Driver().Queue().empty());
  EXPECT_EQ(computer->AnalysedVolume, volume);
  EXPECT_TRUE(window.Has(UM_STATUS_TEXT, 57211));
  EXPECT_EQ(window.CountOf(UM_FS_PASS_FINISHED), 1u);
  EXPECT_TRUE(window.Has(UM_ANALYSIS_FINISHED, reinterpret_cast<uintptr_t>(volume)));
  EXPECT_GT(volume->FileSystemFiles, 0);
  EXPECT_GT(volume->FileSystemFolders, 0);
  // Every file and folder counted is in the store, besides the drive record and the root.
  EXPECT_EQ(volume->Store.Count(), size_t(volume->FileSystemFiles + volume->FileSystemFolders + 2));
  EXPECT_EQ(volume->Store.RootId(), 2);
  for (const char16_t* line : {u"Initializing drive", u"Beginning file system analysis.", u"Analysis duration: 0 minute(s)",
                               u"Analysis completed. Found", u"completed"})
    EXPECT_TRUE(log.Contains(line)) << platform::Utf16ToUtf8(line);
  EXPECT_FALSE(log.Contains(u"Found file:"));  // LogFoundFiles is off by default
}

TEST_F(AnalysisDriverTest, SecondVolumeWaitsInTheQueueAndStartsWhenTheFirstEnds) {
  HeldVolume* first = HeldImage("fat/fat16.img");
  CVolume* second = Image("fat/fat12.img");
  REQUIRE_FIXTURES(second);
  first->Hold();
  Driver().StartAnalysis(*first);
  Driver().StartAnalysis(*second);
  Driver().StartAnalysis(*second);  // queued once
  EXPECT_EQ(Driver().Queue(), (std::vector<CVolume*>{first, second}));
  EXPECT_EQ(computer->AnalysedVolume, first);
  EXPECT_EQ(window.CountOf(UM_ANALYSIS_FINISHED), 0u);

  first->Release();
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED));
  ASSERT_TRUE(Driver().WaitForPasses(*first, 5000));
  ASSERT_TRUE(Driver().StartNextQueued());
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED, 2));
  ASSERT_TRUE(Driver().WaitForPasses(*second, 5000));
  EXPECT_TRUE(Driver().Queue().empty());
  EXPECT_GT(second->Store.Count(), 2u);
  EXPECT_FALSE(Driver().StartNextQueued());
}

TEST_F(AnalysisDriverTest, StartingAVolumeBeingAnalysedDoesNothing) {
  HeldVolume* volume = HeldImage("fat/fat16.img");
  if (volume->DevicePath.empty()) GTEST_SKIP() << "fixture images not made";
  volume->State = VolumeStateAnalysing;
  Driver().StartAnalysis(*volume);
  EXPECT_EQ(Status().Running, 0);
  EXPECT_TRUE(Driver().Queue().empty());
}

TEST_F(AnalysisDriverTest, StopEndsARunningAnalysisPromptly) {
  HeldVolume* volume = HeldImage("fat/fat32.img");
  if (volume->DevicePath.empty()) GTEST_SKIP() << "fixture images not made";
  volume->Hold();
  Driver().StartAnalysis(*volume);
  ASSERT_EQ(Status().Running, 1);
  // The pass is stuck in a read: the stop gives up waiting after its bound and returns.
  const auto started = std::chrono::steady_clock::now();
  Driver().StopAnalysis(*volume);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(Status().Running, 0);
  EXPECT_TRUE(Driver().Queue().empty());
  EXPECT_TRUE(log.Contains(u"completed"));

  // Released, the pass sees Running 0, ends its walk early and still reports the end.
  volume->Release();
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED));
  EXPECT_TRUE(Driver().WaitForPasses(*volume, 5000));
  EXPECT_EQ(volume->State, VolumeStateReady);
}

TEST_F(AnalysisDriverTest, FailuresEndTheAnalysisInsteadOfLeavingItRunning) {
  // A drive that cannot be opened.
  auto missing = std::make_unique<CVolume>();
  missing->Kind = VolumeKindImage;
  missing->DevicePath = u"/no/such/image.img";
  CVolume* gone = missing.get();
  computer->Volumes.Add(std::move(missing));
  Driver().StartAnalysis(*gone);
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED));
  ASSERT_TRUE(Driver().WaitForPasses(*gone, 5000));
  EXPECT_EQ(Status().Running, 0);
  EXPECT_TRUE(Driver().Queue().empty());

  // A pass that throws.
  CVolume* volume = Image("fat/fat12.img");
  REQUIRE_FIXTURES(volume);
  Settings().AutoSectorScan = 1;
  CAnalysisDriver::SetSectorScanner([](CAnalysisDriver&, CVolume&) { throw std::runtime_error("scanner"); });
  Driver().StartAnalysis(*volume);
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED, 2));
  ASSERT_TRUE(Driver().WaitForPasses(*volume, 5000));
  EXPECT_TRUE(log.Contains(u"Analyse.FatalError"));
  EXPECT_EQ(Status().Running, 0);
  EXPECT_EQ(volume->State, VolumeStateReady);
}

TEST_F(AnalysisDriverTest, UnknownFileSystemSkipsToTheSectorPass) {
  // The partitioned disk image's first sector is a partition table, not a file system.
  CVolume* disk = Image("partitions/mbr.img");
  REQUIRE_FIXTURES(disk);
  Settings().AutoSectorScan = 1;
  Settings().LogFoundFiles = 1;
  std::atomic<int> scans{0};
  CAnalysisDriver::SetSectorScanner([&](CAnalysisDriver& driver, CVolume& volume) {
    ++scans;
    // A partition boot sector found by the scan becomes a found volume, not a lost file.
    FoundObject bootSector{};
    bootSector.FileTypeId = 1;
    bootSector.Start = 0;
    driver.OnLostObject(volume, bootSector);
    EXPECT_EQ(volume.Store.Count(), 1u);
  });
  Driver().StartAnalysis(*disk);
  ASSERT_TRUE(window.WaitFor(UM_ANALYSIS_FINISHED));
  ASSERT_TRUE(Driver().WaitForPasses(*disk, 5000));
  EXPECT_EQ(scans, 1);
  EXPECT_TRUE(log.Contains(u"No file system detected! File system analysis skipped."));
  EXPECT_TRUE(log.Contains(u"Starting drive sector analysis, searching for lost files."));
  EXPECT_TRUE(window.Has(UM_STATUS_TEXT, 57311));
  EXPECT_EQ(window.CountOf(UM_SECTOR_PASS_FINISHED), 1u);
  EXPECT_TRUE(disk->Store.PositionIndexOn());
  EXPECT_FALSE(disk->IsOpen());
}

}  // namespace
