// The disks and drives of a Windows machine: every "\\.\PHYSICALDRIVEn" and "\\.\SCSIn" that
// opens, and the lettered drives the system reports.
#include <windows.h>

#include "platform/drive_sources.h"
#include "platform/text.h"

namespace platform {

namespace {

// Names are probed up to this number; absent devices cost one failed open each.
constexpr int32_t kMaxProbedNumber = 255;
constexpr int kLetterCount = 26;

// An open without access rights and without sharing only asks whether the device exists.
bool DeviceExists(const std::u16string& path) {
  HANDLE handle = CreateFileW(W(path.c_str()), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

void ProbeNumbered(std::u16string_view format, DriveSourceKind kind, std::vector<DriveSource>& sources) {
  for (int32_t number = 0; number <= kMaxProbedNumber; ++number) {
    std::u16string path = Format(format, number);
    if (!DeviceExists(path)) continue;
    DriveSource source;
    source.Kind = kind;
    source.Number = number;
    source.DriveType = kDriveTypeFixed;
    source.Path = path;
    source.Name = Format(u"Drive %d", number);
    sources.push_back(source);
  }
}

void AddLetteredDrives(std::vector<DriveSource>& sources) {
  DWORD mask = GetLogicalDrives();
  for (int bit = 0; bit < kLetterCount; ++bit) {
    if ((mask & (DWORD{1} << bit)) == 0) continue;
    const char letter = static_cast<char>('A' + bit);
    const char root[] = {letter, ':', '\\', '\0'};
    DriveSource source;
    source.Kind = DriveSourceKind::Drive;
    source.Letter = static_cast<char16_t>(letter);
    source.DriveType = static_cast<int32_t>(GetDriveTypeA(root));
    source.Path = Format(u"\\\\.\\%c:", source.Letter);
    source.Name = Format(u"%c:", source.Letter);
    sources.push_back(source);
  }
}

}  // namespace

std::vector<DriveSource> EnumerateDriveSources() {
  // Probing empty card readers and floppy drives must not bring up the system's dialogs.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<DriveSource> sources;
  ProbeNumbered(u"\\\\.\\PHYSICALDRIVE%d", DriveSourceKind::Disk, sources);
  ProbeNumbered(u"\\\\.\\SCSI%d", DriveSourceKind::Port, sources);
  AddLetteredDrives(sources);
  return sources;
}

}  // namespace platform
