// Device queries on Windows: the disk and storage control codes of the device driver.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "platform/device.h"
#include "platform/file.h"
#include "platform/text.h"

namespace platform {

namespace {

// Room for the partition entries of any disk; the layout keeps the first four.
constexpr DWORD kMaxLayoutEntries = 128;
constexpr DWORD kDescriptorQueryBytes = 1024;
constexpr DWORD kDescriptorBytes = 4096;

HANDLE HandleOf(const File& device) {
  return device.IsOpen() ? reinterpret_cast<HANDLE>(device.NativeHandle()) : INVALID_HANDLE_VALUE;
}

// DeviceIoControl that also works on a handle opened for overlapped I/O, which needs an
// OVERLAPPED of its own. Gives the bytes returned, or false.
bool Control(const File& device, DWORD code, const void* in, DWORD inBytes, void* out,
             DWORD outBytes, DWORD& returned) {
  HANDLE handle = HandleOf(device);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!overlapped.hEvent) return false;
  returned = 0;
  BOOL done = DeviceIoControl(handle, code, const_cast<void*>(in), inBytes, out, outBytes,
                              &returned, &overlapped);
  if (!done && GetLastError() == ERROR_IO_PENDING)
    done = GetOverlappedResult(handle, &overlapped, &returned, TRUE);
  DWORD error = GetLastError();
  CloseHandle(overlapped.hEvent);
  SetLastError(error);
  return done != FALSE;
}

PartitionInfo FromWin32(const PARTITION_INFORMATION& entry) {
  PartitionInfo info;
  info.StartingOffset = entry.StartingOffset.QuadPart;
  info.PartitionLength = entry.PartitionLength.QuadPart;
  info.HiddenSectors = entry.HiddenSectors;
  info.PartitionNumber = entry.PartitionNumber;
  info.PartitionType = entry.PartitionType;
  info.BootIndicator = entry.BootIndicator != FALSE;
  info.RecognizedPartition = entry.RecognizedPartition != FALSE;
  info.RewritePartition = entry.RewritePartition != FALSE;
  return info;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool QueryGeometry(const File& device, DiskGeometry& geometry) {
  DISK_GEOMETRY raw{};
  DWORD returned = 0;
  if (!Control(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &raw, sizeof raw, returned) ||
      returned < sizeof raw)
    return false;
  geometry = DiskGeometry{};
  geometry.Cylinders = raw.Cylinders.QuadPart;
  geometry.MediaType = static_cast<uint32_t>(raw.MediaType);
  geometry.TracksPerCylinder = raw.TracksPerCylinder;
  geometry.SectorsPerTrack = raw.SectorsPerTrack;
  geometry.BytesPerSector = raw.BytesPerSector;
  GET_LENGTH_INFORMATION length{};
  if (Control(device, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, returned) &&
      returned >= sizeof length && length.Length.QuadPart > 0)
    geometry.DeviceBytes = static_cast<uint64_t>(length.Length.QuadPart);
  return true;
}

bool QueryDeviceNumber(const File& device, DeviceNumber& number) {
  STORAGE_DEVICE_NUMBER raw{};
  DWORD returned = 0;
  if (!Control(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &raw, sizeof raw, returned) ||
      returned < sizeof raw)
    return false;
  number.DeviceType = static_cast<int32_t>(raw.DeviceType);
  number.Number = static_cast<int32_t>(raw.DeviceNumber);
  number.PartitionNumber = static_cast<int32_t>(raw.PartitionNumber);
  return true;
}

bool QueryLayout(const File& device, DriveLayout& layout) {
  const DWORD bytes = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry) +
                      kMaxLayoutEntries * sizeof(PARTITION_INFORMATION);
  std::vector<PARTITION_INFORMATION> storage(kMaxLayoutEntries +
                                             1);  // aligned room for the header too
  auto* raw = reinterpret_cast<DRIVE_LAYOUT_INFORMATION*>(storage.data());
  DWORD returned = 0;
  if (!Control(device, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, raw, bytes, returned) ||
      returned < offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry))
    return false;
  layout = DriveLayout{};
  layout.PartitionCount = raw->PartitionCount;
  layout.Signature = raw->Signature;
  size_t present = (returned - offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry)) /
                   sizeof(PARTITION_INFORMATION);
  for (size_t i = 0; i < layout.Entries.size() && i < present && i < raw->PartitionCount; ++i)
    layout.Entries[i] = FromWin32(raw->PartitionEntry[i]);
  return true;
}

bool QueryPartitionInfo(const File& device, PartitionInfo& info) {
  PARTITION_INFORMATION raw{};
  DWORD returned = 0;
  if (!Control(device, IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &raw, sizeof raw, returned) ||
      returned < sizeof raw)
    return false;
  info = FromWin32(raw);
  return true;
}

bool QueryDescription(const File& device, std::u16string& description) {
  // The standard query of the device property: property 0, query type 0, all zero.
  std::vector<uint8_t> query(kDescriptorQueryBytes, 0);
  std::vector<uint8_t> answer(kDescriptorBytes, 0);
  DWORD returned = 0;
  if (!Control(device, IOCTL_STORAGE_QUERY_PROPERTY, query.data(), static_cast<DWORD>(query.size()),
               answer.data(), static_cast<DWORD>(answer.size()), returned) ||
      returned == 0)
    return false;
  if (returned > answer.size()) returned = static_cast<DWORD>(answer.size());
  description = DescriptionFromDescriptor(std::span<const uint8_t>(answer.data(), returned));
  return !description.empty();
}

void SuppressMediaErrorDialogs() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

PathKind ClassifyPath(std::u16string_view path) {
  constexpr std::u16string_view kDiskPrefix = u"\\\\.\\PHYSICALDRIVE";
  if (StartsWithNoCase(path, kDiskPrefix) && path.size() > kDiskPrefix.size())
    return PathKind::Disk;
  if (path.size() == 6 && StartsWithNoCase(path, u"\\\\.\\") && path[5] == u':')
    return PathKind::Volume;
  DWORD attributes = GetFileAttributesW(W(std::u16string(path).c_str()));
  return attributes == INVALID_FILE_ATTRIBUTES ? PathKind::Missing : PathKind::File;
}

std::u16string PhysicalDrivePath(int32_t number) {
  if (number < 0) return {};
  return Format(u"\\\\.\\PHYSICALDRIVE%d", number);
}

std::u16string LogicalDrivePath(char16_t letter) { return Format(u"\\\\.\\%c:", letter); }

bool QueryVolumeInformation(std::u16string_view root, VolumeInformation& information) {
  wchar_t label[MAX_PATH + 1] = {};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  DWORD serial = 0;
  DWORD maxComponent = 0;
  DWORD flags = 0;
  if (!GetVolumeInformationW(W(std::u16string(root).c_str()), label, MAX_PATH + 1, &serial,
                             &maxComponent, &flags, fileSystem, MAX_PATH + 1))
    return false;
  information.Label = U(label);
  information.SerialNumber = serial;
  information.FileSystemFlags = flags;
  information.FileSystemName = U(fileSystem);
  return true;
}

bool QueryDiskFreeSpace(std::u16string_view root, uint64_t& totalBytes, uint64_t& freeBytes) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(W(std::u16string(root).c_str()), &available, &total, &free))
    return false;
  totalBytes = total.QuadPart;
  freeBytes = free.QuadPart;
  return true;
}

}  // namespace platform
