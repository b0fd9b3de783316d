#include "ui/dialogs/drive_image_dialogs.h"

// <windows.h> makes LoadImage the name of its function that loads icons and bitmaps; here it is
// the engine's, which loads drive images.
#undef LoadImage

#include <commdlg.h>

#include <memory>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/messages.h"
#include "platform/text.h"
#include "ui/dialogs/range_bar.h"
#include "ui/dialogs/volume_image_create_dlg.h"
#include "ui/dialogs/volume_virtual_dlg.h"
#include "volumes/computer.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

// The file dialogs' filter: its text, then its pattern, each ended by a null.
constexpr wchar_t kImageFilter[] = L"Drive Image Files ( *.dsk ) \0*.dsk\0";
constexpr size_t kPathRoom = 1024;

// A label may hold characters that no file name may.
std::u16string FileNameSafe(std::u16string text) {
  for (char16_t& c : text)
    if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
      c = u'_';
  return text;
}

std::u16string DefaultImageName(CVolume& volume) {
  const std::u16string label = platform::Trim(volume.Label);
  // Drives without a letter (images, partitions, disks on Linux) are named by their display name.
  if (volume.Letter == 0 || volume.Kind != VolumeKindLogical) {
    std::u16string name = volume.GetDisplayName();
    // An image's own extension would otherwise stand in for ".dsk".
    if (const size_t dot = name.rfind(u'.');
        volume.Kind == VolumeKindImage && dot != std::u16string::npos && dot != 0)
      name.resize(dot);
    return FileNameSafe(u"Image from drive " + (name.empty() ? std::u16string(u"?") : name));
  }
  if (label.empty()) return FileNameSafe(platform::Format(u"Image from drive %C", volume.Letter));
  return FileNameSafe(platform::Format(u"Image from drive %C (%s)", volume.Letter, label));
}

// The file chosen in a save or open dialog; empty when the user cancelled.
std::u16string AskImagePath(HWND owner, bool save, std::u16string initial) {
  std::vector<wchar_t> path(kPathRoom, L'\0');
  initial.resize(std::min(initial.size(), kPathRoom - 1));
  std::copy(initial.begin(), initial.end(), path.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kImageFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrDefExt = L"dsk";
  dialog.lpstrTitle = save ? L"Create Drive Image" : L"Load Drive Image";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
  if (!chosen) return {};
  return platform::U(path.data());
}

// A drive image that is loaded already is not opened a second time.
CVolume* LoadedImage(std::u16string_view path) {
  for (CVolume* volume : g_pComputer->Volumes.Items())
    if (volume->Kind == VolumeKindImage && platform::EqualsNoCase(volume->DevicePath, path))
      return volume;
  return nullptr;
}

CVolume* LoadImageAsDrive(HWND owner, const std::u16string& path) {
  if (!g_pComputer || path.empty()) return nullptr;
  if (CVolume* loaded = LoadedImage(path)) return loaded;
  CVolume* volume = LoadImage(*g_pComputer, path);
  if (!volume) {
    const std::u16string text = u"The file could not be opened as a drive image:\n" + path;
    ::MessageBoxW(owner, platform::W(text.c_str()), L"Load Drive Image", MB_OK | MB_ICONERROR);
    return nullptr;
  }
  if (g_pLog) g_pLog->LogInfo(u"Drive image loaded: " + path);
  return volume;
}

// The tree adds the node of a drive that joined the list, and selects it: the user asked for it.
void AnnounceNewDrive(HWND owner, CVolume* volume) {
  if (owner && volume)
    ::SendMessageW(owner, UM_FOUND_VOLUME_ADDED, reinterpret_cast<WPARAM>(volume),
                   kSelectAddedDrive);
}

}  // namespace

void RunCreateDriveImage(HWND owner, CVolume& volume) {
  const std::u16string path = AskImagePath(owner, true, DefaultImageName(volume));
  if (path.empty()) return;
  auto job = std::make_shared<ImageJob>();
  job->Source = &volume;
  job->ImagePath = path;
  if (!StartImageThread(g_pComputer, job)) {
    ::MessageBoxW(owner, L"The drive image could not be created. The log tells why.",
                  L"Create Drive Image", MB_OK | MB_ICONERROR);
    return;
  }
  CVolumeImage_CreateDlg dialog(job);
  if (dialog.DoModal(owner) < 0) {
    // Without its dialog nobody would see the copy end: it is stopped.
    StopImageThread(*job, 30000);
    return;
  }
  if (!dialog.ShouldLoadImage()) return;
  AnnounceNewDrive(owner, LoadImageAsDrive(owner, path));
}

CVolume* RunLoadDriveImage(HWND owner) {
  const std::u16string path = AskImagePath(owner, false, {});
  CVolume* volume = LoadImageAsDrive(owner, path);
  AnnounceNewDrive(owner, volume);
  return volume;
}

void RunVirtualDriveDialog(HWND owner, CVolume& volume) {
  if (volume.TotalBytes < kSectorSize) {
    ::MessageBoxW(owner, L"The size of this drive is not known, so no part of it can be chosen.",
                  L"Create Virtual Drive", MB_OK | MB_ICONINFORMATION);
    return;
  }
  RegisterRangeBar();
  CVolumeVirtualDlg dialog(volume);
  if (dialog.DoModal(owner) == IDOK) AnnounceNewDrive(owner, dialog.Created());
}
