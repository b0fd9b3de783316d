#include "volumes/analysis_driver.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "app/app.h"
#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/strings.h"
#include "filesystems/fat_analyser.h"
#include "filesystems/ntfs_analyser.h"
#include "signatures/searcher.h"
#include "volumes/backup_boot_sector.h"
#include "volumes/computer.h"
#include "volumes/found_volume_size.h"
#include "volumes/volume.h"

namespace {

constexpr int32_t kOpenFailed = static_cast<int32_t>(0x80004005);  // E_FAIL

// Status texts sent with UM_STATUS_TEXT.
constexpr uint32_t kTextAnalysingFileSystem = 57211;
constexpr uint32_t kTextAnalysingSectors = 57311;

// Sector-scan finds that are partition boot sectors (FAT12/16, FAT32, NTFS types of the
// built-in table), and the file-system fragments the analysers read themselves.
bool IsPartitionBootSector(int16_t type) {
  return type == 1 || type == 4 || type == 7 || type == 11;
}
bool IsFileSystemFragment(int16_t type) { return type == 24 || type == 25; }
// What Phase says: which pass runs.
constexpr int32_t kPhaseFileSystem = 1;
constexpr int32_t kPhaseSectors = 2;
// Types below this are the drive structures above, never files of their own.
constexpr int16_t kFirstFileType = 30;

const SettingsRecord* Settings() { return g_pApp ? &g_pApp->Settings : nullptr; }
bool SettingOn(int32_t SettingsRecord::*field) {
  const SettingsRecord* settings = Settings();
  return settings && settings->*field != 0;
}

template <typename... Args>
void LogText(int32_t level, uint32_t number, const Args&... args) {
  if (g_pLog) g_pLog->Add(level, platform::Format(LanguageString(number), args...));
}

using Clock = std::chrono::steady_clock;

int64_t ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// "Analysis completed. Found ..." and "Analysis duration: ...".
void LogCounts(int32_t folders, int32_t files) { LogText(LogLevelInfo, 136, folders, files); }
void LogDuration(int64_t ms) {
  LogText(LogLevelInfo, 135, static_cast<int>(ms / 60000), static_cast<int>(ms / 1000 % 60));
}

}  // namespace

struct CAnalysisDriver::VolumeWork {
  CPassThread Thread;
  std::unique_ptr<VolumeSink> Sink;
};

class CAnalysisDriver::VolumeSink : public IFoundObjectSink {
 public:
  VolumeSink(CAnalysisDriver& driver, CVolume& volume) : driver_(driver), volume_(volume) {}
  void OnFoundObject(const FoundObject& record) override { driver_.OnFoundObject(volume_, record); }

 private:
  CAnalysisDriver& driver_;
  CVolume& volume_;
};

namespace {
CAnalysisDriver::SectorScanner& SectorScannerSlot() {
  static CAnalysisDriver::SectorScanner scanner;
  return scanner;
}
}  // namespace

void CAnalysisDriver::SetSectorScanner(SectorScanner scanner) {
  SectorScannerSlot() = std::move(scanner);
}

void CAnalysisDriver::RunSearcher(CVolume& volume) {
  CSearcher searcher(volume, status_,
                     [this, &volume](const FoundObject& record) { OnLostObject(volume, record); });
  searcher.Run();
}

CAnalysisDriver::CAnalysisDriver(CLocalComputer& computer, AnalysisStatus& status)
    : computer_(computer), status_(status) {}

CAnalysisDriver::~CAnalysisDriver() { Shutdown(); }

void CAnalysisDriver::Shutdown() {
  status_.Running = 0;
  std::vector<VolumeWork*> all;
  {
    std::lock_guard lock(lock_);
    for (auto& [volume, work] : work_) all.push_back(work.get());
  }
  for (VolumeWork* work : all) work->Thread.Join();
}

CAnalysisDriver::VolumeWork& CAnalysisDriver::WorkOf(const CVolume& volume) {
  std::lock_guard lock(lock_);
  std::unique_ptr<VolumeWork>& work = work_[&volume];
  if (!work) work = std::make_unique<VolumeWork>();
  return *work;
}

IMessageTarget* CAnalysisDriver::MainWindow() const {
  return g_pApp ? g_pApp->MainWindow() : nullptr;
}

void CAnalysisDriver::Post(uint32_t message, uintptr_t wParam) {
  if (IMessageTarget* window = MainWindow()) window->Post(message, wParam, 0);
}

void CAnalysisDriver::SendStatus(uint32_t textNumber) {
  if (IMessageTarget* window = MainWindow()) window->Send(UM_STATUS_TEXT, textNumber, 0);
}

void CAnalysisDriver::SetAnalysedVolume(CVolume& volume, bool selectAndShow) {
  std::lock_guard lock(lock_);
  if (selectAndShow) computer_.SelectedVolume = &volume;
  computer_.AnalysedVolume = &volume;
  computer_.ShownVolume = &volume;
  status_.Volume = &volume;
}

void CAnalysisDriver::Enqueue(CVolume& volume) {
  std::lock_guard lock(lock_);
  if (std::find(queue_.begin(), queue_.end(), &volume) == queue_.end()) queue_.push_back(&volume);
}

void CAnalysisDriver::Dequeue(const CVolume& volume) {
  std::lock_guard lock(lock_);
  std::erase(queue_, &volume);
}

std::vector<CVolume*> CAnalysisDriver::Queue() const {
  std::lock_guard lock(lock_);
  return queue_;
}

bool CAnalysisDriver::IsQueued(const CVolume& volume) const {
  std::lock_guard lock(lock_);
  return std::find(queue_.begin(), queue_.end(), &volume) != queue_.end();
}

bool CAnalysisDriver::WaitForPasses(const CVolume& volume, uint32_t timeoutMs) {
  return WorkOf(volume).Thread.WaitFor(timeoutMs);
}

bool CAnalysisDriver::StartPass(CVolume& volume, const char16_t* failureText,
                                std::function<void()> body) {
  VolumeWork& work = WorkOf(volume);
  // A pass that was asked to stop may still be on its way out.
  if (work.Thread.IsRunning() && !work.Thread.WaitFor(kStopWaitMs)) return false;
  // Taken before the start returns: a rescan does not free the volume, or the disk it lies
  // on, between the start and the end of the pass.
  auto use = std::make_shared<CVolumeUse>(computer_.Volumes.Use(&volume));
  return work.Thread.Start([this, &volume, failureText, use, body = std::move(body)] {
    try {
      body();
    } catch (...) {
      if (g_pLog) g_pLog->Add(LogLevelError, failureText);
      // Nothing runs any more: the analysis ends instead of looking busy until a Stop.
      AnalysisFinished(volume);
    }
  });
}

// An analysis clears the store that a running recovery copies from.
bool CAnalysisDriver::RefusedForRecovery(const CVolume& volume) const {
  if (!computer_.RecoveryHolds(volume)) return false;
  if (g_pLog)
    g_pLog->LogError(u"Recovery is running from %s: its analysis must wait until it ends",
                     volume.DisplayName);
  return true;
}

bool CAnalysisDriver::StartAnalysis(CVolume& volume) {
  if (volume.State == VolumeStateAnalysing || RefusedForRecovery(volume)) return false;
  // Queued before the thread starts: an analysis that fails at once takes it off again.
  Enqueue(volume);
  {
    // The gate and the volume it belongs to change together, so that a stop of another volume
    // never sees the gate with the previous volume's name on it.
    std::lock_guard lock(lock_);
    int32_t idle = 0;
    if (!status_.Running.compare_exchange_strong(idle, 1)) return false;
    computer_.SelectedVolume = &volume;
    computer_.AnalysedVolume = &volume;
    computer_.ShownVolume = &volume;
    status_.Volume = &volume;
  }
  if (StartPass(volume, u"Analyse.FatalError", [this, &volume] { Analyse(volume); })) return true;
  status_.Running = 0;
  return false;
}

void CAnalysisDriver::StartFileSystemAnalysis(CVolume& volume) {
  if (RefusedForRecovery(volume)) return;
  SetAnalysedVolume(volume, false);
  status_.Running = 1;
  status_.ProgressPos = 0;
  status_.ProgressTotal = volume.ClusterCount;
  auto body = [this, &volume] {
    volume.State = VolumeStateAnalysing;
    AnalyseFileSystem(volume);
    volume.State = VolumeStateReady;
  };
  if (!StartPass(volume, u"AnalyseFileSystem.FatalError", body)) status_.Running = 0;
}

bool CAnalysisDriver::StartSectorScan(CVolume& volume, int32_t lostDrivesOnly) {
  if (RefusedForRecovery(volume)) return false;
  // Another analysis owns the status record: overwriting it would take its gate.
  int32_t idle = 0;
  if (!status_.Running.compare_exchange_strong(idle, 1)) {
    LogText(LogLevelInfo, 57123, volume.GetDisplayName());
    return false;
  }
  volume.SectorScanOption = lostDrivesOnly;
  status_.ProgressPos = 0;
  status_.ProgressTotal = volume.ClusterCount;
  {
    std::lock_guard lock(lock_);
    computer_.AnalysedVolume = &volume;
    status_.Volume = &volume;
  }
  auto body = [this, &volume] {
    volume.State = VolumeStateAnalysing;
    AnalyseSectors(volume);
    volume.State = VolumeStateReady;
    std::lock_guard lock(lock_);
    if (status_.Volume.load() == &volume) status_.Running = 0;
  };
  if (StartPass(volume, u"AnalyseSectors.FatalError", body)) return true;
  status_.Running = 0;
  return false;
}

void CAnalysisDriver::StopAnalysis(CVolume& volume) {
  {
    // Only the analysis of this volume is stopped: one started meanwhile keeps its gate.
    std::lock_guard lock(lock_);
    if (status_.Volume.load() == &volume) status_.Running = 0;
    std::erase(queue_, &volume);
  }
  volume.State = VolumeStateReady;
  CPassThread& thread = WorkOf(volume).Thread;
  if (thread.IsCurrent()) {
    LogText(LogLevelInfo, 57123, volume.GetDisplayName());
    return;
  }
  // The passes poll Running and end by themselves; one that does not within the wait is left
  // to finish rather than killed with the store's lock held.
  if (!thread.WaitFor(kStopWaitMs)) LogText(LogLevelInfo, 57123, volume.GetDisplayName());
}

void CAnalysisDriver::AnalysisFinished(CVolume& volume) {
  StopAnalysis(volume);
  Post(UM_ANALYSIS_FINISHED, reinterpret_cast<uintptr_t>(&volume));
}

bool CAnalysisDriver::StartNextQueued() {
  if (!SettingOn(&SettingsRecord::AnalyzeQueued) || status_.Running != 0) return false;
  CVolume* next = nullptr;
  {
    std::lock_guard lock(lock_);
    // A rescan may have freed a volume while it waited.
    std::erase_if(queue_,
                  [this](const CVolume* volume) { return !computer_.Volumes.IsListed(volume); });
    if (queue_.empty()) return false;
    next = queue_.front();
  }
  return StartAnalysis(*next);
}

int32_t CAnalysisDriver::Analyse(CVolume& volume) {
  LogText(LogLevelInfo, 57111, volume.GetDisplayName());
  if (!volume.Open()) {
    // Open has logged why; the analysis ends here rather than staying "running".
    AnalysisFinished(volume);
    return kOpenFailed;
  }
  volume.State = VolumeStateAnalysing;
  volume.AnalyzeBootSector();
  AnalyseFileSystem(volume);
  if (SettingOn(&SettingsRecord::AutoSectorScan) && status_.Running != 0) AnalyseSectors(volume);
  AnalysisFinished(volume);
  return 0;
}

bool CAnalysisDriver::CreateAnalyser(CVolume& volume) {
  const int32_t type = volume.FileSystemType();
  IFoundObjectSink* sink = nullptr;
  {
    VolumeWork& work = WorkOf(volume);
    std::lock_guard lock(lock_);
    if (!work.Sink) work.Sink = std::make_unique<VolumeSink>(*this, volume);
    sink = work.Sink.get();
  }
  switch (AnalyserForType(type)) {
    case FsAnalyser::Fat:
      volume.FileSystem = std::make_unique<CFileSystem_FAT>(volume, &status_, sink);
      break;
    case FsAnalyser::Ntfs:
      volume.FileSystem = std::make_unique<CFileSystem_NTFS>(volume, &status_, sink);
      break;
    case FsAnalyser::None:
      return false;
  }
  volume.Store.SetRootId(RootIdForType(type));
  return true;
}

void CAnalysisDriver::AnalyseFileSystem(CVolume& volume) {
  volume.FileSystemFolders = 0;
  volume.FileSystemFiles = 0;
  const Clock::time_point started = Clock::now();
  status_.ProgressPos = 0;
  status_.ProgressTotal = volume.ClusterCount;
  status_.Phase = kPhaseFileSystem;
  status_.Computer = &computer_;
  SendStatus(kTextAnalysingFileSystem);
  LogText(LogLevelInfo, 57212);

  volume.Store.Clear();
  volume.Store.Add(&volume.RootRecord, true);
  if (CreateAnalyser(volume)) {
    CFileSystem& fileSystem = *volume.FileSystem;
    fileSystem.RootFolder.ParentId = volume.RootRecord.Id;
    volume.Store.Add(&fileSystem.RootFolder, true);
    fileSystem.Analyse();
  } else {
    LogText(LogLevelInfo, 57214);
  }
  Post(UM_FS_PASS_FINISHED, 0);
  LogDuration(ElapsedMs(started));
  LogCounts(volume.FileSystemFolders, volume.FileSystemFiles);
}

void CAnalysisDriver::AnalyseSectors(CVolume& volume) {
  volume.ScanFolders = 0;
  volume.ScanFiles = 0;
  status_.Running = 1;
  status_.Computer = &computer_;
  {
    std::lock_guard lock(lock_);
    computer_.AnalysedVolume = &volume;
  }
  status_.Phase = kPhaseSectors;
  status_.ProgressPos = 0;
  SendStatus(kTextAnalysingSectors);
  LogText(LogLevelInfo, 57313);
  const Clock::time_point started = Clock::now();
  volume.Store.EnablePositionIndex();
  if (const SectorScanner& scanner = SectorScannerSlot())
    scanner(*this, volume);
  else
    RunSearcher(volume);
  Post(UM_SECTOR_PASS_FINISHED, 0);
  LogCounts(volume.ScanFolders, volume.ScanFiles);
  LogDuration(ElapsedMs(started));
  volume.Close();
}

void CAnalysisDriver::OnFoundObject(CVolume& volume, const FoundObject& record) {
  FoundObject* stored = volume.Store.AddFileSystemObject(record, MainWindow());
  if (!stored) return;
  if (record.Flags & FoundFolder) {
    ++volume.FileSystemFolders;
    return;
  }
  ++volume.FileSystemFiles;
  if (SettingOn(&SettingsRecord::LogFoundFiles) && stored->Name)
    LogText(LogLevelInfo, 134, stored->Name);
}

void CAnalysisDriver::OnLostObject(CVolume& volume, const FoundObject& record) {
  // The analysers' fragment parsers share scratch records, and the counters and the stored
  // record's flags are read after the store's lock is released: one hand-over at a time.
  std::lock_guard handOver(handOverLock_);
  if (IsPartitionBootSector(record.FileTypeId)) {
    // The file system's own copy of its boot sector is the volume itself.
    if (IsBackupBootSector(volume, record.Start)) return;
    FoundObject partition = record;
    partition.ParentId = volume.RootRecord.Id;
    computer_.AddFoundVolume(partition, FoundVolumeBytes(volume, record));
    return;
  }
  if (volume.SectorScanOption == 1) return;
  if (IsFileSystemFragment(record.FileTypeId)) {
    if (volume.FileSystem) volume.FileSystem->AnalyseFragment(record);
    return;
  }
  if (record.FileTypeId < kFirstFileType) return;
  FoundObject* stored = volume.Store.AddLostObject(record, MainWindow());
  if (!stored) return;
  const uint16_t flags = stored->Flags;
  if (flags & FoundFolder) {
    ++volume.ScanFolders;
    return;
  }
  if (!(flags & FoundAlsoScanned)) {
    ++volume.ScanFiles;
    ++status_.ProgressExtra;
  }
  if (SettingOn(&SettingsRecord::LogFoundFiles) && stored->Name)
    LogText(LogLevelInfo, 134, stored->Name);
}
