// The explorer window's commands on drives and found objects: the analysis (start, stop, the
// search for lost drives), the recovery and Try To Open with their dialogs, the two size
// commands and the object's information.
#include "ui/explorer/main_frame.h"
#include "ui/explorer/size_commands.h"

#include "app/app.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "filesystems/found_object_store.h"
#include "recovery/recovery.h"
#include "resources/resource.h"
#include "signatures/file_types.h"
#include "ui/dialogs/found_object_info_dlg.h"
#include "ui/dialogs/recovery_dialogs.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace ui {

namespace {

// Status texts and the log line of a stop.
constexpr uint32_t kAbortingText = 57112;
constexpr uint32_t kAbortedText = 57113;
constexpr uint32_t kClearingText = 57114;

bool IsFolder(const FoundObject& object) {
  return (object.Flags & (FoundFolder | FoundDriveNode)) != 0;
}

// The files the size commands change: those a recovery of the selection would copy (the files
// below a selected folder included), folders left out.
std::vector<FoundObject*> FilesOfSelection(IRecoverySelection& selection) {
  std::vector<FoundObject*> files;
  if (!g_pComputer) return files;
  CRecovery scratch(*g_pComputer, CRecovery::Kind::Main);
  BuildRecoveryList(scratch, selection);
  for (FoundObject* object : scratch.List)
    if (object && !IsFolder(*object)) files.push_back(object);
  return files;
}

const FileTypeDatabase* FileTypes() {
  if (g_pFileTypes) return g_pFileTypes;
  return g_pComputer ? &g_pComputer->FileTypes : nullptr;
}

}  // namespace

bool CMainFrame::RunFoundObjectCommand(int id) {
  CVolume* selected = explorer_.SelectedVolume();
  switch (id) {
    case ID_START_ANALYZING:
      if (selected) StartAnalyzing(*selected);
      return true;
    case ID_STOP_ANALYZING:
      StopAnalyzing();
      return true;
    case ID_SEARCH_LOST_DRIVES:
      if (selected) SearchLostDrives(*selected);
      return true;
    case ID_RECOVER:
      Recover();
      return true;
    case ID_TRY_TO_OPEN:
      TryToOpen();
      return true;
    case ID_RESET_SIZE:
      ResetSize();
      return true;
    case ID_SET_NEW_SIZE:
      SetNewSize();
      return true;
    case ID_FILE_INFORMATION:
      ShowInformation();
      return true;
    default:
      return false;
  }
}

void CMainFrame::StartAnalyzing(CVolume& volume) {
  if (!g_pApp || !g_pComputer) return;
  if (g_pApp->Status.Running.load() != 0 || g_pComputer->RecoveryHolds(volume)) return;
  if (volume.State.load() == VolumeStateAnalysing) return;
  SetStatusText(StringResource(kClearingText));
  // The analysis thread clears the drive's store first: nothing shown may point into it then.
  explorer_.ResetVolume(volume);
  explorer_.BeginAnalysis(volume);
  // The explorer's analysis always goes on with the sector pass.
  g_pApp->Settings.AutoSectorScan = 1;
  g_pComputer->Analysis.StartAnalysis(volume);
  UpdateCommands();
  UpdateStatus();
}

void CMainFrame::StopAnalyzing() {
  if (!g_pApp || !g_pComputer) return;
  SetStatusText(StringResource(kAbortingText));
  ::UpdateWindow(status_.Handle());
  if (CVolume* volume = g_pApp->Status.Volume.load())
    g_pComputer->Analysis.StopAnalysis(*volume);
  else
    g_pApp->Status.Running = 0;
  if (g_pLog) g_pLog->LogString(kAbortedText);
  UpdateCommands();
}

void CMainFrame::SearchLostDrives(CVolume& volume) {
  if (!g_pApp || !g_pComputer) return;
  if (g_pApp->Status.Running.load() != 0 || g_pComputer->RecoveryHolds(volume)) return;
  g_pComputer->Analysis.StartSectorScan(volume, 1);
  UpdateCommands();
  UpdateStatus();
}

void CMainFrame::Recover() {
  CVolume* volume = explorer_.CurrentVolume();
  if (!g_pComputer || !volume || !explorer_.CurrentObject()) return;
  ShowRecoverDialog(Handle(), g_pComputer->MainJob, *volume, Handle());
}

void CMainFrame::OnStartRecovery() {
  if (!g_pComputer) return;
  CRecovery& job = g_pComputer->MainJob;
  if (job.IsRunning() || g_pComputer->TryOpenJob.IsRunning()) return;
  if (!BeginRecovery(job, explorer_.RecoverySelection())) return;
  UpdateCommands();
  ShowRecoveryProgress(Handle(), job, ProgressMode::Recover);
  // Lost files may have been given their sizes on the way.
  explorer_.InvalidateObjects();
  UpdateCommands();
}

void CMainFrame::TryToOpen() {
  if (!g_pComputer) return;
  CRecovery& job = g_pComputer->TryOpenJob;
  if (job.IsRunning() || g_pComputer->MainJob.IsRunning()) return;
  // An empty selection ends the command without a word.
  if (BuildRecoveryList(job, explorer_.RecoverySelection()) == 0 || !job.SourceVolume) return;
  if (!ConfirmTryOpen(Handle())) return;
  if (!StartTryOpen(job, *job.SourceVolume)) return;
  UpdateCommands();
  ShowRecoveryProgress(Handle(), job, ProgressMode::TryOpen);
  explorer_.InvalidateObjects();
  UpdateCommands();
}

void CMainFrame::ResetSize() {
  IRecoverySelection& selection = explorer_.RecoverySelection();
  CVolume* volume = selection.Volume();
  if (!volume || (g_pComputer && g_pComputer->RecoveryHolds(*volume))) return;
  ResetSizes(volume->Store, FilesOfSelection(selection));
  explorer_.InvalidateObjects();
}

void CMainFrame::SetNewSize() {
  IRecoverySelection& selection = explorer_.RecoverySelection();
  CVolume* volume = selection.Volume();
  if (!volume || (g_pComputer && g_pComputer->RecoveryHolds(*volume))) return;
  const std::vector<FoundObject*> files = FilesOfSelection(selection);
  if (files.empty()) return;
  const FileTypeDatabase* types = FileTypes();
  SizeAnswer answer;
  if (!AskProbableSize(Handle(), FirstSizeQuestion(volume->Store, files, types), answer)) return;
  // The chosen option gives each file its own size (its own distance to the next object, its
  // own type's default size); a file the option gives no size keeps the one it has.
  ApplySizeAnswer(volume->Store, files, answer, types);
  explorer_.InvalidateObjects();
}

void CMainFrame::ShowInformation() {
  CVolume* volume = explorer_.CurrentVolume();
  FoundObject* object = explorer_.CurrentObject();
  if (!volume || !object) return;
  ShowFoundObjectInformation(Handle(), *volume, *object);
}

void CMainFrame::ForgetEnumeratedDrives() {
  if (!g_pComputer) return;
  // Drive images and partition volumes stay listed through a rescan; the others are made anew.
  for (CVolume* volume : g_pComputer->Volumes.Items()) {
    if (!volume || volume->Kind == VolumeKindImage || volume->Kind == VolumeKindPartition) continue;
    explorer_.ResetVolume(*volume);
  }
}

void CMainFrame::AttachPrompter() {
  if (!g_pComputer) return;
  prompter_ = MakeWindowPrompter(Handle());
  g_pComputer->MainJob.SetPrompter(prompter_.get());
  g_pComputer->TryOpenJob.SetPrompter(prompter_.get());
}

void CMainFrame::DetachPrompter() {
  if (g_pComputer && prompter_) {
    // The window of the next mode may have set its own already.
    for (CRecovery* job : {&g_pComputer->MainJob, &g_pComputer->TryOpenJob})
      if (job->Prompter() == prompter_.get()) job->SetPrompter(nullptr);
  }
  prompter_.reset();
}

}  // namespace ui
