#include "signatures/searcher.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "app/app.h"
#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings.h"
#include "platform/system.h"
#include "signatures/file_types.h"
#include "signatures/search_worker.h"
#include "signatures/type_matcher.h"
#include "volumes/analysis_status.h"
#include "volumes/volume.h"

namespace {

constexpr uint32_t kUnit = 512;
constexpr uint32_t kStringSearchStarted = 139;
// How often a wait for an idle worker looks at Running again.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

template <typename... Args>
void LogError(std::u16string_view format, const Args&... args) {
  if (g_pLog) g_pLog->LogError(format, args...);
}

uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

CSearcher::CSearcher(CVolume& volume, AnalysisStatus& status, LostObjectHandler handler,
                     const FileTypeDatabase* types, SettingsRecord* settings)
    : volume_(volume),
      status_(status),
      handler_(std::move(handler)),
      types_(types ? types : g_pFileTypes),
      settings_(settings ? settings : (g_pApp ? &g_pApp->Settings : nullptr)) {
  if (g_pApp) window_ = g_pApp->MainWindow();
}

CSearcher::~CSearcher() { StopWorkers(); }

bool CSearcher::Running() const { return status_.Running.load(std::memory_order_relaxed) != 0; }

void CSearcher::TakeGeometry() {
  // A cluster size that no file system has would make the positions meaningless.
  const uint32_t cluster = volume_.BytesPerCluster;
  clusterBytes_ =
      cluster >= kUnit && cluster % kUnit == 0 && cluster <= kMaxBlockSize ? cluster : kUnit;
  volumeBytes_ = volume_.TotalBytes != 0                     ? volume_.TotalBytes
                 : volume_.SectorCount <= UINT64_MAX / kUnit ? volume_.SectorCount * kUnit
                                                             : 0;
  clusterCount_ = volumeBytes_ / clusterBytes_;
}

// SearchBlockSize 0 means 2 MiB and is written back. A block is a whole number of clusters (a
// smaller one would never advance, a ragged one would scan units twice), and at most 64 MiB.
bool CSearcher::TakeBlockSize() {
  int64_t wanted = settings_ ? settings_->SearchBlockSize : 0;
  if (wanted == 0) {
    wanted = kDefaultBlockSize;
    if (settings_) settings_->SearchBlockSize = static_cast<int32_t>(kDefaultBlockSize);
  }
  uint64_t bytes = wanted < 0 ? kDefaultBlockSize : static_cast<uint64_t>(wanted);
  bytes = std::min<uint64_t>(bytes, kMaxBlockSize);
  bytes = std::max<uint64_t>(bytes / clusterBytes_, 1) * clusterBytes_;
  if (bytes != static_cast<uint64_t>(wanted))
    LogError(
        u"CSearcher: block size %I64d is not a whole number of %u-byte clusters up to 64 MiB; "
        u"%I64u bytes are used",
        wanted, clusterBytes_, bytes);
  blockBytes_ = static_cast<uint32_t>(bytes);
  return true;
}

int32_t CSearcher::WorkerCountSetting() {
  const int32_t wanted = settings_ ? settings_->SearchThreads : 1;
  const int32_t count = std::clamp(wanted, 1, kMaxWorkers);
  if (count != wanted)
    LogError(u"CSearcher: %d search threads asked for; %d are used", wanted, count);
  return count;
}

void CSearcher::StartWorkers(int32_t count) {
  for (int32_t index = 0; index < count; ++index) {
    std::unique_ptr<SearchWorker> worker;
    try {
      worker = std::make_unique<SearchWorker>(*this, static_cast<uint32_t>(index), blockBytes_);
    } catch (const std::bad_alloc&) {
      LogError(u"CSearcher: no memory for the %u-byte buffer of search thread %d", blockBytes_,
               index + 1);
      break;
    }
    if (!worker->Start()) {
      LogError(u"CSearcher: search thread %d could not be started", index + 1);
      break;
    }
    Workers.push_back(std::move(worker));
  }
}

bool CSearcher::Prepare() {
  if (!types_) {
    LogError(u"CSearcher: there is no file-type database to search with");
    return false;
  }
  try {
    matcher_ = std::make_unique<TypeMatcher>(*types_);
  } catch (const std::bad_alloc&) {
    LogError(u"CSearcher: no memory for the file-type table");
    return false;
  }
  for (const auto& type : types_->Types())
    if (type->TypeId < 1 || type->TypeId > 32767)
      LogError(u"CSearcher: file type %d is not searched for: its id lies outside 1 to 32767",
               type->TypeId);
  TakeGeometry();
  TakeBlockSize();
  if (settings_ && settings_->ScanMode == 1) space_ = ScanSpace::FreeSpaceOf(volume_);
  return true;
}

int CSearcher::Run() {
  if (ran_) return 0;
  ran_ = true;
  bool wasOpen = volume_.IsOpen();
  if (!wasOpen && !volume_.Open()) {
    // A volume that reads without a device of its own (a virtual drive) may still be read.
    uint8_t first[kUnit];
    if (volume_.ReadSectors(first, 0, 1) != kUnit) {
      LogError(u"CSearcher: the drive cannot be read; the sector scan ends");
      return 0;
    }
    wasOpen = true;
  }
  StartTick = TickCount();
  UnitSize = kUnit;
  if (!Prepare()) {
    if (!wasOpen) volume_.Close();
    return 0;
  }
  status_.ProgressTotal = clusterCount_;
  if (g_pLog) g_pLog->LogString(kStringSearchStarted);

  StartWorkers(WorkerCountSetting());
  workersStarted_ = Workers.size();
  if (Workers.empty()) {
    LogError(u"CSearcher: no search thread could be started; the sector scan ends");
    if (!wasOpen) volume_.Close();
    return 0;
  }
  platform::SetCurrentThreadPriority(platform::ThreadPriority::Lowest);

  Position = status_.ScanStart.load();
  status_.ProgressPos = std::min(Position, clusterCount_);
  const uint64_t clustersPerBlock = blockBytes_ / clusterBytes_;
  while (Position < clusterCount_ && Running()) {
    SearchWorker* worker = WaitForIdleWorker();
    if (!worker) break;
    worker->BlockStart = Position;
    ReadBlock(*worker);
    status_.ProgressPos = std::min(Position + clustersPerBlock, clusterCount_);
    if (!Running()) break;
    PostProgress();
    Dispatch(*worker);
    Position += clustersPerBlock;
  }
  WaitForAllIdle();
  HandOverPending();
  PostProgress();
  StopWorkers();
  LogEnd();
  if (!wasOpen) volume_.Close();
  return 0;
}

SearchWorker* CSearcher::WaitForIdleWorker() {
  std::unique_lock lock(lock_);
  while (Running()) {
    for (auto& worker : Workers)
      if (worker->WorkState == SearchWorker::State::Idle) return worker.get();
    changed_.wait_for(lock, kStopPoll);
  }
  return nullptr;
}

void CSearcher::Dispatch(SearchWorker& worker) {
  {
    std::lock_guard lock(lock_);
    worker.Sequence = nextBlock_++;
    worker.WorkState = SearchWorker::State::Busy;
  }
  changed_.notify_all();
}

void CSearcher::WorkerIdle(SearchWorker& worker) {
  {
    std::lock_guard lock(lock_);
    worker.WorkState = SearchWorker::State::Idle;
  }
  changed_.notify_all();
}

void CSearcher::HandOver(SearchWorker& worker, std::vector<FoundObject>& objects) {
  {
    std::unique_lock lock(lock_);
    // Blocks hand over in the order they lie on the drive; after a stop the ones still
    // waiting are handed over by Run, in the same order, once every worker is idle.
    changed_.wait(lock, [&] { return nextHandOver_ == worker.Sequence || !Running(); });
    if (nextHandOver_ != worker.Sequence) {
      worker.Pending = std::move(objects);
      objects.clear();
      return;
    }
  }
  // The turn passes on whatever the handler does, or the later blocks would wait for ever.
  struct PassTurn {
    CSearcher& searcher;
    ~PassTurn() {
      {
        std::lock_guard lock(searcher.lock_);
        ++searcher.nextHandOver_;
      }
      searcher.changed_.notify_all();
    }
  } passTurn{*this};
  for (const FoundObject& object : objects) {
    if (handler_) handler_(object);
    ++handedOver_;
  }
  objects.clear();
}

void CSearcher::WaitForAllIdle() {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [this] {
    return std::all_of(Workers.begin(), Workers.end(), [](const auto& worker) {
      return worker->WorkState == SearchWorker::State::Idle;
    });
  });
}

// What the workers found before a stop, in block order: a stop keeps what was found.
void CSearcher::HandOverPending() {
  std::vector<SearchWorker*> waiting;
  for (auto& worker : Workers)
    if (!worker->Pending.empty()) waiting.push_back(worker.get());
  std::sort(waiting.begin(), waiting.end(),
            [](const SearchWorker* a, const SearchWorker* b) { return a->Sequence < b->Sequence; });
  for (SearchWorker* worker : waiting) {
    for (const FoundObject& object : worker->Pending) {
      if (handler_) handler_(object);
      ++handedOver_;
    }
    worker->Pending.clear();
  }
}

void CSearcher::StopWorkers() {
  {
    std::lock_guard lock(lock_);
    for (auto& worker : Workers) worker->WorkState = SearchWorker::State::Quit;
  }
  changed_.notify_all();
  // Each worker is idle or leaving; none is ever killed.
  Workers.clear();
}

void CSearcher::PostProgress() {
  if (window_) window_->Post(UM_BLOCK_SCANNED, 0, 0);
}

// One line per run of unreadable sectors, also when the run spans blocks (they are read in
// order, on one thread).
void CSearcher::LogUnreadable(uint64_t firstSector, uint64_t count) {
  unreadableSectors_ += count;
  if (runCount_ != 0 && firstSector == runStart_ + runCount_) {
    runCount_ += count;
    return;
  }
  LogUnreadableRun();
  runStart_ = firstSector;
  runCount_ = count;
}

void CSearcher::LogUnreadableRun() {
  if (runCount_ == 0) return;
  LogError(
      u"CSearcher: sectors %I64u to %I64u cannot be read and are not scanned; the scan goes on",
      runStart_, runStart_ + runCount_ - 1);
  runCount_ = 0;
}

void CSearcher::LogEnd() {
  LogUnreadableRun();
  if (unreadableSectors_ != 0)
    LogError(u"CSearcher: %I64u sector(s) of the drive could not be read and were not scanned",
             static_cast<uint64_t>(unreadableSectors_));
}
