// What disks and drives the machine has, for the drive list. Windows probes the numbered disk
// and SCSI names and asks for the lettered drives; Linux reads the block devices of sysfs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Drive types as GetDriveType reports them.
constexpr int32_t kDriveTypeUnknown = 0;
constexpr int32_t kDriveTypeRemovable = 2;
constexpr int32_t kDriveTypeFixed = 3;
constexpr int32_t kDriveTypeRemote = 4;
constexpr int32_t kDriveTypeCdRom = 5;
constexpr int32_t kDriveTypeRamDisk = 6;

enum class DriveSourceKind {
  Disk,  // a whole physical disk
  Port,  // a SCSI port name that opened (Windows)
  Drive, // a volume a user picks: a lettered drive (Windows), a partition device (Linux)
};

struct DriveSource {
  DriveSourceKind Kind = DriveSourceKind::Disk;
  // Disks and ports: the system's number (Windows n of "\\.\PHYSICALDRIVEn"; Linux
  // major << 16 | minor of the disk). Drives: -1.
  int32_t Number = -1;
  char16_t Letter = 0;  // Windows drives; 0 elsewhere
  int32_t DriveType = kDriveTypeUnknown;
  std::u16string Path;   // what opens the device
  // What the drive list shows until the device tells its vendor and product: "Drive 0" on
  // Windows, the device name ("sda") on Linux.
  std::u16string Name;
  std::u16string Label;  // the label the system knows for a Linux partition; empty otherwise
  // The length the system knows without opening the device (Linux); 0 when unknown.
  uint64_t Bytes = 0;
};

// Disks first (by number), then ports, then drives (by letter, or by device name).
std::vector<DriveSource> EnumerateDriveSources();

#ifndef _WIN32
// The same over other folders, so that tests can lay out a machine of their own:
// sysBlock stands for /sys/block, devFolder for /dev and byLabel for /dev/disk/by-label.
std::vector<DriveSource> EnumerateDriveSourcesUnder(std::string_view sysBlock, std::string_view devFolder,
                                                    std::string_view byLabel);
// "\x20" and the other escapes that udev writes into the names of /dev/disk/by-label.
std::u16string DecodeLabelLinkName(std::string_view name);
#endif

}  // namespace platform
