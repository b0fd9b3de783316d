#include "signatures/format_rules.h"

#include <algorithm>

#include "signatures/format_rules_bytes.h"
#include "volumes/le_reader.h"

namespace {

// The smallest bitmap: its 14-byte file header and the 12-byte core header.
constexpr uint32_t kMinBitmapSize = 26;
// What follows a RIFF chunk's size field: the form type at least.
constexpr uint32_t kMinRiffSize = 4;
// An AVI file is taken to run on past its RIFF chunk by this much (index chunks written
// after it).
constexpr int64_t kAviTail = 2048;

// A header-derived size is kept: the store does not infer another one from the next object.
// It never runs past the volume's end.
void KeepHeaderSize(FormatRuleBytes& bytes, FoundObject& object, int64_t size) {
  const uint64_t end = bytes.VolumeEnd();
  const uint64_t start = static_cast<uint64_t>(object.Start);
  if (object.Start < 0 || start >= end || size <= 0) return;
  object.Size = static_cast<int64_t>(std::min<uint64_t>(static_cast<uint64_t>(size), end - start));
  object.Flags |= FoundSizeFromHeader;
}

void SizeCompoundDocument(FormatRuleBytes& bytes, FoundObject& object) {
  object.FileTypeId = ClassifyCompoundDocument(bytes, object);
  if (object.Size > 0)
    KeepHeaderSize(bytes, object, object.Size);
  else
    object.Size = -1;
}

// The candidate's first length bytes through a reader; false when they are not all there.
template <typename Read>
bool ReadHeader(FormatRuleBytes& bytes, const FoundObject& object, size_t length, Read&& read) {
  LeReader reader(bytes.At(static_cast<uint64_t>(object.Start), length));
  read(reader);
  return !reader.Failed();
}

void SizeBitmap(FormatRuleBytes& bytes, FoundObject& object) {
  uint32_t size = 0;
  if (ReadHeader(bytes, object, 6, [&](LeReader& r) { size = r.U32(2); }) && size >= kMinBitmapSize)
    KeepHeaderSize(bytes, object, size);
}

void SizeAvi(FormatRuleBytes& bytes, FoundObject& object) {
  uint32_t riff = 0;
  if (ReadHeader(bytes, object, 8, [&](LeReader& r) { riff = r.U32(4); }) && riff >= kMinRiffSize)
    KeepHeaderSize(bytes, object, int64_t{riff} + kAviTail);
}

}  // namespace

void ApplyFormatRules(CVolume& volume, std::span<const uint8_t> block, size_t unitOffset,
                      FoundObject& object) {
  if (object.Start < 0 || unitOffset > static_cast<uint64_t>(object.Start)) return;
  FormatRuleBytes bytes(volume, block, static_cast<uint64_t>(object.Start) - unitOffset);
  if (object.FileTypeId == kTypeCompoundDocumentId) SizeCompoundDocument(bytes, object);
  if (object.FileTypeId == kTypeBitmap) SizeBitmap(bytes, object);
  if (object.FileTypeId == kTypeAvi) SizeAvi(bytes, object);
  // The first-cluster field keeps the cluster of the matched unit.
  if (object.FileTypeId == kTypeSignatureAt32K && object.Start >= kSignatureAt32KOffset)
    object.Start -= kSignatureAt32KOffset;
  if (object.FileTypeId == kTypeNtfsIndexRecord) {
    object.Id = IdFragment;
    object.Flags = FoundFragment;
  }
}
