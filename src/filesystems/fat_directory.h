// FAT directory entries: the validity tests, deleted entries, and the names of entries, long
// names included (docs/formats/fat.md). A folder is a buffer of 32-byte entries; every function
// here stays inside the buffer it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "filesystems/fat_boot.h"

constexpr size_t kFatEntrySize = 32;
constexpr uint8_t kFatAttrVolume = 0x08;
constexpr uint8_t kFatAttrFolder = 0x10;
constexpr uint8_t kFatAttrLongName = 0x0F;
constexpr uint8_t kFatDeletedMark = 0xE5;

using FatEntryBytes = std::span<const uint8_t, kFatEntrySize>;

// The fields of a short entry that the analyser reports.
struct FatEntry {
  uint8_t Attributes = 0;
  uint32_t FirstCluster = 0;
  uint32_t Size = 0;
  uint16_t CreatedTime = 0;
  uint16_t CreatedDate = 0;
  uint16_t AccessedDate = 0;
  uint16_t ModifiedTime = 0;
  uint16_t ModifiedDate = 0;
  bool Deleted = false;

  bool IsFolder() const { return (Attributes & kFatAttrFolder) != 0; }
};

// The entry at index (entries of 32 bytes from the start of the folder).
FatEntryBytes FolderEntry(std::span<const uint8_t> folder, size_t index);
inline size_t FolderEntryCount(std::span<const uint8_t> folder) {
  return folder.size() / kFatEntrySize;
}

bool IsValidShortName(FatEntryBytes entry);
bool IsValidEntry(FatEntryBytes entry);
bool IsDeletedEntry(FatEntryBytes entry);
bool IsLongNamePart(FatEntryBytes entry);
// The volume label, long-name parts, and the "." and ".." entries of a folder.
bool IsBookkeepingEntry(FatEntryBytes entry);

// The short entry's fields; FAT12 and FAT16 keep no high word of the first cluster.
FatEntry ReadFatEntry(FatEntryBytes entry, FatWidth width);

// The checksum of an 11-byte short name that its long-name parts carry.
uint8_t ShortNameChecksum(std::span<const uint8_t, 11> name);

// The 8.3 name: a deleted entry's lost first letter shows as '_'; lower-case flags apply.
std::u16string ShortEntryName(FatEntryBytes entry);

// How the long-name parts before a short entry were taken.
enum class LongNameResult {
  None,      // no long-name part stands before the entry
  Taken,     // the parts belong to the entry
  Mismatch,  // parts stand before the entry but their order or checksum does not fit it
};

// The long name that the parts just before the short entry at index give.
LongNameResult LongEntryName(std::span<const uint8_t> folder, size_t index, std::u16string& name);

// The long name when the parts fit the entry, else the short name.
std::u16string EntryName(std::span<const uint8_t> folder, size_t index,
                         LongNameResult* result = nullptr);
