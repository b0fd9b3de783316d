// Destination queries on Windows: the volume that holds a folder, the disks of its extents,
// and the disks of the device a volume is read from.
#include <windows.h>
#include <winioctl.h>

#include <set>
#include <string>
#include <vector>

#include "platform/destination.h"
#include "platform/text.h"

namespace platform {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// Opens a device for queries only: no access rights are needed for these control codes.
HANDLE OpenForQueries(const std::wstring& path) {
  return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

// The disk numbers of a volume's extents; one disk for a disk itself.
std::set<DWORD> DisksOf(HANDLE device) {
  std::set<DWORD> disks;
  DWORD returned = 0;
  STORAGE_DEVICE_NUMBER number{};
  const bool numbered = DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                        &number, sizeof number, &returned, nullptr) &&
                        number.DeviceType == FILE_DEVICE_DISK;
  if (numbered && number.PartitionNumber == 0) {
    disks.insert(number.DeviceNumber);
    return disks;
  }
  std::vector<unsigned char> storage(sizeof(VOLUME_DISK_EXTENTS) + 31 * sizeof(DISK_EXTENT));
  auto* extents = reinterpret_cast<VOLUME_DISK_EXTENTS*>(storage.data());
  if (DeviceIoControl(device, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, extents,
                      static_cast<DWORD>(storage.size()), &returned, nullptr)) {
    const DWORD room = static_cast<DWORD>(
        (storage.size() - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT));
    for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < room; ++i)
      disks.insert(extents->Extents[i].DiskNumber);
    return disks;
  }
  // A partition reports its disk through the device number.
  if (numbered) disks.insert(number.DeviceNumber);
  return disks;
}

// The volume device ("\\?\Volume{...}") that holds the folder or its nearest existing parent.
std::wstring VolumeOfFolder(std::wstring folder) {
  wchar_t full[32768];
  DWORD length = GetFullPathNameW(folder.c_str(), 32768, full, nullptr);
  if (length == 0 || length >= 32768) return {};
  wchar_t mount[32768];
  if (!GetVolumePathNameW(full, mount, 32768)) return {};
  wchar_t volume[64];
  if (!GetVolumeNameForVolumeMountPointW(mount, volume, 64)) return {};
  std::wstring name = volume;
  if (!name.empty() && name.back() == L'\\') name.pop_back();
  return name;
}

}  // namespace

SameDisk FolderIsOnDevice(std::u16string_view folder, std::u16string_view devicePath) {
  if (devicePath.empty() || folder.empty()) return SameDisk::Unknown;
  const std::wstring volumeName = VolumeOfFolder(std::wstring(folder.begin(), folder.end()));
  if (volumeName.empty()) return SameDisk::Unknown;
  Handle volume(OpenForQueries(volumeName));
  Handle source(OpenForQueries(std::wstring(devicePath.begin(), devicePath.end())));
  if (!volume.ok() || !source.ok()) return SameDisk::Unknown;
  const std::set<DWORD> target = DisksOf(volume.get());
  const std::set<DWORD> from = DisksOf(source.get());
  if (target.empty() || from.empty()) return SameDisk::Unknown;
  for (DWORD disk : target)
    if (from.count(disk)) return SameDisk::Yes;
  return SameDisk::No;
}

// Not in every SDK's headers.
constexpr uint32_t kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED
constexpr uint32_t kFileTooLarge = 223;        // ERROR_FILE_TOO_LARGE

bool IsDiskFullError(uint32_t code) {
  return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || code == kDiskQuotaExceeded;
}
bool IsFileTooLargeError(uint32_t code) { return code == kFileTooLarge; }

}  // namespace platform
