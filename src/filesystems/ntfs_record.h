// One MFT record ("FILE" record) of an NTFS volume, with its update sequence applied and its
// attributes indexed: the names, times and data map that the analyser reports and reads
// (docs/formats/ntfs.md). Every offset and length taken from the record is checked against the
// record before it is used; a damaged attribute ends the list at that point.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "filesystems/found_object.h"
#include "filesystems/ntfs_runs.h"

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

// The update sequence protects the last two bytes of every 512 bytes of a record.
constexpr uint32_t kNtfsFixupStride = 512;

// One entry of an attribute list: where an attribute, or a piece of it, is kept.
struct AttributeListEntry {
  uint32_t Type = 0;
  uint8_t NameLength = 0;
  uint64_t LowestVcn = 0;
  uint64_t RecordNumber = 0;  // low 48 bits of the reference
};

// Entries of an attribute list's value; stops at a damaged entry (logged by the caller through
// problem) or at the end of the bytes.
std::vector<AttributeListEntry> ParseAttributeList(std::span<const uint8_t> value,
                                                   std::u16string& problem);

// Restores the last word of every 512 bytes of the record from its update sequence array.
// False, with the reason, when the array's offset or count does not fit the record. A word
// that does not hold the sequence number (a torn write) is restored all the same and counted
// in mismatches.
bool ApplyFixups(std::span<uint8_t> record, std::u16string& problem, int* mismatches = nullptr);

class MftRecord {
 public:
  struct Attribute {
    uint32_t Type = 0;
    uint32_t Offset = 0;  // in the record
    uint32_t Length = 0;
    bool NonResident = false;
    uint8_t NameLength = 0;
  };

  explicit MftRecord(uint32_t recordSize, uint64_t clusterCount = 0);

  // Copies the record, applies its update sequence and indexes its attributes and the first
  // unnamed $DATA. False when it is no "FILE" record or its update sequence is unusable;
  // Problem() then says why. A damaged attribute or run list keeps what came before it and
  // sets Problem() too.
  bool Load(std::span<const uint8_t> raw);

  const std::u16string& Problem() const { return problem_; }
  std::span<const uint8_t> Raw() const { return raw_; }
  uint32_t RecordSize() const { return static_cast<uint32_t>(raw_.size()); }
  bool InUse() const;
  bool IsFolder() const;
  uint32_t Number() const;  // the record's own number, at offset 44
  uint64_t BaseRecord() const;  // 0 for a base record

  const std::vector<Attribute>& Attributes() const { return attributes_; }
  // The first attribute of the type after the given one (from the start when null).
  const Attribute* FindAttribute(uint32_t type, const Attribute* after = nullptr) const;
  // A resident attribute's value; empty when it is non-resident or its value lies outside it.
  std::span<const uint8_t> ResidentValue(const Attribute& attribute) const;

  // The unnamed $DATA: its runs (ordered by VCN), sizes, and a resident value.
  bool HasData() const { return hasData_; }
  bool NonResident() const { return nonResident_; }
  uint64_t DataSize() const { return dataSize_; }
  uint64_t InitializedSize() const { return initializedSize_; }
  const std::vector<DataRun>& Runs() const { return runs_; }
  // The attribute's flags (at 12 of its first piece): 0x00FF compression, 0x4000 encrypted,
  // 0x8000 sparse.
  uint16_t DataFlags() const { return dataFlags_; }
  bool Compressed() const { return nonResident_ && (dataFlags_ & 0x00FF) != 0; }
  // Clusters per compression unit as a power of two (at 34 of the first piece; 4 = 16 clusters).
  uint8_t CompressionUnitShift() const { return compressionUnitShift_; }
  std::span<const uint8_t> ResidentData() const;
  // The runs and sizes of a non-resident attribute; false when its run list is damaged.
  bool AttributeRuns(const Attribute& attribute, std::vector<DataRun>& runs, uint64_t& size,
                     uint64_t& initialized) const;
  bool HasAttributeList() const { return FindAttribute(kAttrAttributeList) != nullptr; }
  // Adds the pieces of the unnamed $DATA and the names that an extension record holds.
  void MergeExtension(const MftRecord& extension);

  // Times, parent, size, flags and name of the record. False when it has no usable name.
  bool FillFoundObject(FoundObject& record, std::u16string& name) const;

 private:
  void IndexAttributes();
  void ParseData();
  void TakeDataAttribute(const MftRecord& source, const Attribute& attribute);

  uint64_t clusterCount_;
  std::vector<uint8_t> raw_;
  std::u16string problem_;
  std::vector<Attribute> attributes_;
  bool hasData_ = false;
  bool nonResident_ = false;
  bool sizesKnown_ = false;
  uint64_t dataSize_ = 0;
  uint64_t initializedSize_ = 0;
  uint32_t valueOffset_ = 0;
  uint16_t dataFlags_ = 0;
  uint8_t compressionUnitShift_ = 0;
  std::vector<DataRun> runs_;
  // $FILE_NAME values kept in extension records.
  std::vector<std::vector<uint8_t>> extensionNames_;
};
