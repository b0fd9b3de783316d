// The analysis driver: runs the file-system pass and the sector pass of a volume on threads of
// their own, keeps the queue of volumes waiting for analysis, fills the shared status record
// that the windows poll, stores what the passes find, logs the course of an analysis and tells
// the main window of it (UM_STATUS_TEXT, UM_FS_PASS_FINISHED, UM_SECTOR_PASS_FINISHED,
// UM_ANALYSIS_FINISHED).
//
// One analysis runs at a time: Running in the status record is the gate. A stop clears it; the
// passes poll it and end by themselves, and a stop waits a bounded time for them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "filesystems/found_object.h"
#include "filesystems/found_object_sink.h"
#include "volumes/analysis_status.h"
#include "volumes/pass_thread.h"

class CLocalComputer;
class CVolume;
class IMessageTarget;

class CAnalysisDriver {
 public:
  // A sector pass body in place of the sector scanner (CSearcher), for tests: reads the volume,
  // hands what it finds to OnLostObject and returns when done or when Running becomes 0.
  using SectorScanner = std::function<void(CAnalysisDriver& driver, CVolume& volume)>;

  // How long a stop waits for a pass thread to end.
  static constexpr uint32_t kStopWaitMs = 1000;

  CAnalysisDriver(CLocalComputer& computer, AnalysisStatus& status);
  // Stops whatever runs and waits for every pass thread.
  ~CAnalysisDriver();
  CAnalysisDriver(const CAnalysisDriver&) = delete;
  CAnalysisDriver& operator=(const CAnalysisDriver&) = delete;

  AnalysisStatus& Status() { return status_; }
  // Stops whatever runs and waits for every pass thread (the end of the program).
  void Shutdown();
  // Null puts the sector scanner back.
  static void SetSectorScanner(SectorScanner scanner);

  // The Analyze command: starts Analyse on a thread when nothing runs, and queues the volume
  // (once) in every case. Nothing when the volume is being analysed already. True when an
  // analysis thread was started.
  bool StartAnalysis(CVolume& volume);
  // The wizard's two steps, each on a thread of its own: the file-system pass, and the sector
  // pass (lostDrivesOnly 1: only partition boot sectors are collected). The sector pass is
  // refused (false) while another analysis runs.
  void StartFileSystemAnalysis(CVolume& volume);
  bool StartSectorScan(CVolume& volume, int32_t lostDrivesOnly);
  // Clears Running when the volume is the one being analysed, takes the volume off the queue
  // and makes it ready again; from another
  // thread waits up to kStopWaitMs for its pass to end.
  void StopAnalysis(CVolume& volume);
  // The end of an analysis: Running 0, StopAnalysis, UM_ANALYSIS_FINISHED with the volume.
  void AnalysisFinished(CVolume& volume);
  // What the main window does with UM_ANALYSIS_FINISHED: when AnalyzeQueued is set, starts the
  // first queued volume. False when nothing was started.
  bool StartNextQueued();

  std::vector<CVolume*> Queue() const;
  bool IsQueued(const CVolume& volume) const;
  // True when no pass thread of the volume runs any more after at most timeoutMs.
  bool WaitForPasses(const CVolume& volume, uint32_t timeoutMs);

  // The pass bodies, run on the pass threads (and directly by tests).
  // Opens the volume, reads its boot sector, runs the file-system pass, then the sector pass
  // when AutoSectorScan asks for it. 0, or E_FAIL when the volume cannot be opened.
  int32_t Analyse(CVolume& volume);
  void AnalyseFileSystem(CVolume& volume);
  void AnalyseSectors(CVolume& volume);

  // What the passes find. Each stores the object in the volume's store and counts it.
  void OnFoundObject(CVolume& volume, const FoundObject& record);
  void OnLostObject(CVolume& volume, const FoundObject& record);

 private:
  // The pass thread of a volume, and the sink its file-system analyser keeps reporting to
  // (the sector pass's fragments arrive there after the walk).
  struct VolumeWork;
  class VolumeSink;

  VolumeWork& WorkOf(const CVolume& volume);
  // Runs body on the volume's pass thread; exceptions are logged with failureText and end the
  // analysis. False when the previous pass has not ended.
  bool StartPass(CVolume& volume, const char16_t* failureText, std::function<void()> body);
  void Enqueue(CVolume& volume);
  void Dequeue(const CVolume& volume);
  void SetAnalysedVolume(CVolume& volume, bool selectAndShow);
  IMessageTarget* MainWindow() const;
  void Post(uint32_t message, uintptr_t wParam);
  void SendStatus(uint32_t textNumber);
  bool CreateAnalyser(CVolume& volume);
  bool RefusedForRecovery(const CVolume& volume) const;
  void RunSearcher(CVolume& volume);

  CLocalComputer& computer_;
  AnalysisStatus& status_;
  // Guards the queue, the work records and the computer's volume pointers.
  mutable std::mutex lock_;
  std::vector<CVolume*> queue_;
  std::map<const CVolume*, std::unique_ptr<VolumeWork>> work_;
  // Serialises OnLostObject.
  std::mutex handOverLock_;
};
