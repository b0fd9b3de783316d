// One object of the list: its target path below the destination, its size, its copy.

#include "filesystems/found_object_store.h"
#include "filesystems/invented_nodes.h"
#include "platform/file.h"
#include "platform/text.h"
#include "recovery/file_copy.h"
#include "recovery/path_component.h"
#include "recovery/recovery.h"
#include "recovery/recovery_log.h"
#include "recovery/size_decision.h"
#include "volumes/volume.h"

namespace {

// More files of one name in one folder than this are not numbered further.
constexpr unsigned kMaxNumberedNames = 100000;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The folder path's components, each made safe; a drive ("C:") is left out.
std::vector<std::u16string> FolderComponents(const std::u16string& folderPath) {
  std::vector<std::u16string> components;
  size_t at = 0;
  while (at <= folderPath.size()) {
    size_t end = at;
    while (end < folderPath.size() && !IsSeparator(folderPath[end])) ++end;
    std::u16string_view part(folderPath.data() + at, end - at);
    const bool drive = components.empty() && at == 0 && part.size() == 2 && part[1] == u':';
    if (!part.empty() && !drive) components.push_back(SanitisePathComponent(part));
    at = end + 1;
  }
  return components;
}

std::u16string Join(std::u16string folder, const std::u16string& name) {
  if (!folder.empty() && !IsSeparator(folder.back())) folder += platform::kPathSeparator;
  return folder + name;
}

std::u16string ObjectName(const FoundObject& object) {
  if (object.Name && object.Name[0]) return object.Name;
  return u"unnamed_" + platform::Utf8ToUtf16(std::to_string(object.Id));
}

// A path no file of this run has taken: "name (1).ext" and on when the name is taken, or is
// a folder of the run. A file that was there before the run is replaced (and logged).
std::u16string UniqueTarget(CRecovery& job, const std::u16string& folder,
                            const std::u16string& name, bool asFolder) {
  std::lock_guard lock(job.Run.Lock);
  std::u16string candidate = Join(folder, name);
  for (unsigned n = 1; n < kMaxNumberedNames; ++n) {
    const bool taken = job.Run.MadeThisRun.count(FoldedName(candidate)) != 0;
    if (asFolder && taken && platform::FolderExists(candidate)) return candidate;
    const bool blocked = !asFolder && platform::FolderExists(candidate);
    if (!taken && !blocked) break;
    candidate = Join(folder, NumberedName(name, n));
  }
  job.Run.MadeThisRun.insert(FoldedName(candidate));
  return candidate;
}

void AddResult(CRecovery& job, RecoveryResult result) {
  std::lock_guard lock(job.Run.Lock);
  job.Run.Results.push_back(std::move(result));
}

// A folder of the list: made (with its times) where its files went.
int64_t RecoverFolder(CRecovery& job, const FoundObject& copy, const std::u16string& targetFolder,
                      RecoveryResult& result) {
  result.Outcome = RecoveryOutcome::Folder;
  if (!job.Run.KeepFolderStructure) return 0;
  const std::u16string target =
      UniqueTarget(job, targetFolder, SanitisePathComponent(ObjectName(copy)), true);
  if (!CreateFolderPath(target)) {
    recovery_log::Line(LogLevelInfo, kTextFolderFailed, target);
    result.Outcome = RecoveryOutcome::Failed;
    ++job.FailedCount;
    return 0;
  }
  platform::SetFileTimes(target, copy.Created, copy.Accessed, copy.Modified);
  result.TargetPath = target;
  return 0;
}

// The object's folder below the destination: the volume's folder path, below "Lost folders"
// or "Lost files" for what the store keeps there, as the explorer shows it.
std::u16string SourceFolderPath(CRecovery& job, CVolume& volume, const FoundObject& object) {
  const CRecovery::FolderPathRule rule = job.FolderPathOf();
  if (rule) return rule(volume, object);
  const std::u16string path = volume.GetObjectFolderPath(object);
  const bool belowRoot =
      !path.empty() && (path[0] == u'\\' || (path.size() > 1 && path[1] == u':'));
  return belowRoot ? path : InventedNodePrefix(volume.Store, object, u'\\') + path;
}

void Count(CRecovery& job, const RecoveryResult& result) {
  switch (result.Outcome) {
    case RecoveryOutcome::Complete:
      ++job.RecoveredCount;
      break;
    case RecoveryOutcome::Incomplete:
      ++job.IncompleteCount;
      break;
    case RecoveryOutcome::Failed:
      ++job.FailedCount;
      break;
    default:
      break;
  }
}

}  // namespace

int64_t RecoverObject(CRecovery& job, FoundObject& stored, const std::u16string* folder) {
  CVolume& volume = *job.SourceVolume;
  FoundObject copy;
  std::u16string sourceFolder;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    copy = stored;
    sourceFolder = SourceFolderPath(job, volume, copy);
  }
  const std::u16string name = ObjectName(copy);
  std::u16string targetFolder = folder ? *folder : job.Destination();
  if (job.Run.KeepFolderStructure)
    for (const std::u16string& component : FolderComponents(sourceFolder))
      targetFolder = Join(targetFolder, component);

  RecoveryResult result;
  result.Object = &stored;
  result.SourcePath = sourceFolder + name;
  if (copy.Flags & FoundFolder) {
    RecoverFolder(job, copy, targetFolder, result);
    AddResult(job, std::move(result));
    return 0;
  }
  if (!platform::FolderExists(targetFolder) && !CreateFolderPath(targetFolder)) {
    recovery_log::Line(LogLevelInfo, kTextFolderFailed, targetFolder);
    Count(job, result);
    AddResult(job, std::move(result));
    return 0;
  }

  // A size read from the file's own header is the file's size; only the others are a guess.
  if ((copy.Flags & FoundLost) && !(copy.Flags & FoundSizeFromHeader)) {
    const SizeDecision decision = DecideSize(job, stored, copy);
    if (decision != SizeDecision::Sized) {
      result.Outcome = RecoveryOutcome::Skipped;
      AddResult(job, std::move(result));
      return 0;
    }
  }
  if (copy.Size < 0) {
    recovery_log::Line(LogLevelError, kTextSkipped, name);
    result.Outcome = RecoveryOutcome::Skipped;
    AddResult(job, std::move(result));
    return 0;
  }

  const std::u16string target = UniqueTarget(job, targetFolder, SanitisePathComponent(name), false);
  if (platform::FileExists(target)) recovery_log::Line(LogLevelError, kTextExists, target);
  {
    std::lock_guard lock(job.Run.Lock);
    job.Run.CurrentTargetPath = target;
  }
  job.CurrentItem.Object = &stored;
  job.CurrentItem.Percent = 0;
  recovery_log::Line(LogLevelInfo, kTextRecovering, name, sourceFolder, targetFolder);

  RecoveryOutcome outcome = RecoveryOutcome::Failed;
  const int64_t written = CopyObjectData(job, copy, target, outcome);
  job.CurrentItem.Percent = 100;
  result.TargetPath = target;
  result.Bytes = written;
  result.Outcome = outcome;
  Count(job, result);
  {
    std::lock_guard lock(job.Run.Lock);
    job.Run.LastCopyComplete = outcome == RecoveryOutcome::Complete;
    if (job.JobKind() == CRecovery::Kind::TryOpen && outcome != RecoveryOutcome::Failed)
      job.Run.TemporaryFiles.push_back(target);
  }
  AddResult(job, std::move(result));
  return outcome == RecoveryOutcome::Complete ? written : 0;
}
