// The file system of one drive: its type code (the partition type numbers of the master boot
// record), the flags and name the system reports for it, and its root folder. The base of the
// FAT and NTFS analysers, which fill the virtual operations.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "filesystems/file_system_codes.h"
#include "filesystems/found_object.h"

class CVolume;

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
