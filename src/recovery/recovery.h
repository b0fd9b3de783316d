// The recovery engine: copies found files and folders from the analysed volume into files
// below a destination folder. Two jobs live in the computer object for the whole process:
// MainJob for Recover (to DestinationFolder) and TryOpenJob for Try To Open (to
// TemporaryFolder, then opened with the shell).
//
// A run works on copies: the settings it needs are copied when it starts, the selection is
// turned into a list of objects first, and the questions it asks go through the job's
// prompter. It holds its volume (CVolumeUse) while it runs, so a rescan cannot free it, and
// the computer object refuses an analysis of that volume until the run is over.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filesystems/found_object.h"
#include "platform/destination.h"
#include "recovery/recovery_prompter.h"
#include "volumes/analysis_status.h"
#include "volumes/volumes_list.h"

class CLocalComputer;
class CVolume;

// What the user selected, as the explorer, the wizard's views and lumenard-cli give it.
class IRecoverySelection {
 public:
  enum class Control { FileList, SearchResults, FolderTree };
  virtual ~IRecoverySelection() = default;
  // The volume whose store holds the objects.
  virtual CVolume* Volume() const = 0;
  // The control that had the focus last.
  virtual Control FocusedControl() const = 0;
  // The selected objects in display order; the tree gives its one selected folder.
  virtual std::vector<FoundObject*> SelectedObjects() const = 0;
  // The list could not be built whole (its objects changed while it was walked).
  virtual void SetListIncomplete() {}
};

// How one listed object ended.
enum class RecoveryOutcome {
  Complete,    // every byte of its size was written
  Incomplete,  // written, but part of it could not be read or the run was stopped in it
  Failed,      // nothing usable was written (or its file could not be made)
  Skipped,     // no size, or the size question was answered with Skip or Cancel
  Folder,      // a folder, made below the destination
};

struct RecoveryResult {
  const FoundObject* Object = nullptr;
  std::u16string SourcePath;  // the object's folder path and name on the volume
  std::u16string TargetPath;  // empty when nothing was made
  int64_t Bytes = 0;          // bytes written
  RecoveryOutcome Outcome = RecoveryOutcome::Failed;
};

class CRecovery {
 public:
  enum class Kind { Main, TryOpen };
  // The transfer buffer; reads and writes are done in pieces of this size.
  static constexpr uint32_t kChunkBytes = 2 * 1024 * 1024;
  // The deepest folder nesting a list is expanded to.
  static constexpr int kMaxFolderDepth = 512;

  CRecovery(CLocalComputer& computer, Kind kind);
  // Stops a run that still goes and waits for its thread.
  ~CRecovery();
  CRecovery(const CRecovery&) = delete;
  CRecovery& operator=(const CRecovery&) = delete;

  // The size option applied to every later file of undetermined size (0 = ask) and the custom
  // size in bytes that goes with option 4. Kept until the program ends.
  std::atomic<int32_t> SizeModeAll{0};
  std::atomic<int64_t> SizeAllBytes{-1};

  // The volume whose objects are copied, set when a run starts.
  CVolume* SourceVolume = nullptr;
  // The objects to copy, in order; they belong to the volume's store.
  std::vector<FoundObject*> List;
  // The position in List of the object being processed (the progress dialog reads it).
  std::atomic<int32_t> Index{0};

  struct Item {
    const FoundObject* Object = nullptr;
    std::atomic<int32_t> Percent{0};
  };
  Item CurrentItem;
  // The target path of the current file (a copy; the path changes from file to file).
  std::u16string CurrentTargetPath() const;

  // Files written complete in the run (Try To Open runs add to the count).
  std::atomic<int32_t> RecoveredCount{0};
  std::atomic<int32_t> IncompleteCount{0};
  std::atomic<int32_t> FailedCount{0};
  std::atomic<int64_t> BytesWritten{0};
  // How many runs were started; the counts above are those of the last one.
  std::atomic<int32_t> RunCount{0};

  // Try To Open: every copy made, in order. Entries are never removed.
  std::vector<std::u16string> TemporaryFiles() const;

  // Who answers the questions; without one, the size question is answered with Cancel, the
  // destination question with giving up, and the delete question with no.
  void SetPrompter(IRecoveryPrompter* prompter) { prompter_ = prompter; }
  IRecoveryPrompter* Prompter() const { return prompter_; }

  // The folder path of an object below the destination, as components from the volume's
  // root. By default the store's folder path ("Photos\2019\"); lumenard-cli gives its
  // listing's ("Lost folders/lost_folder_7/").
  using FolderPathRule = std::function<std::u16string(CVolume&, const FoundObject&)>;
  void SetFolderPathRule(FolderPathRule rule) { folderPathRule_ = std::move(rule); }
  // Where the destination lies compared with the source; the system's check by default.
  using DiskCheck = std::function<platform::SameDisk(const std::u16string& folder, CVolume&)>;
  void SetDiskCheck(DiskCheck check) { diskCheck_ = std::move(check); }

  // How Try To Open opens its copy; the shell's "open" by default.
  using Opener = std::function<bool(const std::u16string& path)>;
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  Opener OpenerOf() const { return opener_; }

  // The outcome of every listed object of the last run, in list order.
  std::vector<RecoveryResult> Results() const;
  // True while the run's thread works.
  bool IsRunning() const { return Run.Running; }
  // The volume that the running job holds; null when idle.
  const CVolume* HeldVolume() const;
  // Waits for the run's thread to end; true when it has (or none ran).
  bool Wait(uint32_t timeoutMs);
  // The run ended on a full destination.
  bool StoppedOnFullDisk() const { return Run.DiskFull; }
  // The destination the run used (the answer of the destination question when one came).
  std::u16string Destination() const;

  Kind JobKind() const { return kind_; }
  CLocalComputer& Computer() const { return computer_; }
  AnalysisStatus& Status() const;

  // The state of a run, shared by the engine's files (recovery/*.cpp) and nothing else.
  struct RunState {
    // Settings copied when the run starts.
    std::u16string Destination;
    bool KeepFolderStructure = true;
    std::vector<uint8_t> Buffer;
    std::thread Thread;
    std::atomic<bool> Running{false};
    std::atomic<bool> DiskFull{false};
    CVolumeUse Use;
    // Sorted (position, type) of the volume's files, made at the first size question.
    std::vector<std::pair<int64_t, int16_t>> Positions;
    bool PositionsMade = false;

    mutable std::mutex Lock;  // guards the fields below
    std::u16string CurrentTargetPath;
    std::vector<std::u16string> TemporaryFiles;
    std::vector<RecoveryResult> Results;
    // Target paths made in this run, folded: a later file never replaces one of them.
    std::set<std::u16string> MadeThisRun;
    // Custom sizes in bytes remembered with "All files of this type", by type identifier.
    std::map<int32_t, int64_t> TypeCustomBytes;
    // The last copy of the run was complete (Try To Open opens only such a copy).
    bool LastCopyComplete = false;
  };
  RunState Run;
  FolderPathRule FolderPathOf() const { return folderPathRule_; }
  DiskCheck DiskCheckOf() const { return diskCheck_; }

 private:
  CLocalComputer& computer_;
  const Kind kind_;
  IRecoveryPrompter* prompter_ = nullptr;
  FolderPathRule folderPathRule_;
  DiskCheck diskCheck_;
  Opener opener_;
};

// Fills the job's list from the selection: files below a selected folder, depth first, each
// subfolder after its files; a folder selected in a list also after its files. Each object is
// listed once and each folder expanded once. Returns the number of entries.
int BuildRecoveryList(CRecovery& job, IRecoverySelection& selection);

// The Recover dialog's check of a destination: refuses the disk being recovered from (not for
// drive images) and makes the folder's last component. 1 when it may be used.
int CheckDestination(CRecovery& job, CVolume& source, const std::u16string& path, bool quiet);

// Copy the settings, hold the volume, set RecoveryContinue and start the thread. False when a
// job runs already (either job), the list is empty or the volume is analysed.
bool StartRecovery(CRecovery& job, CVolume& volume);
bool StartTryOpen(CRecovery& job, CVolume& volume);
// What the main window does on UM_START_RECOVERY: "Creating recovery list.", the list from the
// selection ("Recovery list is empty!" and false when nothing is in it), "Recovery started."
// and StartRecovery.
bool BeginRecovery(CRecovery& job, IRecoverySelection& selection);
// The two threads' bodies: copy the list, then (Try To Open) open the last copy.
void RecoveryThreadProc(CRecovery& job);
void TryOpenThreadProc(CRecovery& job);
// Asks the run to stop after its current piece and answers every pending question. 1.
int StopRecovery(CRecovery& job);
// The thread's check of the destination (may replace path); 1 to go on, 0 to give up.
int ConfirmDestinationDrive(CRecovery& job, std::u16string& path);
// Prepares and copies one object below folder (null: the run's destination); the bytes
// written, 0 when nothing was recovered.
int64_t RecoverObject(CRecovery& job, FoundObject& object, const std::u16string* folder);
// Copies the object of the item into the current target path; the bytes written.
int64_t FileRecovery(CRecovery& job, CRecovery::Item& item);
// Makes every missing folder of the path; 1 when the whole path is a folder afterwards.
int CreateFolderPath(const std::u16string& path);
// Asks, then deletes the copies of Try To Open. 1.
int DeleteTemporaryFiles(CRecovery& job);
