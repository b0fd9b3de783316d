// The size of a volume whose boot sector the sector scan found, from the boot sector itself.
#pragma once

#include <cstdint>

#include "filesystems/found_object.h"

class CVolume;

// Reads the boot sector at record.Start on the volume and returns the file system's size in
// bytes (FAT: its sector count; NTFS: its sector count and the backup boot sector after it);
// 0 when it cannot be read or names no size.
uint64_t FoundVolumeBytes(CVolume& volume, const FoundObject& record);
