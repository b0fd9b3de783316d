#include "filesystems/file_system_codes.h"

#include <algorithm>
#include <array>

#include "filesystems/found_object.h"

namespace {

constexpr std::u16string_view kUnknown = u"Unknown";

using Family = FsFamily;
using Fields = BootSectorFields;

// The hidden variants (0x11 and up) and the LBA ones keep their family but show "Unknown"; the
// fault-tolerant set codes (0x86 and up) have no analyser, yet their boot sectors name a serial
// number and label.
constexpr std::array<FileSystemCode, 18> kCodes{{
    {1, Family::Fat12, u"FAT12", Fields::Fat16},   // FAT12
    {4, Family::Fat16, u"FAT16", Fields::Fat16},   // FAT16 below 32 MiB
    {6, Family::Fat16, u"FAT16", Fields::Fat16},   // FAT16
    {7, Family::Ntfs, u"NTFS", Fields::Ntfs},      // NTFS
    {11, Family::Fat32, u"FAT32", Fields::Fat32},  // FAT32
    {12, Family::Fat32, u"FAT32", Fields::Fat32},  // FAT32, LBA
    {14, Family::Fat16, kUnknown, Fields::Fat16},  // FAT16, LBA
    {17, Family::Fat12, kUnknown, Fields::Fat16},  // hidden FAT12
    {20, Family::Fat16, kUnknown, Fields::None},   // hidden FAT16 below 32 MiB
    {22, Family::Fat16, kUnknown, Fields::None},   // hidden FAT16
    {27, Family::Fat32, kUnknown, Fields::None},   // hidden FAT32
    {28, Family::Fat32, kUnknown, Fields::None},   // hidden FAT32, LBA
    {30, Family::Fat16, kUnknown, Fields::None},   // hidden FAT16, LBA
    {128, Family::None, u"NTFS", Fields::None},    // named NTFS, not analysed
    {134, Family::None, kUnknown, Fields::Fat16},  // FAT16 set
    {135, Family::None, kUnknown, Fields::Ntfs},   // NTFS set
    {139, Family::None, kUnknown, Fields::Fat32},  // FAT32 set
    {140, Family::None, kUnknown, Fields::Fat32},  // FAT32 set, LBA
}};

FsFamily FamilyOf(int32_t code) { return FileSystemCodeOf(code).Family; }

}  // namespace

std::span<const FileSystemCode> KnownFileSystemCodes() { return kCodes; }

FileSystemCode FileSystemCodeOf(int32_t code) {
  const auto row = std::lower_bound(
      kCodes.begin(), kCodes.end(), code,
      [](const FileSystemCode& entry, int32_t wanted) { return entry.Code < wanted; });
  if (row != kCodes.end() && row->Code == code) return *row;
  return FileSystemCode{code, Family::None, kUnknown, Fields::None};
}

FsAnalyser AnalyserForType(int32_t code) {
  switch (FamilyOf(code)) {
    case Family::Fat12:
    case Family::Fat16:
    case Family::Fat32:
      return FsAnalyser::Fat;
    case Family::Ntfs:
      return FsAnalyser::Ntfs;
    case Family::None:
      break;
  }
  return FsAnalyser::None;
}

int32_t RootIdForType(int32_t code) {
  switch (FamilyOf(code)) {
    case Family::Fat12:
    case Family::Fat16:
      return IdRootFat;
    case Family::Fat32:
      return IdRootFat32;
    case Family::Ntfs:
      return IdRootNtfs;
    case Family::None:
      break;
  }
  return -1;
}

bool ReadsObjectDataItself(int32_t code) { return FamilyOf(code) != Family::None; }

std::optional<FatWidth> FatWidthForType(int32_t code) {
  switch (FamilyOf(code)) {
    case Family::Fat12:
      return FatWidth::Fat12;
    case Family::Fat16:
      return FatWidth::Fat16;
    case Family::Fat32:
      return FatWidth::Fat32;
    case Family::Ntfs:
    case Family::None:
      break;
  }
  return std::nullopt;
}

int32_t FileSystemGroupOf(int32_t type) {
  switch (FamilyOf(type)) {
    case Family::Fat12:
      return FsTypeFat12;
    case Family::Fat16:
      return FsTypeFat16Small;
    case Family::Fat32:
      return FsTypeFat32;
    case Family::Ntfs:
      return FsTypeNtfs;
    case Family::None:
      break;
  }
  return FsTypeNone;
}

std::u16string_view FileSystemGroupName(int32_t type) {
  switch (FamilyOf(type)) {
    case Family::Fat12:
      return u"FAT12";
    case Family::Fat16:
      return u"FAT16";
    case Family::Fat32:
      return u"FAT32";
    case Family::Ntfs:
      return u"NTFS";
    case Family::None:
      break;
  }
  return u"";
}
