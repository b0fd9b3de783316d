// Device queries on Linux: block-device ioctls for sizes and geometry, sysfs for the rest.
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/device_text.h"
#include "platform/file.h"
#include "platform/text.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// Linux's partition tools and the kernel assume this geometry when a disk reports none.
constexpr uint32_t kDefaultHeads = 255;
constexpr uint32_t kDefaultSectorsPerTrack = 63;
constexpr uint32_t kSysfsSectorBytes = 512;

int DescriptorOf(const File& device) {
  return device.IsOpen() ? static_cast<int>(device.NativeHandle()) : -1;
}

std::optional<dev_t> BlockDeviceNumber(int fd) {
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISBLK(info.st_mode)) return std::nullopt;
  return info.st_rdev;
}

std::string ReadSysfsLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::optional<uint64_t> ReadSysfsNumber(const fs::path& path) {
  std::string text = ReadSysfsLine(path);
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

// The sysfs folder of a block device and, for a partition, of the disk that holds it.
struct SysfsDevice {
  fs::path self;
  fs::path disk;
  bool isPartition = false;
};

std::optional<SysfsDevice> SysfsOf(dev_t number) {
  fs::path link =
      "/sys/dev/block/" + std::to_string(major(number)) + ":" + std::to_string(minor(number));
  std::error_code error;
  fs::path self = fs::canonical(link, error);
  if (error) return std::nullopt;
  SysfsDevice device{self, self, false};
  if (fs::exists(self / "partition", error)) {
    device.isPartition = true;
    device.disk = self.parent_path();
  }
  return device;
}

std::optional<SysfsDevice> SysfsOf(const File& device) {
  std::optional<dev_t> number = BlockDeviceNumber(DescriptorOf(device));
  if (!number) return std::nullopt;
  return SysfsOf(*number);
}

// major << 16 | minor of the disk, as read from its "dev" file ("8:0").
std::optional<int32_t> DiskNumberOf(const fs::path& disk) {
  std::string text = ReadSysfsLine(disk / "dev");
  size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  unsigned long majorNumber = std::strtoul(text.substr(0, colon).c_str(), nullptr, 10);
  unsigned long minorNumber = std::strtoul(text.substr(colon + 1).c_str(), nullptr, 10);
  if (majorNumber > 0x7FFF || minorNumber > 0xFFFF) return std::nullopt;
  return static_cast<int32_t>(majorNumber << 16 | minorNumber);
}

PartitionInfo PartitionFromSysfs(const fs::path& partition) {
  PartitionInfo info;
  uint64_t start = ReadSysfsNumber(partition / "start").value_or(0);
  uint64_t size = ReadSysfsNumber(partition / "size").value_or(0);
  info.StartingOffset = static_cast<int64_t>(start * kSysfsSectorBytes);
  info.PartitionLength = static_cast<int64_t>(size * kSysfsSectorBytes);
  info.HiddenSectors = start > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(start);
  info.PartitionNumber =
      static_cast<uint32_t>(ReadSysfsNumber(partition / "partition").value_or(0));
  info.RecognizedPartition = true;
  return info;
}

// The partitions of a disk, in the order of their numbers.
std::vector<PartitionInfo> PartitionsOf(const fs::path& disk) {
  std::vector<PartitionInfo> partitions;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(disk, error)) {
    std::error_code ignored;
    if (fs::exists(entry.path() / "partition", ignored))
      partitions.push_back(PartitionFromSysfs(entry.path()));
  }
  std::sort(partitions.begin(), partitions.end(),
            [](const PartitionInfo& a, const PartitionInfo& b) {
              return a.PartitionNumber < b.PartitionNumber;
            });
  return partitions;
}

// The disk signature of a master boot record (offset 440), 0 when sector 0 carries none.
uint32_t MbrSignature(int fd) {
  uint8_t sector[512];
  if (pread(fd, sector, sizeof sector, 0) != static_cast<ssize_t>(sizeof sector)) return 0;
  if (sector[510] != 0x55 || sector[511] != 0xAA) return 0;
  return static_cast<uint32_t>(sector[440]) | static_cast<uint32_t>(sector[441]) << 8 |
         static_cast<uint32_t>(sector[442]) << 16 | static_cast<uint32_t>(sector[443]) << 24;
}

}  // namespace

bool QueryGeometry(const File& device, DiskGeometry& geometry) {
  int fd = DescriptorOf(device);
  if (!BlockDeviceNumber(fd)) return false;
  uint64_t bytes = 0;
  int sectorSize = 0;
  if (ioctl(fd, BLKGETSIZE64, &bytes) != 0 || ioctl(fd, BLKSSZGET, &sectorSize) != 0 ||
      sectorSize <= 0)
    return false;
  hd_geometry legacy{};
  uint32_t heads = kDefaultHeads;
  uint32_t sectorsPerTrack = kDefaultSectorsPerTrack;
  if (ioctl(fd, HDIO_GETGEO, &legacy) == 0 && legacy.heads != 0 && legacy.sectors != 0) {
    heads = legacy.heads;
    sectorsPerTrack = legacy.sectors;
  }
  geometry = DiskGeometry{};
  geometry.BytesPerSector = static_cast<uint32_t>(sectorSize);
  geometry.TracksPerCylinder = heads;
  geometry.SectorsPerTrack = sectorsPerTrack;
  // The legacy call keeps cylinders in 16 bits; the size gives the true count.
  geometry.Cylinders =
      static_cast<int64_t>(bytes / (uint64_t{heads} * sectorsPerTrack * geometry.BytesPerSector));
  geometry.DeviceBytes = bytes;
  geometry.MediaType = kMediaFixed;
  if (std::optional<SysfsDevice> sysfs = SysfsOf(device))
    if (ReadSysfsNumber(sysfs->disk / "removable").value_or(0) != 0)
      geometry.MediaType = kMediaRemovable;
  return true;
}

bool QueryDeviceNumber(const File& device, DeviceNumber& number) {
  std::optional<SysfsDevice> sysfs = SysfsOf(device);
  if (!sysfs) return false;
  std::optional<int32_t> disk = DiskNumberOf(sysfs->disk);
  if (!disk) return false;
  number.DeviceType = kDeviceTypeDisk;
  number.Number = *disk;
  number.PartitionNumber =
      sysfs->isPartition
          ? static_cast<int32_t>(ReadSysfsNumber(sysfs->self / "partition").value_or(0))
          : 0;
  return true;
}

bool QueryLayout(const File& device, DriveLayout& layout) {
  std::optional<SysfsDevice> sysfs = SysfsOf(device);
  if (!sysfs || sysfs->isPartition) return false;
  std::vector<PartitionInfo> partitions = PartitionsOf(sysfs->disk);
  layout = DriveLayout{};
  layout.PartitionCount = static_cast<uint32_t>(partitions.size());
  layout.Signature = MbrSignature(DescriptorOf(device));
  for (size_t i = 0; i < partitions.size() && i < layout.Entries.size(); ++i)
    layout.Entries[i] = partitions[i];
  return true;
}

bool QueryPartitionInfo(const File& device, PartitionInfo& info) {
  std::optional<SysfsDevice> sysfs = SysfsOf(device);
  if (!sysfs) return false;
  if (sysfs->isPartition) {
    info = PartitionFromSysfs(sysfs->self);
    return true;
  }
  // The whole disk, as Windows describes it: one partition numbered 0 over all of it.
  info = PartitionInfo{};
  info.PartitionLength =
      static_cast<int64_t>(ReadSysfsNumber(sysfs->self / "size").value_or(0) * kSysfsSectorBytes);
  return true;
}

bool QueryDescription(const File& device, std::u16string& description) {
  std::optional<SysfsDevice> sysfs = SysfsOf(device);
  if (!sysfs) return false;
  std::string vendor = ReadSysfsLine(sysfs->disk / "device" / "vendor");
  std::string product = ReadSysfsLine(sysfs->disk / "device" / "model");
  description = JoinDescription(vendor, product);
  return !description.empty();
}

void SuppressMediaErrorDialogs() {}

PathKind ClassifyPath(std::u16string_view path) {
  struct stat info {};
  if (stat(Utf16ToUtf8(path).c_str(), &info) != 0) return PathKind::Missing;
  if (!S_ISBLK(info.st_mode)) return PathKind::File;
  std::optional<SysfsDevice> sysfs = SysfsOf(info.st_rdev);
  return sysfs && sysfs->isPartition ? PathKind::Volume : PathKind::Disk;
}

std::u16string PhysicalDrivePath(int32_t number) {
  if (number < 0) return {};
  dev_t device =
      makedev(static_cast<uint32_t>(number) >> 16, static_cast<uint32_t>(number) & 0xFFFF);
  std::optional<SysfsDevice> sysfs = SysfsOf(device);
  if (!sysfs) return {};
  return Utf8ToUtf16("/dev/" + sysfs->disk.filename().string());
}

std::u16string LogicalDrivePath(char16_t letter) { return Format(u"\\\\.\\%c:", letter); }

bool QueryVolumeInformation(std::u16string_view, VolumeInformation&) { return false; }

bool QueryDiskFreeSpace(std::u16string_view, uint64_t&, uint64_t&) { return false; }

}  // namespace platform
