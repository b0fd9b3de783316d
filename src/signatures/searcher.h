// The sector scanner: reads a drive from a start cluster to its end in large blocks and tests
// every 512-byte unit of every block against every file type of the database, in scan order.
// Each unit at which a type's signature holds becomes a lost object of that type, sized by the
// format rules where the format allows, and is handed to the lost-object handler (the analysis
// driver's OnLostObject).
//
// Run reads; SearchThreads workers parse. Every block a worker parsed is handed over whole, in
// the order of the blocks on the drive, one block at a time: the handler never runs on two
// threads at once, and the objects arrive in the same order whatever the number of workers or
// the block size, so the listing is the same too.
//
// Positions of the scan count clusters of the volume (its BytesPerCluster, 512 bytes when it
// has no file system); reads and units count 512-byte sectors, whatever the device reports.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "filesystems/found_object.h"
#include "signatures/scan_space.h"

class CVolume;
class FileTypeDatabase;
class IMessageTarget;
class SearchWorker;
class TypeMatcher;
struct AnalysisStatus;
struct SettingsRecord;

// Receives every lost object the scan creates; the record is the scanner's, the receiver
// copies what it keeps.
using LostObjectHandler = std::function<void(const FoundObject& record)>;

class CSearcher {
 public:
  static constexpr uint32_t kDefaultBlockSize = 2097152;
  static constexpr uint32_t kMaxBlockSize = 64u << 20;
  static constexpr int32_t kMaxWorkers = 64;
  // Every candidate is tested with this many bytes after it (or up to the end of the drive),
  // wherever its block ends: a worker's buffer holds its block and this much of what follows.
  static constexpr uint32_t kLookahead = 65536;

  // The database and settings default to g_pFileTypes and g_pApp's record, the window to
  // g_pApp's main window. SearchThreads and SearchBlockSize are read from the settings when
  // Run starts; a SearchBlockSize of 0 is written back as 2097152.
  CSearcher(CVolume& volume, AnalysisStatus& status, LostObjectHandler handler,
            const FileTypeDatabase* types = nullptr, SettingsRecord* settings = nullptr);
  ~CSearcher();
  CSearcher(const CSearcher&) = delete;
  CSearcher& operator=(const CSearcher&) = delete;

  // Scans from the status record's ScanStart to the end of the drive, or until Running is
  // cleared; returns 0. Single use.
  int Run();

  // Fills the worker's buffer from its BlockStart: the block and the lookahead after it, as
  // far as the drive reaches. Sectors that cannot be read are zeros and are not tested. The
  // bytes of the block itself that were read.
  uint32_t ReadBlock(SearchWorker& worker);

  // Passes the objects of one parsed block to the handler once every earlier block's have
  // been; the objects of blocks parsed after a stop are dropped.
  void HandOver(SearchWorker& worker, std::vector<FoundObject>& objects);

  CVolume& Volume() const { return volume_; }
  AnalysisStatus& Status() const { return status_; }
  const TypeMatcher& Matcher() const { return *matcher_; }
  const ScanSpace& Space() const { return space_; }
  bool Running() const;
  uint32_t ClusterBytes() const { return clusterBytes_; }
  uint32_t BlockBytes() const { return blockBytes_; }
  uint64_t VolumeBytes() const { return volumeBytes_; }

  // Figures of the finished scan.
  uint64_t ObjectsHandedOver() const { return handedOver_; }
  uint64_t UnreadableSectors() const { return unreadableSectors_; }
  size_t WorkerCount() const { return workersStarted_; }

  // Fields of the scan.
  uint64_t Position = 0;  // next cluster to hand out
  uint32_t StartTick = 0;
  std::vector<std::unique_ptr<SearchWorker>> Workers;
  uint32_t UnitSize = 512;

 private:
  bool Prepare();
  void TakeGeometry();
  bool TakeBlockSize();
  int32_t WorkerCountSetting();
  void StartWorkers(int32_t count);
  SearchWorker* WaitForIdleWorker();
  void Dispatch(SearchWorker& worker);
  void WaitForAllIdle();
  void HandOverPending();
  // Reads sectors into the buffer; sectors that fail are zeros. Runs of failed sectors below
  // ownEnd are counted, logged and recorded in the worker.
  void ReadRange(SearchWorker& worker, uint64_t firstSector, uint32_t count, uint64_t ownEnd);
  void MarkUnreadable(SearchWorker& worker, uint64_t firstSector, uint64_t sector, uint64_t count,
                      uint64_t ownEnd);
  void StopWorkers();
  void PostProgress();
  void LogUnreadable(uint64_t firstSector, uint64_t count);
  void LogUnreadableRun();
  void LogEnd();

  friend class SearchWorker;
  // Called by a worker when its block is parsed and handed over.
  void WorkerIdle(SearchWorker& worker);

  CVolume& volume_;
  AnalysisStatus& status_;
  LostObjectHandler handler_;
  const FileTypeDatabase* types_;
  SettingsRecord* settings_;
  IMessageTarget* window_ = nullptr;
  std::unique_ptr<TypeMatcher> matcher_;
  ScanSpace space_;

  uint32_t clusterBytes_ = 512;
  uint32_t blockBytes_ = kDefaultBlockSize;
  uint64_t volumeBytes_ = 0;
  uint64_t clusterCount_ = 0;

  // Guards the workers' states and the hand-over turn.
  std::mutex lock_;
  std::condition_variable changed_;
  uint64_t nextBlock_ = 0;     // sequence number of the next block to dispatch
  uint64_t nextHandOver_ = 0;  // sequence number of the block whose objects go next
  std::atomic<uint64_t> handedOver_{0};
  std::atomic<uint64_t> unreadableSectors_{0};
  bool ran_ = false;
  size_t workersStarted_ = 0;
  // The run of unreadable sectors not yet logged.
  uint64_t runStart_ = 0;
  uint64_t runCount_ = 0;
};
