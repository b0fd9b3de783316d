#include "cli/analysis_run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>

#include "app/app.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "cli/command.h"
#include "cli/progress.h"
#include "cli/volume_from_path.h"
#include "filesystems/file_system.h"
#include "platform/text.h"
#include "signatures/file_types.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};
// Polls in a row with nothing running and nothing starting before the wait gives up: the
// driver clears Running a moment before it posts the end of an analysis.
constexpr int kIdlePollsBeforeGivingUp = 3;

// The bytes a volume's analysis walks over, for the progress bar.
uint64_t ProgressBytes(const CVolume& volume) {
  if (volume.ClusterCount != 0) return volume.ClusterCount * volume.BytesPerCluster;
  return volume.TotalBytes;
}

}  // namespace

// The main window of the command: the ends of analyses and the log's lines, queued for the
// command's thread. Found-object and status messages are of no use to it and are dropped.
class AnalysisRun::Window : public IMessageTarget {
 public:
  struct Events {
    std::vector<CVolume*> finished;
    std::vector<std::string> lines;
  };

  void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
    if (message == UM_ANALYSIS_FINISHED) {
      std::lock_guard lock(lock_);
      events_.finished.push_back(reinterpret_cast<CVolume*>(wParam));
    } else if (message == UM_LOG_LINE && wParam != 0) {
      // The text is the log's: copied now, while it is sure to be there.
      std::string line = platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(wParam));
      std::lock_guard lock(lock_);
      events_.lines.push_back(std::move(line));
    } else {
      return;
    }
    arrived_.notify_one();
  }
  // The status text is sent from the analysis thread; nothing here waits for it.
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }

  // What arrived, after waiting at most timeout for something.
  Events Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    arrived_.wait_for(lock, timeout,
                      [this] { return !events_.finished.empty() || !events_.lines.empty(); });
    return std::exchange(events_, {});
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  Events events_;
};

AnalysisRun::AnalysisRun(Output output)
    : output_(output),
      window_(std::make_unique<Window>()),
      previousComputer_(g_pComputer),
      previousFileTypes_(g_pFileTypes),
      previousMainWindow_(g_pApp->MainWindow()),
      previousLogWindow_(g_pApp->LogWindow()) {
  g_pComputer = &computer_;
  g_pFileTypes = &computer_.FileTypes;
  g_pApp->Settings.AutoSectorScan = 0;
  g_pApp->Settings.AnalyzeQueued = 1;
  g_pApp->SetMainWindowTarget(window_.get());
  g_pApp->SetLogWindowTarget(window_.get());
}

AnalysisRun::~AnalysisRun() {
  computer_.Analysis.Shutdown();
  g_pApp->SetMainWindowTarget(previousMainWindow_);
  g_pApp->SetLogWindowTarget(previousLogWindow_);
  g_pComputer = previousComputer_;
  g_pFileTypes = previousFileTypes_;
  if (output_ == Output::Bar) PrintLogLines(nullptr, window_->Wait({}).lines);
}

bool AnalysisRun::Load(const std::string& utf8Path) {
  path_ = utf8Path;
  std::unique_ptr<CVolume> volume = VolumeFromPath(utf8Path);
  if (!volume) return false;
  if (volume->Kind == VolumeKindImage) {
    loaded_ = LoadImage(computer_, platform::Utf8ToUtf16(utf8Path));
    if (!loaded_) {
      Fail("cannot open the drive image '" + utf8Path + "'");
      return false;
    }
  } else {
    volume->QueryInformation();
    if (volume->State != VolumeStateReady) {
      Fail("cannot read '" + utf8Path + "'");
      return false;
    }
    loaded_ = volume.get();
    // Listed first: only a listed drive has the partitions of its table added.
    computer_.Volumes.Add(std::move(volume));
    loaded_->AnalyzeBootSector();
  }
  FindVolumes();
  return true;
}

void AnalysisRun::FindVolumes() {
  volumes_.clear();
  if (AnalyserForType(loaded_->FileSystemType()) != FsAnalyser::None) volumes_.push_back(loaded_);
  std::vector<CVolume*> partitions;
  for (CVolume* volume : computer_.Volumes.Items())
    if (volume != loaded_ && volume->Parent == loaded_) partitions.push_back(volume);
  std::stable_sort(partitions.begin(), partitions.end(), [](const CVolume* a, const CVolume* b) {
    return a->StartOffset < b->StartOffset;
  });
  volumes_.insert(volumes_.end(), partitions.begin(), partitions.end());
}

void AnalysisRun::LoadFileTypes() {
  if (!computer_.FileTypes.IsLoaded()) computer_.FileTypes.Load();
}

void AnalysisRun::ApplyPasses(const Passes& passes) {
  passes_ = passes;
  if (passes.sectors) LoadFileTypes();
  SettingsRecord& settings = g_pApp->Settings;
  settings.AutoSectorScan = passes.sectors && !passes.sectorsOnly ? 1 : 0;
  settings.SearchThreads = passes.threads;
  settings.ScanMode = passes.freeSpaceOnly ? 1 : 0;
}

bool AnalysisRun::Analyse(const Passes& passes) {
  ApplyPasses(passes);
  if (passes.sectorsOnly) return ScanLoadedDrive(0);
  // A drive without a file system still has its sectors.
  if (passes.sectors && volumes_.empty()) volumes_.push_back(loaded_);
  return Analyse();
}

bool AnalysisRun::ScanLoadedDrive(int32_t lostDrivesOnly) {
  volumes_ = {loaded_};
  if (!loaded_->Open()) {
    Fail("could not read '" + path_ + "'");
    return false;
  }
  // The drive's own record, which the lost files' folders hang below.
  loaded_->Store.Clear();
  loaded_->Store.Add(&loaded_->RootRecord, true);
  if (!computer_.Analysis.StartSectorScan(*loaded_, lostDrivesOnly)) {
    Fail("the sector scan of '" + path_ + "' could not be started");
    return false;
  }
  WaitForAnalyses();
  analysed_ = {loaded_};
  return true;
}

void AnalysisRun::SetSearchThreads(int32_t count) { g_pApp->Settings.SearchThreads = count; }

bool AnalysisRun::SearchLostDrives(std::vector<CVolume*>& found) {
  passes_ = Passes{true, true, g_pApp->Settings.SearchThreads, false};
  g_pApp->Settings.ScanMode = 0;
  LoadFileTypes();
  loaded_->RootRecord.Flags &= ~FoundAlsoScanned;
  if (!ScanLoadedDrive(1)) return false;
  found.clear();
  // A boot sector at the drive's own start is the drive itself.
  if ((loaded_->RootRecord.Flags & FoundAlsoScanned) &&
      AnalyserForType(loaded_->FileSystemType()) != FsAnalyser::None)
    found.push_back(loaded_);
  for (CVolume* volume : computer_.Volumes.Items())
    if (volume != loaded_ && volume->Kind == VolumeKindFound && volume->Parent == loaded_)
      found.push_back(volume);
  std::stable_sort(found.begin(), found.end(), [](const CVolume* a, const CVolume* b) {
    return a->StartOffset < b->StartOffset;
  });
  return true;
}

bool AnalysisRun::Analyse() {
  if (volumes_.empty()) {
    Fail("no FAT or NTFS file system and no partition table on '" + path_ + "'");
    return false;
  }
  for (CVolume* volume : volumes_) computer_.Analysis.StartAnalysis(*volume);
  WaitForAnalyses();
  analysed_.clear();
  // A volume that could not be opened was never given its drive record.
  for (CVolume* volume : volumes_)
    if (volume->Store.Count() != 0) analysed_.push_back(volume);
  if (analysed_.empty()) {
    Fail("could not read any volume of '" + path_ + "'");
    return false;
  }
  return true;
}

void AnalysisRun::WaitForAnalyses() {
  uint64_t total = 0;
  for (const CVolume* volume : volumes_) total += PassCount() * ProgressBytes(*volume);
  std::unique_ptr<ProgressBar> bar;
  if (output_ == Output::Bar) bar = std::make_unique<ProgressBar>("Analysing", total);
  CAnalysisDriver& driver = computer_.Analysis;
  int idlePolls = 0;
  while (true) {
    Window::Events events = window_->Wait(kPollInterval);
    PrintLogLines(bar.get(), std::move(events.lines));
    if (bar) ShowProgress(*bar);
    if (computer_.Status->Running != 0) {
      idlePolls = 0;
      continue;
    }
    if (driver.Queue().empty()) break;
    // What the main window does on UM_ANALYSIS_FINISHED; tried on every quiet poll too, so that
    // a queued volume whose start failed cannot keep the command waiting for ever.
    if (driver.StartNextQueued() || !events.finished.empty()) {
      idlePolls = 0;
    } else if (++idlePolls >= kIdlePollsBeforeGivingUp) {
      break;
    }
  }
  // The driver clears Running a moment before its thread has logged the end and returned.
  for (CVolume* volume : volumes_) driver.WaitForPasses(*volume, CAnalysisDriver::kStopWaitMs);
  if (bar) {
    bar->Update(total);
    bar->Finish();
  }
  PrintLogLines(nullptr, window_->Wait({}).lines);
}

// One bar over every volume: the finished ones count whole, the running one by its progress.
void AnalysisRun::ShowProgress(ProgressBar& bar) {
  const CVolume* current = computer_.Status->Volume.load();
  uint64_t done = 0;
  for (const CVolume* volume : volumes_) {
    if (volume == current) break;
    done += PassCount() * ProgressBytes(*volume);
  }
  auto found = std::find(volumes_.begin(), volumes_.end(), current);
  if (found == volumes_.end()) return;
  // The passes count in their own units (clusters for FAT, MFT records for NTFS): the bar takes
  // their share of the whole.
  const uint64_t pos = computer_.Status->ProgressPos.load();
  const uint64_t of = computer_.Status->ProgressTotal.load();
  const uint64_t position =
      of == 0 ? 0
              : static_cast<uint64_t>(static_cast<double>(ProgressBytes(*current)) *
                                      std::min(pos, of) / of);
  std::string label = "Analysing";
  if (volumes_.size() > 1)
    label +=
        " " + std::to_string(found - volumes_.begin() + 1) + "/" + std::to_string(volumes_.size());
  // The sector pass of a volume comes after its file-system pass.
  const bool sectorPass = computer_.Status->Phase.load() == 2;
  if (PassCount() == 2 && sectorPass) {
    done += ProgressBytes(*current);
    label += " (sectors)";
  }
  bar.SetLabel(label);
  bar.Update(done + std::min(position, ProgressBytes(*current)));
}

void AnalysisRun::PrintLogLines(ProgressBar* bar, std::vector<std::string> lines) {
  if (lines.empty()) return;
  if (output_ == Output::Quiet) {
    held_.insert(held_.end(), std::make_move_iterator(lines.begin()),
                 std::make_move_iterator(lines.end()));
    return;
  }
  if (bar) bar->Clear();
  for (const std::string& line : lines) std::cerr << line << '\n';
  std::cerr.flush();
}

std::vector<std::string> AnalysisRun::TakeLogLines() {
  PrintLogLines(nullptr, window_->Wait({}).lines);
  return std::exchange(held_, {});
}

void AnalysisRun::Fail(const std::string& message) {
  // Why, as the engine logged it, comes before the verdict, even when quiet.
  PrintLogLines(nullptr, window_->Wait({}).lines);
  for (const std::string& line : std::exchange(held_, {})) std::cerr << line << '\n';
  CliFailure(message);
}
