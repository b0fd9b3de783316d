// Where recovered files go: the checks of the destination folder and the making of folders.
#include "platform/destination.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "recovery/recovery_log.h"
#include "volumes/volume.h"

namespace {

constexpr char16_t kSameDiskQuestion[] =
    u"The destination folder is on the same drive with the source. You should change the "
    u"destination location for recovered files.\nSelect another destination folder for "
    u"recovered files?";
constexpr char16_t kSameDiskError[] =
    u"The destination folder is on the same drive with the source. You should change the "
    u"destination location for recovered files.";
// A prompter that keeps naming folders on the source disk is not asked for ever.
constexpr int kMaxDestinationQuestions = 8;

// A drive image, or a volume found inside one: its destination is never refused.
bool ReadsFromImage(const CVolume& volume) {
  for (const CVolume* v = &volume; v; v = v->Parent == v ? nullptr : v->Parent)
    if (v->Kind == VolumeKindImage) return true;
  return false;
}

// The device that the volume's bytes come from: its disk's when it lies on one.
std::u16string SourceDevice(CVolume& volume) {
  CVolume* disk = volume.Parent ? volume.Parent : &volume;
  return disk->DevicePath.empty() ? volume.DevicePath : disk->DevicePath;
}

bool OnSourceDisk(CRecovery& job, CVolume& volume, const std::u16string& folder) {
  if (ReadsFromImage(volume)) return false;
  const CRecovery::DiskCheck check = job.DiskCheckOf();
  const platform::SameDisk same =
      check ? check(folder, volume) : platform::FolderIsOnDevice(folder, SourceDevice(volume));
  return same == platform::SameDisk::Yes;
}

std::u16string DisplayName(CVolume& volume) {
  return volume.DisplayName.empty() ? volume.DevicePath : volume.DisplayName;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The end of the part of a path that names a drive, a share or the long-path form
// ("C:", "\\?\C:", "\\server\share", "\\?\UNC\server\share"): never made, only used.
size_t RootLength(const std::u16string& path) {
  size_t at = 0;
  auto skipComponent = [&] {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    if (at < path.size()) ++at;
  };
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    at = 2;
    const bool longForm = path.size() > 2 && (path[2] == u'?' || path[2] == u'.');
    if (longForm) {
      skipComponent();
      if (path.compare(at, 4, u"UNC\\") != 0) {
        skipComponent();
        return at;
      }
      at += 4;
    }
    skipComponent();
    skipComponent();
    return at;
  }
  if (path.size() >= 2 && path[1] == u':') return path.size() > 2 ? 3 : 2;
  return 0;
}

}  // namespace

int CheckDestination(CRecovery& job, CVolume& source, const std::u16string& path, bool quiet) {
  IRecoveryPrompter* prompter = job.Prompter();
  if (OnSourceDisk(job, source, path)) {
    if (!quiet && prompter) prompter->ShowError(kSameDiskError);
    recovery_log::Text(LogLevelError, u"%s", std::u16string(kSameDiskError));
    return 0;
  }
  if (platform::CreateFolder(path)) return 1;
  const std::u16string text = platform::Format(u"\nCan't create folder:\n\"%s\"\n\nError code: %d",
                                               path, static_cast<int>(platform::LastError()));
  if (!quiet) {
    recovery_log::Text(LogLevelError, u"%s", text);
    if (prompter) prompter->ShowError(text);
  }
  return 0;
}

int ConfirmDestinationDrive(CRecovery& job, std::u16string& path) {
  CVolume* volume = job.SourceVolume;
  if (!volume) return 0;
  for (int asked = 0; OnSourceDisk(job, *volume, path); ++asked) {
    recovery_log::Text(LogLevelError, u"%s", std::u16string(kSameDiskError));
    IRecoveryPrompter* prompter = job.Prompter();
    if (!prompter || asked == kMaxDestinationQuestions || job.Status().RecoveryContinue == 0)
      return 0;
    DestinationQuestion question{path, DisplayName(*volume), kSameDiskQuestion};
    std::optional<std::u16string> other = prompter->AskOtherDestination(question);
    if (!other || other->empty() || job.Status().RecoveryContinue == 0) return 0;
    path = *other;
    std::lock_guard lock(job.Run.Lock);
    job.Run.Destination = path;
  }
  return 1;
}

int CreateFolderPath(const std::u16string& path) {
  try {
    // Each prefix up to a separator, then the whole path; a drive ("C:") or a root is there.
    for (size_t i = std::max<size_t>(RootLength(path), 1); i <= path.size(); ++i) {
      if (i < path.size() && !IsSeparator(path[i])) continue;
      const std::u16string prefix = path.substr(0, i);
      if (IsSeparator(prefix.back()) || platform::FolderExists(prefix)) continue;
      if (!platform::CreateFolder(prefix)) {
        recovery_log::Text(LogLevelError,
                           u"\nCan't create folder:\n\"%s\"\n\nWindows error code: %d", prefix,
                           static_cast<int>(platform::LastError()));
        return 0;
      }
    }
    return platform::FolderExists(path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
