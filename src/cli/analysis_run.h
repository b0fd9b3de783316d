// The file-system pass of lumenard-cli analyse and cat: loads a drive image or a drive into a
// computer object of its own, finds the volumes on it and has the analysis driver analyse them
// one after another, as the main window does: the first is started, the others wait in the
// driver's queue, and each end of an analysis starts the next.
//
// The command's thread stands in for the main window. It receives the driver's messages and
// the log's lines through a queue, draws the progress from the status record meanwhile, and
// prints the log lines between redraws (or holds them, when quiet).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/engine_session.h"
#include "volumes/computer.h"

class CVolume;
class FileTypeDatabase;
class ProgressBar;

class AnalysisRun {
 public:
  // Bar: a progress bar on a terminal and the log's lines on standard error as they come.
  // Quiet: no bar, and the log's lines are kept for HeldLogLines.
  enum class Output { Bar, Quiet };

  // Which passes Analyse runs: the file-system pass of every volume, then (with sectors) the
  // sector pass of each; or (sectorsOnly) the sector pass alone over the whole drive or image.
  struct Passes {
    bool sectors = false;
    bool sectorsOnly = false;
    int32_t threads = 1;         // the scanner's workers
    bool freeSpaceOnly = false;  // skip the clusters the file-system pass found in use
  };

  explicit AnalysisRun(Output output);
  // Stops what still runs, then puts back the session's windows and g_pComputer.
  ~AnalysisRun();
  AnalysisRun(const AnalysisRun&) = delete;
  AnalysisRun& operator=(const AnalysisRun&) = delete;

  // Opens the image or drive and reads its boot sector and partition table. False after a
  // message on standard error.
  bool Load(const std::string& utf8Path);
  // Analyses every volume of Volumes(). False after a message on standard error when there is
  // nothing to analyse or no volume could be read.
  bool Analyse();
  bool Analyse(const Passes& passes);
  // The search for lost drives over the whole loaded drive: the volumes whose boot sectors
  // it found, by their offset. False after a message when the drive could not be read.
  bool SearchLostDrives(std::vector<CVolume*>& found);
  void SetSearchThreads(int32_t count);

  // What Analyse analyses: the loaded drive itself when its boot sector names a FAT or NTFS
  // file system, then the volumes of its partition table by their offset.
  const std::vector<CVolume*>& Volumes() const { return volumes_; }
  // The volumes whose analysis ran (they could be opened).
  const std::vector<CVolume*>& AnalysedVolumes() const { return analysed_; }
  // The log's lines held in Quiet mode so far (UTF-8); they are given out once.
  std::vector<std::string> TakeLogLines();

 private:
  class Window;

  void FindVolumes();
  void ApplyPasses(const Passes& passes);
  // The file-type database of the settings' registry, which the sector pass searches with.
  void LoadFileTypes();
  // The sector pass alone over the loaded drive (lostDrivesOnly 1: only boot sectors).
  bool ScanLoadedDrive(int32_t lostDrivesOnly);
  // Runs the message loop until the driver has nothing left to analyse.
  void WaitForAnalyses();
  void ShowProgress(ProgressBar& bar);
  // The passes that each volume goes through.
  uint64_t PassCount() const { return passes_.sectors && !passes_.sectorsOnly ? 2 : 1; }
  void PrintLogLines(ProgressBar* bar, std::vector<std::string> lines);
  // The log's lines so far, then "lumenard-cli: message", on standard error.
  void Fail(const std::string& message);

  Output output_;
  std::string path_;
  // Declared in this order: the computer (and with it the driver's threads) goes before the
  // window that receives its messages, and both before the session.
  EngineSession session_;
  std::unique_ptr<Window> window_;
  CLocalComputer computer_;
  CLocalComputer* previousComputer_;
  FileTypeDatabase* previousFileTypes_;
  IMessageTarget* previousMainWindow_;
  IMessageTarget* previousLogWindow_;
  CVolume* loaded_ = nullptr;
  std::vector<CVolume*> volumes_;
  std::vector<CVolume*> analysed_;
  std::vector<std::string> held_;
  Passes passes_;
};
