// What a disk or volume device tells about itself: geometry, device number, partition table,
// partition position, vendor and product. Windows asks the driver (DeviceIoControl); Linux
// reads the block device (ioctl) and sysfs. Plain files (drive images) answer none of them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class File;

// Media types as Windows reports them.
constexpr uint32_t kMediaRemovable = 11;  // RemovableMedia
constexpr uint32_t kMediaFixed = 12;      // FixedMedia

// The device type of a disk (FILE_DEVICE_DISK).
constexpr int32_t kDeviceTypeDisk = 7;

struct DiskGeometry {
  int64_t Cylinders = 0;
  uint32_t MediaType = 0;
  uint32_t TracksPerCylinder = 0;
  uint32_t SectorsPerTrack = 0;
  uint32_t BytesPerSector = 0;
  // The exact length of the device in bytes when the system tells it, else 0. Cylinders x
  // tracks x sectors leaves out the tail beyond the last whole cylinder.
  uint64_t DeviceBytes = 0;
};

// Windows: the driver's STORAGE_DEVICE_NUMBER. Linux: the whole disk's device number
// (major << 16 | minor) and the partition number from sysfs (0 for the disk itself).
struct DeviceNumber {
  int32_t DeviceType = -1;
  int32_t Number = -1;
  int32_t PartitionNumber = -1;
};

struct PartitionInfo {
  int64_t StartingOffset = 0;  // bytes from the start of the disk
  int64_t PartitionLength = 0;
  uint32_t HiddenSectors = 0;
  uint32_t PartitionNumber = 0;
  uint8_t PartitionType = 0;  // the partition table's type byte; 0 when the system does not say
  bool BootIndicator = false;
  bool RecognizedPartition = false;
  bool RewritePartition = false;
};

// The partition table as the system sees it. PartitionCount is what the system reports;
// Entries holds the first four of them.
struct DriveLayout {
  uint32_t PartitionCount = 0;
  uint32_t Signature = 0;
  std::array<PartitionInfo, 4> Entries{};
};

// Each query works on an open device; false when the device (or a plain file) cannot answer.
bool QueryGeometry(const File& device, DiskGeometry& geometry);
bool QueryDeviceNumber(const File& device, DeviceNumber& number);
bool QueryLayout(const File& device, DriveLayout& layout);
bool QueryPartitionInfo(const File& device, PartitionInfo& info);
// "vendor, product", or "product" alone when there is no vendor; empty when unknown.
bool QueryDescription(const File& device, std::u16string& description);

// Keeps the system from asking the user to insert a medium when a drive without one is opened
// or queried (Windows: the process's error mode); nothing to do elsewhere.
void SuppressMediaErrorDialogs();

// What a path names, for front ends that are given one.
enum class PathKind { Missing, File, Disk, Volume };
// Windows: "\\.\PHYSICALDRIVEn" is a disk and "\\.\X:" a volume. Linux: a whole-disk block
// device is a disk and a partition device a volume.
PathKind ClassifyPath(std::u16string_view path);

// The path that opens the physical disk of a device number ("\\.\PHYSICALDRIVE0", "/dev/sda");
// empty when there is no such disk.
std::u16string PhysicalDrivePath(int32_t number);
// The path that opens a lettered volume ("\\.\C:").
std::u16string LogicalDrivePath(char16_t letter);

// What the system knows of a mounted volume by its root ("C:\"). Lettered volumes exist on
// Windows only; elsewhere both calls return false.
struct VolumeInformation {
  std::u16string Label;
  uint32_t SerialNumber = 0;
  uint32_t FileSystemFlags = 0;
  std::u16string FileSystemName;
};
bool QueryVolumeInformation(std::u16string_view root, VolumeInformation& information);
bool QueryDiskFreeSpace(std::u16string_view root, uint64_t& totalBytes, uint64_t& freeBytes);

// Reads the vendor and product out of a STORAGE_DEVICE_DESCRIPTOR as the driver returned it.
// The offsets inside it come from the device: each is checked against the bytes returned.
std::u16string DescriptionFromDescriptor(std::span<const uint8_t> descriptor);

}  // namespace platform
