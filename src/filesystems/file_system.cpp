#include "filesystems/file_system.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "volumes/volume.h"

namespace {

constexpr std::u16string_view kUnknown = u"Unknown";
constexpr size_t kMaxTypeNameLength = 29;

// The file-system texts of the boot sectors, in the order they are tested
// (docs/formats/file-system-type.md).
struct BootSectorMark {
  size_t offset;
  std::string_view text;
  int32_t code;
};
constexpr std::array<BootSectorMark, 4> kBootSectorMarks{{
    {54, "FAT12   ", FsTypeFat12},
    {54, "FAT16   ", FsTypeFat16Small},
    {82, "FAT32   ", FsTypeFat32},
    {3, "NTFS    ", FsTypeNtfs},
}};

}  // namespace

CFileSystem::CFileSystem() : TypeName(kUnknown) {
  RootFolder.Flags = FoundFolder | FoundNamed;
  RootFolder.Name = u".";
}

CFileSystem::CFileSystem(CVolume& volume) : CFileSystem() {
  Volume = &volume;
  if (const CFileSystem* current = volume.FileSystem.get()) {
    TypeCode = current->TypeCode;
    FsFlags = current->FsFlags;
    TypeName = current->TypeName;
  }
}

CFileSystem::~CFileSystem() = default;

int CFileSystem::Analyse() { return 0; }

void CFileSystem::AnalyseFragment(const FoundObject&) {}

uint32_t CFileSystem::FileRead(const FoundObject&, void*, uint64_t, uint32_t) { return 0; }

std::u16string_view CFileSystem::NameForType(int32_t code) { return FileSystemCodeOf(code).Name; }

void CFileSystem::SetTypeName(int32_t code) { TypeName = NameForType(code); }

void CFileSystem::SetTypeNameText(std::u16string_view name) {
  TypeName = name.substr(0, std::min(name.size(), kMaxTypeNameLength));
}

int32_t CFileSystem::DetectFromBootSector(std::span<const uint8_t> sector) {
  for (const BootSectorMark& mark : kBootSectorMarks) {
    if (mark.offset > sector.size() || mark.text.size() > sector.size() - mark.offset) continue;
    if (std::memcmp(sector.data() + mark.offset, mark.text.data(), mark.text.size()) == 0)
      return mark.code;
  }
  return FsTypeNone;
}
