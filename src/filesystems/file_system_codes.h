// File-system type codes: the partition type bytes of the master boot record
// (docs/formats/mbr.md), one table of every code the program knows. A code's family chooses the
// analyser, its root folder, the FAT entry width and the name of a found volume; the table also
// holds the name the drive shows for the code and which boot-sector fields describe it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// Type codes named by this program.
constexpr int32_t FsTypeNone = 0;
constexpr int32_t FsTypeFat12 = 1;
constexpr int32_t FsTypeFat16Small = 4;
constexpr int32_t FsTypeFat16 = 6;
constexpr int32_t FsTypeNtfs = 7;
constexpr int32_t FsTypeFat32 = 11;
constexpr int32_t FsTypeFat32Lba = 12;
constexpr int32_t FsTypeFat16Lba = 14;
constexpr int32_t FsTypeHiddenFat12 = 17;
constexpr int32_t FsTypeNtfsMirror = 128;

enum class FsFamily { None, Fat12, Fat16, Fat32, Ntfs };
enum class FatWidth { Fat12, Fat16, Fat32 };
// Which layout's serial number and label the boot sector of a code holds (None: not read).
enum class BootSectorFields { None, Fat16, Fat32, Ntfs };

struct FileSystemCode {
  int32_t Code = FsTypeNone;
  FsFamily Family = FsFamily::None;
  std::u16string_view Name;  // what the drive shows for the code
  BootSectorFields BootFields = BootSectorFields::None;
};

// Every code the program knows, in ascending order.
std::span<const FileSystemCode> KnownFileSystemCodes();
// The row of a code; a code not in the table has no family, the name "Unknown" and no
// boot-sector fields.
FileSystemCode FileSystemCodeOf(int32_t code);

// Which analyser reads a type code, and the identifier of its root folder.
enum class FsAnalyser { None, Fat, Ntfs };
FsAnalyser AnalyserForType(int32_t code);
int32_t RootIdForType(int32_t code);  // -1 for codes without an analyser
// The codes whose found objects the analyser reads itself: every FAT and NTFS code.
bool ReadsObjectDataItself(int32_t code);
// The entry width of the allocation table that the FAT analyser reads for a code; none for
// codes outside the FAT families.
std::optional<FatWidth> FatWidthForType(int32_t code);

// The first code of the type's file-system family: 1 FAT12, 4 FAT16, 7 NTFS, 11 FAT32; 0 for
// any other type. A found volume takes it as its type.
int32_t FileSystemGroupOf(int32_t type);
// "FAT12", "FAT16", "NTFS", "FAT32", or empty for other types.
std::u16string_view FileSystemGroupName(int32_t type);
