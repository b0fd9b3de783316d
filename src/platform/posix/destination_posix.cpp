// Destination queries on Linux: a folder's device from stat, a partition's disk from sysfs.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/destination.h"
#include "platform/text.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// The whole disk of a block device number: a partition's sysfs folder lies inside its disk's.
dev_t WholeDisk(dev_t device) {
  const fs::path node =
      "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::error_code error;
  if (!fs::exists(node / "partition", error)) return device;
  const fs::path disk = fs::canonical(node, error).parent_path();
  if (error) return device;
  std::ifstream numbers(disk / "dev");
  unsigned int diskMajor = 0, diskMinor = 0;
  char colon = 0;
  if (numbers >> diskMajor >> colon >> diskMinor && colon == ':')
    return makedev(diskMajor, diskMinor);
  return device;
}

// The device that stores the folder or its nearest existing parent.
std::optional<dev_t> FolderDevice(const std::string& folder) {
  fs::path path = fs::absolute(fs::path(folder));
  for (int depth = 0; depth < 4096; ++depth) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return info.st_dev;
    if (!path.has_relative_path()) return std::nullopt;
    path = path.parent_path();
  }
  return std::nullopt;
}

}  // namespace

SameDisk FolderIsOnDevice(std::u16string_view folder, std::u16string_view devicePath) {
  struct stat device {};
  if (devicePath.empty() || ::stat(Utf16ToUtf8(devicePath).c_str(), &device) != 0 ||
      !S_ISBLK(device.st_mode))
    return SameDisk::Unknown;
  const std::optional<dev_t> holder = FolderDevice(Utf16ToUtf8(folder));
  // Device numbers with major 0 belong to no disk (tmpfs, overlay, FUSE).
  if (!holder || major(*holder) == 0) return SameDisk::Unknown;
  return WholeDisk(*holder) == WholeDisk(device.st_rdev) ? SameDisk::Yes : SameDisk::No;
}

bool IsDiskFullError(uint32_t code) { return code == ENOSPC || code == EDQUOT; }
bool IsFileTooLargeError(uint32_t code) { return code == EFBIG; }

}  // namespace platform
