// One found file, folder, lost file or tree node. The records of a drive live in its
// FoundObjectStore, which links them into a tree by identifiers.
#pragma once

#include <cstdint>

#include "platform/time.h"

class CVolume;

// Flags.
constexpr uint16_t FoundDeleted = 0x0001;
constexpr uint16_t FoundFolder = 0x0002;
constexpr uint16_t FoundHasDeleted = 0x0010;
constexpr uint16_t FoundNamed = 0x0080;
// Checked in the folder tree: Recover takes the marked objects and everything below them.
constexpr uint16_t FoundMarked = 0x0100;
constexpr uint16_t FoundFragment = 0x0200;
// A lost object whose size its own header gave: the store keeps it instead of inferring one.
constexpr uint16_t FoundSizeFromHeader = 0x0800;
constexpr uint16_t FoundLost = 0x1000;
constexpr uint16_t FoundAlsoScanned = 0x2000;
constexpr uint16_t FoundDriveNode = 0x4000;

// Reserved identifiers.
constexpr int32_t IdMyComputer = -12;
constexpr int32_t IdRecycleBin = -17;
constexpr int32_t IdLostFolders = -18;
constexpr int32_t IdLostFiles = -19;
constexpr int32_t IdFragment = -1;
constexpr int32_t IdRootFat = 0;     // FAT12, FAT16
constexpr int32_t IdRootFat32 = 2;
constexpr int32_t IdRootNtfs = 5;

// Events posted with UM_FOUND_OBJECT (lParam).
constexpr intptr_t FoundAdded = 1;
constexpr intptr_t LostAdded = 2;
constexpr intptr_t LostMerged = 4;
constexpr intptr_t LostFolderAdded = 16;
constexpr intptr_t LostFolderResolved = 32;

struct FoundObject {
  uint16_t Flags;
  int64_t Start;       // byte position of the first data byte, from sector 0 of the drive
  int64_t Size;        // bytes; -1 unknown
  int32_t Id;
  int32_t ParentId;
  int16_t FileTypeId;  // 0 = none
  uint16_t Attributes;
  platform::FileTime Created;
  platform::FileTime Modified;
  platform::FileTime Accessed;
  const char16_t* Name;  // NUL-terminated; null when not named
  CVolume* Volume;       // drive nodes: the drive this record stands for
  uint32_t ViewItem;     // the views' tree item; 0 = not shown
  int64_t FirstCluster;
};

// Every field 0 except Size, which becomes -1 (unknown).
inline void ResetFoundObject(FoundObject& record) {
  record = FoundObject{};
  record.Size = -1;
}
