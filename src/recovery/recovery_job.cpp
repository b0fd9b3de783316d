// The job object, the start of a run, its two threads and its stop.
#include <chrono>

#include "app/app.h"
#include "platform/file.h"
#include "platform/system.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "recovery/recovery_log.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

std::u16string FieldText(const char16_t* field, size_t capacity) {
  size_t length = 0;
  while (length < capacity && field[length]) ++length;
  return std::u16string(field, length);
}

CRecovery& OtherJob(CRecovery& job) {
  CLocalComputer& computer = job.Computer();
  return &job == &computer.MainJob ? computer.TryOpenJob : computer.MainJob;
}

void CopySettings(CRecovery& job) {
  CRecovery::RunState& run = job.Run;
  run.KeepFolderStructure = true;
  if (!g_pApp) return;
  const SettingsRecord& settings = g_pApp->Settings;
  if (job.JobKind() == CRecovery::Kind::Main) {
    run.Destination = FieldText(settings.DestinationFolder, std::size(settings.DestinationFolder));
    run.KeepFolderStructure = settings.KeepFolderStructure != 0;
  } else {
    run.Destination = FieldText(settings.TemporaryFolder, std::size(settings.TemporaryFolder));
  }
}

void ClearRunResults(CRecovery& job) {
  std::lock_guard lock(job.Run.Lock);
  job.Run.Results.clear();
  job.Run.MadeThisRun.clear();
  job.Run.CurrentTargetPath.clear();
  job.Run.LastCopyComplete = false;
  job.Run.Positions.clear();
  job.Run.PositionsMade = false;
}

// The objects of the list in turn until the end or a stop; false after a stop.
bool CopyList(CRecovery& job) {
  AnalysisStatus& status = job.Status();
  const int32_t count = static_cast<int32_t>(job.List.size());
  for (job.Index = 0; job.Index < count; ++job.Index) {
    if (status.RecoveryContinue == 0 || job.Run.DiskFull) {
      recovery_log::Line(LogLevelInfo, kTextAborted);
      return false;
    }
    RecoverObject(job, *job.List[static_cast<size_t>(job.Index.load())], nullptr);
  }
  return true;
}

void EndRun(CRecovery& job) {
  job.Run.Use.Release();
  job.Run.Running = false;
}

}  // namespace

CRecovery::CRecovery(CLocalComputer& computer, Kind kind) : computer_(computer), kind_(kind) {
  // Room for a last sector that a read rounds up to.
  Run.Buffer.resize(kChunkBytes + 512);
}

CRecovery::~CRecovery() {
  if (Run.Running) StopRecovery(*this);
  if (Run.Thread.joinable()) Run.Thread.join();
}

AnalysisStatus& CRecovery::Status() const { return *computer_.Status; }

std::u16string CRecovery::CurrentTargetPath() const {
  std::lock_guard lock(Run.Lock);
  return Run.CurrentTargetPath;
}

std::vector<std::u16string> CRecovery::TemporaryFiles() const {
  std::lock_guard lock(Run.Lock);
  return Run.TemporaryFiles;
}

std::vector<RecoveryResult> CRecovery::Results() const {
  std::lock_guard lock(Run.Lock);
  return Run.Results;
}

const CVolume* CRecovery::HeldVolume() const { return Run.Running ? SourceVolume : nullptr; }

std::u16string CRecovery::Destination() const {
  std::lock_guard lock(Run.Lock);
  return Run.Destination;
}

bool CRecovery::Wait(uint32_t timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Run.Running) {
    if (timeoutMs != platform::Event::kInfinite && std::chrono::steady_clock::now() >= until)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (Run.Thread.joinable()) Run.Thread.join();
  return true;
}

void RecoveryThreadProc(CRecovery& job) {
  std::u16string destination = job.Run.Destination;
  if (ConfirmDestinationDrive(job, destination)) {
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Lowest);
    CopyList(job);
  }
  recovery_log::Line(LogLevelInfo, kTextCompleted);
  EndRun(job);
}

void TryOpenThreadProc(CRecovery& job) {
  std::u16string destination = job.Run.Destination;
  if (ConfirmDestinationDrive(job, destination)) {
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Lowest);
    if (CopyList(job)) {
      const std::u16string path = job.CurrentTargetPath();
      bool complete;
      {
        std::lock_guard lock(job.Run.Lock);
        complete = job.Run.LastCopyComplete;
      }
      // Only a copy this run completed is opened, never a file an earlier run left there.
      if (complete && !path.empty() && platform::FileExists(path)) {
        const CRecovery::Opener opener = job.OpenerOf();
        if (opener ? opener(path) : platform::ShellOpen(path, u"open"))
          recovery_log::Line(LogLevelInfo, kTextOpened, path);
        else
          recovery_log::Text(LogLevelError, u"Opening file: \"%s\" failed! System error code: %d",
                             path, static_cast<int>(platform::LastError()));
      }
    }
  }
  EndRun(job);
}

namespace {

bool StartRun(CRecovery& job, CVolume& volume, bool resetCount) {
  if (job.IsRunning() || OtherJob(job).IsRunning()) return false;
  if (job.List.empty()) return false;
  if (job.Run.Thread.joinable()) job.Run.Thread.join();
  job.SourceVolume = &volume;
  ++job.RunCount;
  if (resetCount) job.RecoveredCount = 0;
  job.IncompleteCount = 0;
  job.FailedCount = 0;
  job.BytesWritten = 0;
  job.Index = 0;
  job.Run.DiskFull = false;
  CopySettings(job);
  // Never a relative path: the copies would land wherever the program was started.
  if (job.Run.Destination.empty()) {
    if (job.JobKind() == CRecovery::Kind::Main) {
      recovery_log::Text(LogLevelError, u"Recovery: no destination folder is set");
      return false;
    }
    job.Run.Destination = platform::TempFolder();
  }
  ClearRunResults(job);
  job.Run.Use = job.Computer().Volumes.Use(&volume);
  // Set once, before the thread runs: a stop that comes at any later moment stays a stop.
  job.Status().RecoveryContinue = 1;
  job.Run.Running = true;
  try {
    if (job.JobKind() == CRecovery::Kind::Main)
      job.Run.Thread = std::thread(RecoveryThreadProc, std::ref(job));
    else
      job.Run.Thread = std::thread(TryOpenThreadProc, std::ref(job));
  } catch (...) {
    EndRun(job);
    return false;
  }
  return true;
}

}  // namespace

bool StartRecovery(CRecovery& job, CVolume& volume) { return StartRun(job, volume, true); }
bool StartTryOpen(CRecovery& job, CVolume& volume) { return StartRun(job, volume, false); }

bool BeginRecovery(CRecovery& job, IRecoverySelection& selection) {
  recovery_log::Line(LogLevelInfo, kTextCreatingList);
  if (BuildRecoveryList(job, selection) == 0 || !job.SourceVolume) {
    recovery_log::Line(LogLevelError, kTextListEmpty);
    return false;
  }
  recovery_log::Line(LogLevelInfo, kTextRecoveryStarted);
  return StartRecovery(job, *job.SourceVolume);
}

int StopRecovery(CRecovery& job) {
  job.Status().RecoveryContinue = 0;
  if (IRecoveryPrompter* prompter = job.Prompter()) prompter->Stop();
  return 1;
}

int DeleteTemporaryFiles(CRecovery& job) {
  const std::vector<std::u16string> files = job.TemporaryFiles();
  if (files.empty()) return 1;
  IRecoveryPrompter* prompter = job.Prompter();
  if (prompter && prompter->AskDeleteTemporaryFiles(files.size()))
    for (const std::u16string& file : files) platform::DeleteFile(file);
  return 1;
}
