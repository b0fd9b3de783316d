// The file system of one drive: its type code (the partition type numbers of the master boot
// record), the flags and name the system reports for it, and its root folder. The base of the
// FAT and NTFS analysers, which fill the virtual operations.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "filesystems/found_object.h"

class CVolume;

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

// Which analyser reads a type code, and the identifier of its root folder.
enum class FsAnalyser { None, Fat, Ntfs };
FsAnalyser AnalyserForType(int32_t code);
int32_t RootIdForType(int32_t code);  // -1 for codes without an analyser
// The codes whose found objects the analyser reads itself (FAT12/16/32 and NTFS layouts).
bool ReadsObjectDataItself(int32_t code);

class CFileSystem {
 public:
  CFileSystem();
  virtual ~CFileSystem();
  CFileSystem(const CFileSystem&) = delete;
  CFileSystem& operator=(const CFileSystem&) = delete;

  // Reads the drive and reports every object found; 0 (the caller does not use it).
  virtual int Analyse();
  // Reads the file-system structure that the sector scan found at record.Start.
  virtual void AnalyseFragment(const FoundObject& record);
  // Reads count bytes of the object's data from a byte offset into it; the bytes read, 0 on
  // failure.
  virtual uint32_t FileRead(const FoundObject& record, void* buffer, uint64_t offset,
                            uint32_t count);

  // Copies the name that belongs to a type code ("FAT16", "Unknown", ...) into TypeName.
  void SetTypeName(int32_t code);
  // TypeName from the system's answer, kept to the 29 characters the record has room for.
  void SetTypeNameText(std::u16string_view name);

  // The type that a boot sector names by its file-system text, 0 when none.
  static int32_t DetectFromBootSector(std::span<const uint8_t> sector);
  // The name SetTypeName gives for a code.
  static std::u16string_view NameForType(int32_t code);

  FoundObject RootFolder{};
  int32_t TypeCode = FsTypeNone;
  uint32_t FsFlags = 0;
  std::u16string TypeName;

 protected:
  // For the analysers: the base as above, then TypeCode, FsFlags and TypeName copied from the
  // drive's current file system.
  explicit CFileSystem(CVolume& volume);
  CVolume* Volume = nullptr;
};
