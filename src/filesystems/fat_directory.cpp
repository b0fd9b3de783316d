#include "filesystems/fat_directory.h"

#include <array>
#include <string_view>

#include "platform/text.h"
#include "volumes/le_reader.h"

namespace {

constexpr std::string_view kForbiddenShortNameBytes = "\"*+,/:;<=>?[\\]|";
// Long names have at most 255 characters: 20 parts of 13.
constexpr size_t kMaxLongNameParts = 20;
constexpr size_t kUnitsPerPart = 13;
constexpr std::array<size_t, kUnitsPerPart> kPartUnitOffsets{1,  3,  5,  7,  9,  14, 16,
                                                             18, 20, 22, 24, 28, 30};
constexpr uint8_t kLastPartFlag = 0x40;
constexpr uint8_t kSequenceMask = 0x1F;
// Windows keeps the case of a name that differs from its 8.3 form only by lower case letters
// in these bits of byte 12 instead of in long-name parts.
constexpr uint8_t kLowerCaseBase = 0x08;
constexpr uint8_t kLowerCaseExtension = 0x10;
// A live entry whose name starts with the byte 0xE5 stores 0x05 in its place.
constexpr uint8_t kEscapedE5 = 0x05;

bool IsValidNameByte(uint8_t b) {
  if (b < 0x20) return false;
  if (b >= 'a' && b <= 'z') return false;
  return kForbiddenShortNameBytes.find(static_cast<char>(b)) == std::string_view::npos;
}

bool IsValidFirstNameByte(uint8_t b) {
  if (b == kEscapedE5) return true;
  if (b == 0x00 || b == ' ') return false;
  return IsValidNameByte(b);
}

std::span<const uint8_t, 11> StoredShortName(FatEntryBytes entry) { return entry.first<11>(); }

// Appends the 13 units of a long-name part.
void AppendPartUnits(FatEntryBytes part, std::u16string& units) {
  LeReader bytes(part);
  for (size_t offset : kPartUnitOffsets) units.push_back(static_cast<char16_t>(bytes.U16(offset)));
}

bool PartEndsName(FatEntryBytes part) {
  LeReader bytes(part);
  for (size_t offset : kPartUnitOffsets)
    if (bytes.U16(offset) == 0) return true;
  return false;
}

bool IsWellFormedPart(FatEntryBytes part) {
  return part[11] == kFatAttrLongName && part[12] == 0 && part[26] == 0 && part[27] == 0;
}

// The name up to its terminator; empty names do not count.
bool FinishName(std::u16string& units) {
  const size_t end = units.find(u'\0');
  if (end != std::u16string::npos) units.resize(end);
  return !units.empty();
}

// Parts of a live entry: sequence numbers 1, 2, ... going back from the entry, the last one
// flagged, every one with the short name's checksum.
LongNameResult TakeLiveParts(std::span<const uint8_t> folder, size_t index, std::u16string& name) {
  const uint8_t checksum = ShortNameChecksum(StoredShortName(FolderEntry(folder, index)));
  std::u16string units;
  for (size_t sequence = 1; sequence <= kMaxLongNameParts && sequence <= index; ++sequence) {
    FatEntryBytes part = FolderEntry(folder, index - sequence);
    if (part[11] != kFatAttrLongName) break;
    if (!IsWellFormedPart(part) || part[0] == kFatDeletedMark ||
        (part[0] & kSequenceMask) != sequence || part[13] != checksum)
      return LongNameResult::Mismatch;
    AppendPartUnits(part, units);
    if (part[0] & kLastPartFlag) {
      if (!FinishName(units)) return LongNameResult::Mismatch;
      name = std::move(units);
      return LongNameResult::Taken;
    }
  }
  return LongNameResult::Mismatch;
}

// Deletion overwrote the sequence numbers and the short name's first byte with 0xE5: the parts
// are the deleted ones going back that share one checksum, up to the one that ends the name.
// The checksum must then name a first byte that a short name can have.
LongNameResult TakeDeletedParts(std::span<const uint8_t> folder, size_t index,
                                std::u16string& name) {
  std::u16string units;
  uint8_t checksum = 0;
  size_t taken = 0;
  while (taken < kMaxLongNameParts && taken < index) {
    FatEntryBytes part = FolderEntry(folder, index - taken - 1);
    if (part[11] != kFatAttrLongName || part[0] != kFatDeletedMark) break;
    if (!IsWellFormedPart(part)) break;
    if (taken > 0 && part[13] != checksum) break;
    checksum = part[13];
    AppendPartUnits(part, units);
    ++taken;
    if (PartEndsName(part)) break;
  }
  if (taken == 0) return LongNameResult::Mismatch;

  std::array<uint8_t, 11> stored{};
  const auto shortName = StoredShortName(FolderEntry(folder, index));
  std::copy(shortName.begin(), shortName.end(), stored.begin());
  // The checksum is a bijection of the first byte, so exactly one first byte gives it.
  for (int first = 0; first < 256; ++first) {
    stored[0] = static_cast<uint8_t>(first);
    if (ShortNameChecksum(stored) != checksum) continue;
    if (!IsValidFirstNameByte(stored[0]) || !FinishName(units)) break;
    name = std::move(units);
    return LongNameResult::Taken;
  }
  return LongNameResult::Mismatch;
}

std::string TrimmedBlankPadded(std::span<const uint8_t> bytes) {
  size_t length = bytes.size();
  while (length > 0 && bytes[length - 1] == ' ') --length;
  return std::string(bytes.begin(), bytes.begin() + length);
}

void LowerAscii(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
}

}  // namespace

FatEntryBytes FolderEntry(std::span<const uint8_t> folder, size_t index) {
  return folder.subspan(index * kFatEntrySize).first<kFatEntrySize>();
}

bool IsValidShortName(FatEntryBytes entry) {
  if (!IsValidFirstNameByte(entry[0])) return false;
  for (size_t i = 1; i < 11; ++i)
    if (!IsValidNameByte(entry[i])) return false;
  return true;
}

bool IsValidEntry(FatEntryBytes entry) {
  const uint8_t attributes = entry[11];
  if ((attributes & kFatAttrLongName) == kFatAttrLongName)
    return attributes == kFatAttrLongName && entry[26] == 0 && entry[27] == 0;
  return IsValidShortName(entry) && entry[13] < 200 && attributes < 64;
}

bool IsDeletedEntry(FatEntryBytes entry) { return entry[0] == kFatDeletedMark; }

bool IsLongNamePart(FatEntryBytes entry) { return entry[11] == kFatAttrLongName; }

bool IsBookkeepingEntry(FatEntryBytes entry) {
  const uint8_t attributes = entry[11];
  if ((attributes & kFatAttrLongName) == kFatAttrLongName) return true;
  if (attributes & kFatAttrVolume) return true;
  return (attributes & kFatAttrFolder) && entry[0] == '.';
}

FatEntry ReadFatEntry(FatEntryBytes entry, FatWidth width) {
  LeReader bytes(entry);
  FatEntry fields;
  fields.Attributes = bytes.U8(11);
  fields.CreatedTime = bytes.U16(14);
  fields.CreatedDate = bytes.U16(16);
  fields.AccessedDate = bytes.U16(18);
  fields.ModifiedTime = bytes.U16(22);
  fields.ModifiedDate = bytes.U16(24);
  const uint32_t high = width == FatWidth::Fat32 ? bytes.U16(20) : 0;
  fields.FirstCluster = high << 16 | bytes.U16(26);
  fields.Size = bytes.U32(28);
  fields.Deleted = IsDeletedEntry(entry);
  return fields;
}

uint8_t ShortNameChecksum(std::span<const uint8_t, 11> name) {
  uint8_t sum = 0;
  for (uint8_t b : name) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + b);
  return sum;
}

std::u16string ShortEntryName(FatEntryBytes entry) {
  std::string base = TrimmedBlankPadded(entry.first<8>());
  std::string extension = TrimmedBlankPadded(entry.subspan<8, 3>());
  if (entry[12] & kLowerCaseBase) LowerAscii(base);
  if (entry[12] & kLowerCaseExtension) LowerAscii(extension);
  if (!base.empty()) {
    if (entry[0] == kFatDeletedMark)
      base[0] = '_';
    else if (entry[0] == kEscapedE5)
      base[0] = static_cast<char>(kFatDeletedMark);
  }
  if (!extension.empty()) base += '.' + extension;
  // FAT keeps short names in the DOS code page, not the Windows one.
  return platform::OemToUtf16(base);
}

LongNameResult LongEntryName(std::span<const uint8_t> folder, size_t index, std::u16string& name) {
  if (index == 0 || index >= FolderEntryCount(folder)) return LongNameResult::None;
  if (!IsLongNamePart(FolderEntry(folder, index - 1))) return LongNameResult::None;
  return IsDeletedEntry(FolderEntry(folder, index)) ? TakeDeletedParts(folder, index, name)
                                                    : TakeLiveParts(folder, index, name);
}

std::u16string EntryName(std::span<const uint8_t> folder, size_t index, LongNameResult* result) {
  std::u16string name;
  const LongNameResult taken = LongEntryName(folder, index, name);
  if (result) *result = taken;
  if (taken == LongNameResult::Taken) return name;
  return ShortEntryName(FolderEntry(folder, index));
}
