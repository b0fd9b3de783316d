#include "signatures/compound_document.h"

#include <array>
#include <string_view>

#include "signatures/format_rules_bytes.h"
#include "volumes/le_reader.h"

namespace {

constexpr size_t kHeaderSize = 512;
constexpr size_t kNameBytes = 64;

// Stream names that give a compound document its subtype, in the order they are compared.
struct Subtype {
  std::u16string_view name;
  bool prefix;  // the name only has to begin with it
  int16_t typeId;
};
constexpr std::array<Subtype, 10> kSubtypes = {{
    {u"Workbook", false, 501},
    {u"WordDocument", false, 502},
    {u"PowerPoint Document", false, 503},
    {u"Scene", false, 522},
    {u"Props", false, 506},
    {u"VisioDocument", false, 505},
    {u"Envelope", false, 508},
    {u"Symbol ", true, 523},
    {u"DocumentViewStyles", false, 520},
    {u"BodyText", false, 521},
}};

char16_t Folded(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Folded(a[i]) != Folded(b[i])) return false;
  return true;
}

// The entry's name: UTF-16LE up to its terminator, never past the 64 bytes of the name field.
std::u16string EntryName(std::span<const uint8_t> entry) {
  std::u16string name;
  for (size_t i = 0; i + 1 < kNameBytes && i + 1 < entry.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(entry[i] | entry[i + 1] << 8);
    if (c == 0) break;
    name.push_back(c);
  }
  return name;
}

bool InSubtype(const Subtype& subtype, std::u16string_view name) {
  if (subtype.prefix)
    return name.size() >= subtype.name.size() &&
           SameIgnoringCase(name.substr(0, subtype.name.size()), subtype.name);
  return SameIgnoringCase(name, subtype.name);
}

}  // namespace

std::optional<CompoundDocumentHeader> ReadCompoundDocumentHeader(std::span<const uint8_t> bytes) {
  LeReader reader(bytes);
  CompoundDocumentHeader header{reader.U16(30), reader.U32(44), reader.U32(48)};
  if (reader.Failed()) return std::nullopt;
  return header;
}

int64_t CompoundDocumentSize(const CompoundDocumentHeader& header) {
  if (header.SectorShift < kMinCompoundSectorShift ||
      header.SectorShift > kMaxCompoundSectorShift || header.FatSectors == 0)
    return -1;
  // Each allocation-table sector lists sector/4 sectors; at most 2^14 * 2^32 * 2^16 bytes.
  const uint64_t sector = uint64_t{1} << header.SectorShift;
  return static_cast<int64_t>(sector / 4 * (uint64_t{header.FatSectors} * sector));
}

int16_t SubtypeOfDirectory(std::span<const uint8_t> directory) {
  const size_t entries = std::min(directory.size() / kCompoundEntrySize, kCompoundEntriesRead);
  if (entries == 0 ||
      !SameIgnoringCase(EntryName(directory.first(kCompoundEntrySize)), u"Root Entry"))
    return kTypeCompoundDocumentId;
  for (size_t index = 0; index < entries; ++index) {
    const std::u16string name =
        EntryName(directory.subspan(index * kCompoundEntrySize, kCompoundEntrySize));
    for (const Subtype& subtype : kSubtypes)
      if (InSubtype(subtype, name)) return subtype.typeId;
  }
  return kTypeCompoundDocumentId;
}

int16_t ClassifyCompoundDocument(FormatRuleBytes& bytes, FoundObject& object) {
  if (object.Start < 0) return kTypeCompoundDocumentId;
  const uint64_t start = static_cast<uint64_t>(object.Start);
  const std::optional<CompoundDocumentHeader> header =
      ReadCompoundDocumentHeader(bytes.At(start, kHeaderSize));
  if (!header) return kTypeCompoundDocumentId;
  object.Size = CompoundDocumentSize(*header);
  if (object.Size < 0) return kTypeCompoundDocumentId;

  // The header fills sector 0 of the file; sector n lies at (n + 1) sectors from its start.
  const uint64_t sector = uint64_t{1} << header->SectorShift;
  const uint64_t offset = (uint64_t{header->DirectorySector} + 1) * sector;
  if (offset >= bytes.VolumeEnd() || start >= bytes.VolumeEnd() - offset)
    return kTypeCompoundDocumentId;
  return SubtypeOfDirectory(bytes.At(start + offset, kCompoundEntriesRead * kCompoundEntrySize));
}
