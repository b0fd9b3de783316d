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
class ProgressBar;

class AnalysisRun {
 public:
  // Bar: a progress bar on a terminal and the log's lines on standard error as they come.
  // Quiet: no bar, and the log's lines are kept for HeldLogLines.
  enum class Output { Bar, Quiet };

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
  // Runs the message loop until the driver has nothing left to analyse.
  void WaitForAnalyses();
  void ShowProgress(ProgressBar& bar);
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
  IMessageTarget* previousMainWindow_;
  IMessageTarget* previousLogWindow_;
  CVolume* loaded_ = nullptr;
  std::vector<CVolume*> volumes_;
  std::vector<CVolume*> analysed_;
  std::vector<std::string> held_;
};
