// One file type (or one group) of the file-type database: a fixed 1956-byte header that is
// stored verbatim in the registry and in .filesig files, followed by the type's signatures.
// docs/formats/filesig.md describes the serialized record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "signatures/signature.h"

#pragma pack(push, 1)
struct FileTypeHeader {
  int32_t TypeId;          // 0 for a group record
  int32_t GroupId;         // negative; a group record's own id
  int32_t Enabled;         // searched for and shown
  int32_t FilterSelected;  // passes the views' file-type filter
  int32_t Visible;         // shown in the type trees
  int32_t HasChildren;     // 1 for group records
  int32_t Reserved24[3];
  int32_t TypicalSizeKB;
  int32_t Coincidence;  // percent, stored only
  int32_t Reserved44;   // 50
  int32_t SearchOrder;  // 0..100, stored only: the scan order is the list order
  int32_t Reserved52[25];
  char16_t Title[100];
  char16_t Description[260];
  char16_t Extensions[100];  // "JPG,JPEG": separated by ',' or ';', the first is the default
  char16_t NamePrefix[30];
  char16_t DescriptionUrl[260];
  uint8_t Reserved1652[300];
  int32_t SignatureCount;
};
#pragma pack(pop)

static_assert(sizeof(FileTypeHeader) == 1956);
static_assert(offsetof(FileTypeHeader, TypeId) == 0);
static_assert(offsetof(FileTypeHeader, GroupId) == 4);
static_assert(offsetof(FileTypeHeader, Enabled) == 8);
static_assert(offsetof(FileTypeHeader, FilterSelected) == 12);
static_assert(offsetof(FileTypeHeader, Visible) == 16);
static_assert(offsetof(FileTypeHeader, HasChildren) == 20);
static_assert(offsetof(FileTypeHeader, TypicalSizeKB) == 36);
static_assert(offsetof(FileTypeHeader, Coincidence) == 40);
static_assert(offsetof(FileTypeHeader, Reserved44) == 44);
static_assert(offsetof(FileTypeHeader, SearchOrder) == 48);
static_assert(offsetof(FileTypeHeader, Title) == 152);
static_assert(offsetof(FileTypeHeader, Description) == 352);
static_assert(offsetof(FileTypeHeader, Extensions) == 872);
static_assert(offsetof(FileTypeHeader, NamePrefix) == 1072);
static_assert(offsetof(FileTypeHeader, DescriptionUrl) == 1132);
static_assert(offsetof(FileTypeHeader, Reserved1652) == 1652);
static_assert(offsetof(FileTypeHeader, SignatureCount) == 1952);

constexpr size_t kFileTypeHeaderSize = sizeof(FileTypeHeader);

// The registry loader reads at most this many bytes of a value, so no record may be larger.
constexpr size_t kMaxSerializedFileType = 16383;
// Found objects keep a type id in 16 signed bits; negative ones name groups.
constexpr int32_t kMaxTypeId = 32767;

// The header fields are members of the type itself (type.TypeId, type.Description), so code
// reads like the record it handles. SignatureCount is brought in line with Signatures when the
// type is serialized.
struct FileType : FileTypeHeader {
  // Shown by the type trees; filled by the user interface, which owns the image list.
  void* Icon = nullptr;
  int32_t ImageIndex = -1;
  // Size option chosen for "All files of this type" in the probable-size question; 0 = ask.
  int32_t RememberedSizeOption = 0;
  std::vector<Signature> Signatures;

  // A type with the defaults of a new record: enabled, visible, typical size 1024 KB,
  // coincidence 100, search order 50, everything else zero.
  FileType();
  // A group record: id 0, the group's id, its name as title, with children.
  static FileType Group(int32_t groupId, std::u16string_view name);

  // Text fields, bounded by their field even when the stored text lacks its terminating zero.
  std::u16string_view TitleText() const;
  std::u16string_view DescriptionText() const;
  std::u16string_view ExtensionsText() const;
  std::u16string_view NamePrefixText() const;
  std::u16string_view DescriptionUrlText() const;
  // Title when not empty, else Description.
  std::u16string_view DisplayName() const;
  // The part of Extensions before the first ',' or ';' (all of it when there is none).
  std::u16string_view FirstExtension() const;
  // The extensions with blanks, '*' and '.' stripped from both ends, empty ones left out.
  std::vector<std::u16string> ExtensionList() const;

  // Setters cut the text to what the field holds with its terminating zero and zero-pad it.
  void SetTitle(std::u16string_view text);
  void SetDescription(std::u16string_view text);
  void SetExtensions(std::u16string_view text);
  void SetNamePrefix(std::u16string_view text);
  void SetDescriptionUrl(std::u16string_view text);

  // True when any signature holds at the candidate (see SignatureCondition::Holds).
  bool Matches(const uint8_t* candidate, size_t readable) const;

  // The header (with SignatureCount = the number of signatures) and the signatures.
  size_t SerializedSize() const;
  std::vector<uint8_t> Serialize() const;
  // Writes into out when it is large enough and returns the length; 0 when it is not.
  size_t Serialize(std::span<uint8_t> out) const;
  // Takes over the header and signatures of another type; keeps this type's in-memory fields.
  void ReplaceRecord(const FileType& other);
};

// Why a serialized record was refused, for the log line.
struct DeserializeResult {
  std::unique_ptr<FileType> type;  // null when refused
  std::u16string problem;          // empty on success; else what was wrong
  size_t consumed = 0;             // bytes the record occupies (less than given: a trailing rest)
};

// Reads a serialized record: a 1956-byte header and SignatureCount signatures. Every size and
// count is checked against the bytes given before it is used; a record that runs past them,
// whose sizes and counts disagree, or one with a condition that is not consistent is refused.
DeserializeResult DeserializeFileType(std::span<const uint8_t> bytes);
