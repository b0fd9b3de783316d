#include "signatures/signature.h"

#include <cstring>

namespace {

size_t FixedWidth(uint32_t kind) {
  switch (kind) {
    case CondByte:
      return 1;
    case CondWord:
      return 2;
    case CondDword:
      return 4;
    case CondQword:
      return 8;
    default:
      return 0;
  }
}

size_t DefaultPayloadLength(uint32_t kind) {
  if (size_t width = FixedWidth(kind)) return width;
  if (kind == CondMasked || kind == CondMaskedBits) return 1024;
  return 0;
}

uint16_t ReadWord(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Whether count bytes at offset lie inside the readable bytes; negative offsets never do.
bool Readable(int32_t offset, size_t count, size_t readable) {
  if (offset < 0) return false;
  size_t start = static_cast<size_t>(offset);
  return start <= readable && count <= readable - start;
}

bool EqualsAt(const uint8_t* r, const uint8_t* value, size_t width) {
  switch (width) {
    case 1:
      return r[0] == value[0];
    case 2:
      return std::memcmp(r, value, 2) == 0;
    case 4:
      return std::memcmp(r, value, 4) == 0;
    default:
      return std::memcmp(r, value, 8) == 0;
  }
}

bool FixedHolds(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  size_t width = FixedWidth(c.Kind);
  if (c.Payload.size() < width) return false;
  if (!Readable(c.Offset, size_t{c.Repeat} + width, readable)) return false;
  const uint8_t* r = candidate + c.Offset;
  for (size_t i = 0; i <= c.Repeat; ++i)
    if (!EqualsAt(r + i, c.Payload.data(), width)) return false;
  return true;
}

bool ByteRangeHolds(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  if (c.Payload.size() < 2) return false;
  if (!Readable(c.Offset, size_t{c.Repeat} + 1, readable)) return false;
  const uint8_t* r = candidate + c.Offset;
  for (size_t i = 0; i <= c.Repeat; ++i)
    if (r[i] < c.Payload[0] || r[i] > c.Payload[1]) return false;
  return true;
}

bool WordRangeHolds(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  if (c.Payload.size() < 4) return false;
  if (!Readable(c.Offset, size_t{c.Repeat} + 2, readable)) return false;
  const uint16_t low = ReadWord(c.Payload.data());
  const uint16_t high = ReadWord(c.Payload.data() + 2);
  const uint8_t* r = candidate + c.Offset;
  for (size_t i = 0; i <= c.Repeat; ++i) {
    uint16_t value = ReadWord(r + i);
    if (value < low || value > high) return false;
  }
  return true;
}

bool BytesHold(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  if (c.Length > c.Payload.size()) return false;
  if (c.Length == 0) return true;
  if (!Readable(c.Offset, c.Length, readable)) return false;
  return std::memcmp(candidate + c.Offset, c.Payload.data(), c.Length) == 0;
}

bool TextEqualsAt(const uint8_t* r, const uint8_t* text, size_t length) {
  for (size_t j = 0; j < length; ++j)
    if ((r[j] | 0x20) != (text[j] | 0x20)) return false;
  return true;
}

// Whether the payload starts at some position of [r, r + count) whose first byte is first.
// memchr finds the few positions worth comparing; the order they are tried in does not matter.
bool FindFrom(const uint8_t* r, size_t count, uint8_t first, const uint8_t* text, size_t length,
              bool foldCase) {
  const uint8_t* end = r + count;
  for (const uint8_t* p = r; p < end; ++p) {
    p = static_cast<const uint8_t*>(std::memchr(p, first, static_cast<size_t>(end - p)));
    if (!p) return false;
    if (foldCase ? TextEqualsAt(p, text, length) : std::memcmp(p, text, length) == 0) return true;
  }
  return false;
}

// The payload at one of the positions 0 .. 511 - length; positions whose bytes are not
// readable are not tried.
bool FindHolds(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  const size_t length = c.Length;
  if (length > c.Payload.size() || length >= kSearchWindow) return false;
  if (!Readable(c.Offset, length, readable)) return false;
  if (length == 0) return true;
  size_t last = kSearchWindow - 1 - length;
  size_t lastReadable = readable - static_cast<size_t>(c.Offset) - length;
  if (lastReadable < last) last = lastReadable;
  const uint8_t* r = candidate + c.Offset;
  const uint8_t* text = c.Payload.data();
  if (c.Kind != CondFindText) return FindFrom(r, last + 1, text[0], text, length, false);
  // Folded, the first byte matches two byte values: with bit 0x20 set and without.
  const uint8_t folded = text[0] | 0x20;
  return FindFrom(r, last + 1, folded, text, length, true) ||
         FindFrom(r, last + 1, static_cast<uint8_t>(folded & ~0x20), text, length, true);
}

bool MaskedHolds(const SignatureCondition& c, const uint8_t* candidate, size_t readable) {
  const size_t length = c.Length;
  const size_t half = c.Payload.size() / 2;
  if (length > half) return false;
  if (length == 0) return true;
  if (!Readable(c.Offset, length, readable)) return false;
  const uint8_t* r = candidate + c.Offset;
  const uint8_t* data = c.Payload.data();
  const uint8_t* mask = data + half;
  for (size_t j = 0; j < length; ++j)
    if (mask[j] != 0 && r[j] != data[j]) return false;
  return true;
}

}  // namespace

SignatureCondition SignatureCondition::Create(uint32_t kind, int32_t offset, uint16_t length) {
  SignatureCondition condition;
  condition.Kind = kind;
  condition.Offset = offset;
  condition.Length = length;
  condition.Payload.assign(length != 0 ? length : DefaultPayloadLength(kind), 0);
  return condition;
}

SignatureCondition SignatureCondition::WithPayload(uint32_t kind, int32_t offset,
                                                   std::vector<uint8_t> payload) {
  SignatureCondition condition;
  condition.Kind = kind;
  condition.Offset = offset;
  condition.Length = static_cast<uint16_t>(payload.size());
  condition.Payload = std::move(payload);
  return condition;
}

bool SignatureCondition::Holds(const uint8_t* candidate, size_t readable) const {
  switch (Kind) {
    case CondByte:
    case CondWord:
    case CondDword:
    case CondQword:
      return FixedHolds(*this, candidate, readable);
    case CondByteRange:
      return ByteRangeHolds(*this, candidate, readable);
    case CondWordRange:
      return WordRangeHolds(*this, candidate, readable);
    case CondBytes:
      return BytesHold(*this, candidate, readable);
    case CondFindBytes:
    case CondFindText:
      return FindHolds(*this, candidate, readable);
    case CondMasked:
      return MaskedHolds(*this, candidate, readable);
    default:
      return true;  // CondMaskedBits and unknown kinds test nothing
  }
}

bool SignatureCondition::IsConsistent() const {
  switch (Kind) {
    case CondByte:
    case CondWord:
    case CondDword:
    case CondQword:
      return Payload.size() >= FixedWidth(Kind);
    case CondByteRange:
      return Payload.size() >= 2;
    case CondWordRange:
      return Payload.size() >= 4;
    case CondBytes:
    case CondFindBytes:
    case CondFindText:
      return Length <= Payload.size();
    case CondMasked:
    case CondMaskedBits:
      return Length <= Payload.size() / 2;
    default:
      return true;
  }
}

uint32_t Signature::SerializedSize() const {
  size_t size = kSignatureHeaderSize;
  for (const SignatureCondition& condition : Conditions) size += condition.RecordSize();
  return static_cast<uint32_t>(size);
}

bool Signature::Holds(const uint8_t* candidate, size_t readable) const {
  for (const SignatureCondition& condition : Conditions)
    if (!condition.Holds(candidate, readable)) return false;
  return true;
}
