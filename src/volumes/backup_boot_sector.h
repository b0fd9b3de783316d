// FAT32 and NTFS keep a copy of their boot sector inside the volume: FAT32 at the sector its
// boot sector names (usually 6), NTFS in the sector after the last one it counts. A sector
// scan meets that copy like any partition boot sector; it is the volume it lies in, not a
// partition of its own.
#pragma once

#include <cstdint>

class CVolume;

// True when the sector at position (bytes from the volume's start) is a FAT32 or NTFS boot
// sector whose primary copy, where the sector itself says it is, holds the same bytes.
bool IsBackupBootSector(CVolume& volume, int64_t position);
