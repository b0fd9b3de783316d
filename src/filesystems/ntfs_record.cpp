#include "filesystems/ntfs_record.h"

#include <algorithm>
#include <cstring>

#include "volumes/le_reader.h"

namespace {

constexpr uint16_t kRecordInUse = 0x0001;
constexpr uint16_t kRecordFolder = 0x0002;
constexpr uint32_t kHeaderSize = 48;
constexpr uint32_t kResidentHeader = 24;
constexpr uint32_t kNonResidentHeader = 64;
constexpr size_t kFileNameHeader = 66;
constexpr size_t kListEntryHeader = 26;
constexpr uint64_t kReferenceMask = 0x0000FFFFFFFFFFFFull;

// Name spaces of $FILE_NAME: the Windows name is preferred, the 8.3 alias taken last.
int NameRank(uint8_t nameSpace) {
  switch (nameSpace) {
    case 1:  // Win32
    case 3:  // Win32 and DOS in one
      return 3;
    case 0:  // POSIX
      return 2;
    default:  // DOS alias
      return 1;
  }
}

}  // namespace

std::vector<AttributeListEntry> ParseAttributeList(std::span<const uint8_t> value,
                                                   std::u16string& problem) {
  std::vector<AttributeListEntry> entries;
  LeReader fields(value);
  size_t at = 0;
  while (value.size() - at >= kListEntryHeader) {
    AttributeListEntry entry;
    entry.Type = fields.U32(at);
    if (entry.Type == kAttrEnd) break;
    const uint16_t length = fields.U16(at + 4);
    if (length < kListEntryHeader || length > value.size() - at) {
      problem = u"an attribute list entry's length does not fit the list";
      break;
    }
    entry.NameLength = fields.U8(at + 6);
    entry.LowestVcn = fields.U64(at + 8);
    entry.RecordNumber = fields.U64(at + 16) & kReferenceMask;
    entries.push_back(entry);
    at += length;
  }
  return entries;
}

bool ApplyFixups(std::span<uint8_t> record, std::u16string& problem, int* mismatches) {
  const size_t sectors = record.size() / kNtfsFixupStride;
  LeReader header(record);
  const uint16_t offset = header.U16(4);
  const uint16_t count = header.U16(6);
  if (sectors == 0 || count != sectors + 1) {
    problem = u"the update sequence count does not fit the record size";
    return false;
  }
  // The array must end before the first protected word, which it restores.
  if (offset < 8 || offset % 2 != 0 || offset + 2u * count > kNtfsFixupStride - 2) {
    problem = u"the update sequence array lies outside the record's first sector";
    return false;
  }
  const uint8_t* usa = record.data() + offset;
  int wrong = 0;
  for (size_t i = 1; i < count; ++i) {
    uint8_t* word = record.data() + i * kNtfsFixupStride - 2;
    if (word[0] != usa[0] || word[1] != usa[1]) ++wrong;
    word[0] = usa[2 * i];
    word[1] = usa[2 * i + 1];
  }
  if (mismatches) *mismatches = wrong;
  return true;
}

MftRecord::MftRecord(uint32_t recordSize, uint64_t clusterCount)
    : clusterCount_(clusterCount), raw_(recordSize, 0) {}

bool MftRecord::Load(std::span<const uint8_t> raw) {
  problem_.clear();
  attributes_.clear();
  runs_.clear();
  extensionNames_.clear();
  hasData_ = nonResident_ = sizesKnown_ = false;
  dataSize_ = initializedSize_ = 0;
  valueOffset_ = 0;
  dataFlags_ = 0;
  compressionUnitShift_ = 0;
  std::fill(raw_.begin(), raw_.end(), 0);
  std::memcpy(raw_.data(), raw.data(), std::min(raw.size(), raw_.size()));
  if (raw.size() < raw_.size() || std::memcmp(raw_.data(), "FILE", 4) != 0) {
    problem_ = u"no FILE record";
    return false;
  }
  if (!ApplyFixups(raw_, problem_)) return false;
  IndexAttributes();
  ParseData();
  return true;
}

bool MftRecord::InUse() const { return (LeReader(raw_).U16(22) & kRecordInUse) != 0; }
bool MftRecord::IsFolder() const { return (LeReader(raw_).U16(22) & kRecordFolder) != 0; }
uint32_t MftRecord::Number() const { return LeReader(raw_).U32(44); }
uint64_t MftRecord::BaseRecord() const { return LeReader(raw_).U64(32) & kReferenceMask; }

void MftRecord::IndexAttributes() {
  LeReader fields(raw_);
  const uint32_t size = RecordSize();
  const uint32_t inUse = fields.U32(24);
  const uint32_t end = inUse >= kHeaderSize && inUse <= size ? inUse : size;
  uint32_t at = fields.U16(20);
  if (at < kHeaderSize - 8 || at >= end) {
    problem_ = u"the first attribute lies outside the record";
    return;
  }
  // Each attribute is at least 16 bytes long, so the walk ends within the record.
  while (end - at >= 8) {
    Attribute attribute;
    attribute.Type = fields.U32(at);
    if (attribute.Type == kAttrEnd) return;
    attribute.Offset = at;
    attribute.Length = fields.U32(at + 4);
    if (end - at < 16 || attribute.Length < 16 || attribute.Length > end - at) {
      problem_ = u"an attribute's length runs past the record or is too short";
      return;
    }
    attribute.NonResident = fields.U8(at + 8) != 0;
    attribute.NameLength = fields.U8(at + 9);
    const uint32_t header = attribute.NonResident ? kNonResidentHeader : kResidentHeader;
    const uint32_t nameOffset = fields.U16(at + 10);
    if (attribute.Length < header ||
        (attribute.NameLength != 0 &&
         (nameOffset > attribute.Length ||
          2u * attribute.NameLength > attribute.Length - nameOffset))) {
      problem_ = u"an attribute's header or name runs past the attribute";
      return;
    }
    attributes_.push_back(attribute);
    at += attribute.Length;
  }
}

const MftRecord::Attribute* MftRecord::FindAttribute(uint32_t type, const Attribute* after) const {
  size_t index = after ? static_cast<size_t>(after - attributes_.data()) + 1 : 0;
  for (; index < attributes_.size(); ++index)
    if (attributes_[index].Type == type) return &attributes_[index];
  return nullptr;
}

std::span<const uint8_t> MftRecord::ResidentValue(const Attribute& attribute) const {
  if (attribute.NonResident) return {};
  LeReader fields(raw_);
  const uint32_t length = fields.U32(attribute.Offset + 16);
  const uint16_t offset = fields.U16(attribute.Offset + 20);
  if (offset > attribute.Length || length > attribute.Length - offset) return {};
  return std::span<const uint8_t>(raw_).subspan(attribute.Offset + offset, length);
}

std::span<const uint8_t> MftRecord::ResidentData() const {
  if (!hasData_ || nonResident_) return {};
  return std::span<const uint8_t>(raw_).subspan(valueOffset_, static_cast<size_t>(dataSize_));
}

void MftRecord::ParseData() {
  for (const Attribute& attribute : attributes_) {
    if (attribute.Type != kAttrData || attribute.NameLength != 0) continue;
    if (!attribute.NonResident) {
      if (hasData_) continue;
      const std::span<const uint8_t> value = ResidentValue(attribute);
      // An empty value still lies inside its attribute; one beyond it is refused too.
      if (value.data() == nullptr) {
        problem_ = u"a resident $DATA value runs past its attribute";
        continue;
      }
      hasData_ = true;
      sizesKnown_ = true;
      dataSize_ = initializedSize_ = value.size();
      valueOffset_ = attribute.Offset + LeReader(raw_).U16(attribute.Offset + 20);
      return;
    }
    TakeDataAttribute(*this, attribute);
  }
}

void MftRecord::TakeDataAttribute(const MftRecord& source, const Attribute& attribute) {
  const std::span<const uint8_t> bytes =
      std::span<const uint8_t>(source.raw_).subspan(attribute.Offset, attribute.Length);
  LeReader fields(bytes);
  const uint64_t lowestVcn = fields.U64(16);
  const uint16_t runOffset = fields.U16(32);
  if (runOffset < kNonResidentHeader || runOffset > bytes.size()) {
    problem_ = u"a run list starts outside its attribute";
    return;
  }
  hasData_ = true;
  nonResident_ = true;
  if (lowestVcn == 0) {
    sizesKnown_ = true;
    dataSize_ = fields.U64(48);
    initializedSize_ = std::min(fields.U64(56), dataSize_);
    dataFlags_ = fields.U16(12);
    compressionUnitShift_ = fields.U8(34);
  }
  std::vector<DataRun> runs;
  std::u16string problem;
  if (!DecodeRunList(bytes.subspan(runOffset), lowestVcn, clusterCount_, runs, problem))
    problem_ = problem;
  MergeRuns(runs_, runs);
}

bool MftRecord::AttributeRuns(const Attribute& attribute, std::vector<DataRun>& runs,
                              uint64_t& size, uint64_t& initialized) const {
  if (!attribute.NonResident) return false;
  const std::span<const uint8_t> bytes =
      std::span<const uint8_t>(raw_).subspan(attribute.Offset, attribute.Length);
  LeReader fields(bytes);
  const uint16_t runOffset = fields.U16(32);
  if (runOffset < kNonResidentHeader || runOffset > bytes.size()) return false;
  size = fields.U64(48);
  initialized = std::min(fields.U64(56), size);
  std::u16string problem;
  return DecodeRunList(bytes.subspan(runOffset), fields.U64(16), clusterCount_, runs, problem);
}

void MftRecord::MergeExtension(const MftRecord& extension) {
  for (const Attribute* name = extension.FindAttribute(kAttrFileName); name;
       name = extension.FindAttribute(kAttrFileName, name)) {
    const std::span<const uint8_t> value = extension.ResidentValue(*name);
    if (!value.empty()) extensionNames_.emplace_back(value.begin(), value.end());
  }
  for (const Attribute& attribute : extension.attributes_) {
    if (attribute.Type != kAttrData || attribute.NameLength != 0 || !attribute.NonResident)
      continue;
    if (hasData_ && !nonResident_) return;
    TakeDataAttribute(extension, attribute);
  }
}

bool MftRecord::FillFoundObject(FoundObject& record, std::u16string& name) const {
  if (const Attribute* standard = FindAttribute(kAttrStandardInformation)) {
    const std::span<const uint8_t> value = ResidentValue(*standard);
    if (value.size() >= 32) {
      LeReader fields(value);
      record.Created = fields.U64(0);
      record.Modified = fields.U64(8);
      record.Accessed = fields.U64(24);
      record.Attributes = static_cast<uint16_t>(fields.U32(32));
    }
  }
  std::vector<std::span<const uint8_t>> names;
  for (const Attribute* fileName = FindAttribute(kAttrFileName); fileName;
       fileName = FindAttribute(kAttrFileName, fileName))
    names.push_back(ResidentValue(*fileName));
  for (const std::vector<uint8_t>& value : extensionNames_) names.emplace_back(value);
  std::span<const uint8_t> chosen;
  int chosenRank = 0;
  for (const std::span<const uint8_t> value : names) {
    if (value.size() < kFileNameHeader) continue;
    LeReader fields(value);
    const size_t length = fields.U8(64);
    if (length == 0 || 2 * length > value.size() - kFileNameHeader) continue;
    const int rank = NameRank(fields.U8(65));
    if (rank > chosenRank) {
      chosen = value;
      chosenRank = rank;
    }
  }
  if (chosen.empty()) return false;
  LeReader chosenFields(chosen);
  // The parent comes from the same name, so that a hard link's name stands in its own folder.
  const uint64_t parent = chosenFields.U64(0) & kReferenceMask;
  if (parent > static_cast<uint64_t>(INT32_MAX)) return false;
  record.ParentId = static_cast<int32_t>(parent);
  const size_t length = chosenFields.U8(64);
  name.resize(length);
  for (size_t n = 0; n < length; ++n)
    name[n] = static_cast<char16_t>(chosenFields.U16(kFileNameHeader + 2 * n));
  record.Name = name.c_str();
  record.Flags |= FoundNamed;
  // The $DATA sizes are kept current; the copy in the name is often stale.
  record.Size = sizesKnown_ ? static_cast<int64_t>(dataSize_ & INT64_MAX)
                            : static_cast<int64_t>(chosenFields.U64(48) & INT64_MAX);
  return true;
}
