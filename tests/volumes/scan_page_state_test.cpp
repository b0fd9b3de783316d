// What a wizard scan page shows: its counters, bar and buttons from the status record and the
// drive's counters, while a pass runs and after it.
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "volume_test_support.h"
#include "volumes/scan_page_state.h"
#include "volumes/volume.h"

namespace {

using namespace volume_testing;

class ScanPage : public ::testing::Test {
 protected:
  ScanPageState Read(ScanPass pass, const CVolume* of) {
    return ReadScanPageState(pass, status, of, baseline);
  }
  void Run(CVolume& on) {
    status.Running = 1;
    status.Volume = &on;
  }

  AnalysisStatus status;
  CVolume volume;
  ScanPageBaseline baseline;
};

}  // namespace

TEST_F(ScanPage, IdleLetsTheUserMoveOnAndStartButNotStop) {
  volume.FileSystemFiles = 12;
  const ScanPageState idle = Read(ScanPass::FileSystem, &volume);
  EXPECT_FALSE(idle.Busy);
  EXPECT_EQ(idle.StatusText, kTextIdle);
  EXPECT_TRUE(idle.WizardButtonsEnabled);
  EXPECT_TRUE(idle.StartEnabled);
  EXPECT_FALSE(idle.StopEnabled);
  EXPECT_EQ(idle.FilesFound, 12);
  EXPECT_FALSE(Read(ScanPass::FileSystem, nullptr).StartEnabled) << "no drive, nothing to scan";
}

TEST_F(ScanPage, WhileItsPassRunsOnlyStopCanBePressed) {
  Run(volume);
  const ScanPageState busy = Read(ScanPass::FileSystem, &volume);
  EXPECT_TRUE(busy.Busy);
  EXPECT_EQ(busy.StatusText, kTextBusy);
  EXPECT_FALSE(busy.WizardButtonsEnabled);
  EXPECT_FALSE(busy.StartEnabled);
  EXPECT_TRUE(busy.StopEnabled);

  // The gate dropped by a stop while the pass thread still ends: still busy until it has.
  status.Running = 0;
  volume.State = VolumeStateAnalysing;
  EXPECT_TRUE(Read(ScanPass::FileSystem, &volume).Busy);
  volume.State = VolumeStateReady;
  EXPECT_FALSE(Read(ScanPass::FileSystem, &volume).Busy);

  // Another drive's analysis holds the gate: this page's drive is not being scanned.
  CVolume other;
  Run(other);
  EXPECT_FALSE(Read(ScanPass::FileSystem, &volume).Busy);
}

TEST_F(ScanPage, TheFileSystemBarRunsWithoutEndAndTheSectorBarByClusters) {
  Run(volume);
  status.ProgressTotal = 1000;
  status.ProgressPos = 250;
  volume.FileSystemFiles = 3;
  volume.ScanFiles = 7;
  const ScanPageState files = Read(ScanPass::FileSystem, &volume);
  EXPECT_EQ(files.BarMode, ScanBarMode::Marquee);
  EXPECT_EQ(files.Done, 250u);
  EXPECT_EQ(files.Total, 1000u);
  EXPECT_EQ(files.FilesFound, 3);
  EXPECT_FALSE(files.FreeClusters.has_value());

  const ScanPageState sectors = Read(ScanPass::Sectors, &volume);
  EXPECT_EQ(sectors.BarMode, ScanBarMode::Position);
  EXPECT_EQ(sectors.BarPosition, 25);  // done / (total / 100)
  EXPECT_EQ(sectors.FilesFound, 7);

  status.ProgressTotal = 99;  // a hundredth of nothing: the bar stays at its start
  EXPECT_EQ(Read(ScanPass::Sectors, &volume).BarPosition, 0);
  status.ProgressTotal = 1000;
  status.ProgressPos = 0;
  EXPECT_EQ(Read(ScanPass::Sectors, &volume).BarPosition, 0);
  status.ProgressPos = 5000;  // a position past the total never leaves the bar's range
  EXPECT_EQ(Read(ScanPass::Sectors, &volume).BarPosition, kScanBarMaximum);
}

TEST_F(ScanPage, ReadErrorsCountFromTheStartOfTheScan) {
  testing_support::TempFolder folder;
  const std::u16string path = folder.File(u"disk.img");
  ASSERT_TRUE(testing_support::WriteWholeFile(path, NumberedSectors(8)));
  auto disk = ImageVolume(path);
  LogCapture log;
  std::vector<uint8_t> buffer(4 * kSectorSize);
  ASSERT_EQ(disk->ReadSectors(buffer.data(), 6, 4), 2 * kSectorSize) << "past the end: short";
  EXPECT_EQ(disk->ReadErrors, 1u);

  baseline = ScanPageBaselineOf(ScanPass::FileSystem, *disk);
  EXPECT_EQ(Read(ScanPass::FileSystem, disk.get()).ReadErrors, 0u)
      << "earlier errors are not this scan's";
  ASSERT_EQ(disk->ReadSectors(buffer.data(), 0, 4), 4 * kSectorSize);
  disk->ReadSectors(buffer.data(), 7, 2);
  EXPECT_EQ(Read(ScanPass::FileSystem, disk.get()).ReadErrors, 1u);
}

TEST_F(ScanPage, FreeClustersComeFromTheClusterMap) {
  volume.ClusterCount = 20;
  EXPECT_FALSE(FreeClusterCount(volume).has_value()) << "no map, no count";
  ASSERT_TRUE(volume.ClusterBitmap.Reset(20, 0));
  for (uint64_t used : {0, 1, 2, 9, 17, 19}) volume.ClusterBitmap.Set(used, 1);
  EXPECT_EQ(FreeClusterCount(volume), 14u);
  // Only the clusters of the volume count, not the padding of the map's last byte.
  volume.ClusterBitmap.Set(23, 1);
  EXPECT_EQ(FreeClusterCount(volume), 14u);
  // A map shorter than the volume (a damaged table) counts what it holds.
  volume.ClusterCount = 1000;
  EXPECT_EQ(FreeClusterCount(volume), 24u - 7u);

  volume.ClusterCount = 20;
  baseline = ScanPageBaselineOf(ScanPass::Sectors, volume);
  EXPECT_EQ(Read(ScanPass::Sectors, &volume).FreeClusters, 14u);
  EXPECT_EQ(CountText(18446744073709551615ull), u"18446744073709551615");
}
