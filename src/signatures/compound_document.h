// Compound documents (the storage format of the old Word, Excel and PowerPoint files and of
// several other programs): the size their allocation table can address and the subtype their
// directory's stream names give. See docs/formats/compound_document.md.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "filesystems/found_object.h"

class FormatRuleBytes;

// The header fields the program reads.
struct CompoundDocumentHeader {
  uint32_t SectorShift;
  uint32_t FatSectors;
  uint32_t DirectorySector;
};

// "Microsoft Storage File": a compound document of no known subtype.
constexpr int16_t kTypeCompoundDocumentId = 500;

// Sector shifts the program accepts (128-byte to 64 KiB sectors).
constexpr uint32_t kMinCompoundSectorShift = 7;
constexpr uint32_t kMaxCompoundSectorShift = 16;
// The directory entries that are read: 100 entries of 128 bytes.
constexpr size_t kCompoundEntrySize = 128;
constexpr size_t kCompoundEntriesRead = 100;

// Null when the bytes are too short to hold the fields.
std::optional<CompoundDocumentHeader> ReadCompoundDocumentHeader(std::span<const uint8_t> bytes);

// The bytes the allocation table can address; -1 when the sector shift is outside 7..16 or
// the table is empty.
int64_t CompoundDocumentSize(const CompoundDocumentHeader& header);

// The subtype of a directory (entries of 128 bytes in directory order): the type id of the
// first entry whose name is in the subtype table, 500 when none is or the first entry is not
// the root.
int16_t SubtypeOfDirectory(std::span<const uint8_t> directory);

// Sets the object's size from the header at object.Start (-1 when the header gives none) and
// returns the type id to use: a subtype from the directory, else 500.
int16_t ClassifyCompoundDocument(FormatRuleBytes& bytes, FoundObject& object);
