// What the recovery asks of the system about a destination folder: whether it lies on the disk
// that a volume is read from, and what kind of write failure an error code is.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

enum class SameDisk { Yes, No, Unknown };

// Whether the folder (or, when it does not exist yet, its nearest existing parent) is stored
// on the disk behind devicePath ("/dev/sdb", "/dev/sdb1", "\\.\PHYSICALDRIVE1", "\\.\E:").
// Partitions count as their whole disk on both sides. Unknown when either side cannot be told
// (a share, a file that is not a device).
SameDisk FolderIsOnDevice(std::u16string_view folder, std::u16string_view devicePath);

// Write errors that no later file can escape: the destination is full or over its quota.
bool IsDiskFullError(uint32_t code);
// The file is larger than the destination's file system or the process may write.
bool IsFileTooLargeError(uint32_t code);

}  // namespace platform
