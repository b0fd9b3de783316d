// The serialized record of a file type: the header, then each signature's 20-byte header and
// its conditions, each a 32-byte header and its payload (docs/formats/filesig.md).
#include <cstring>

#include "platform/text.h"
#include "signatures/file_type.h"
#include "volumes/le_reader.h"

namespace {

void PutU32(uint8_t*& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) *out++ = static_cast<uint8_t>(value >> shift);
}

void PutU16(uint8_t*& out, uint16_t value) {
  *out++ = static_cast<uint8_t>(value);
  *out++ = static_cast<uint8_t>(value >> 8);
}

void PutBytes(uint8_t*& out, const uint8_t* bytes, size_t count) {
  if (count != 0) std::memcpy(out, bytes, count);
  out += count;
}

void PutCondition(uint8_t*& out, const SignatureCondition& condition) {
  PutU32(out, condition.Kind);
  PutU32(out, condition.RecordSize());
  PutU32(out, static_cast<uint32_t>(condition.Offset));
  PutU16(out, condition.Repeat);
  PutU16(out, condition.Length);
  PutBytes(out, condition.Reserved.data(), condition.Reserved.size());
  PutBytes(out, condition.Payload.data(), condition.Payload.size());
}

void PutSignature(uint8_t*& out, const Signature& signature) {
  PutBytes(out, signature.Reserved0.data(), signature.Reserved0.size());
  PutU32(out, signature.SerializedSize());
  PutBytes(out, signature.Reserved8.data(), signature.Reserved8.size());
  PutU32(out, static_cast<uint32_t>(signature.Conditions.size()));
  for (const SignatureCondition& condition : signature.Conditions) PutCondition(out, condition);
}

using Problem = std::u16string;

// Reads one condition from the bytes of its signature; returns what was wrong, or nothing.
Problem ReadCondition(LeReader& conditions, SignatureCondition& condition) {
  if (conditions.Remaining() < kConditionHeaderSize)
    return u"the condition header runs past the end of its signature";
  condition.Kind = conditions.ReadU32();
  uint32_t recordSize = conditions.ReadU32();
  condition.Offset = conditions.ReadI32();
  condition.Repeat = conditions.ReadU16();
  condition.Length = conditions.ReadU16();
  conditions.ReadInto(condition.Reserved.data(), condition.Reserved.size());
  if (recordSize < kConditionHeaderSize)
    return platform::Format(u"the condition's record size %u is smaller than its 32-byte header",
                            recordSize);
  size_t payloadSize = recordSize - kConditionHeaderSize;
  if (payloadSize > conditions.Remaining())
    return platform::Format(u"the condition's record size %u runs past the end of its signature",
                            recordSize);
  std::span<const uint8_t> payload = conditions.Take(payloadSize);
  condition.Payload.assign(payload.begin(), payload.end());
  if (!condition.IsConsistent())
    return platform::Format(u"the condition of kind %u compares %u bytes but carries %u",
                            condition.Kind, static_cast<unsigned>(condition.Length),
                            static_cast<unsigned>(payloadSize));
  return {};
}

Problem ReadSignature(LeReader& record, Signature& signature) {
  if (record.Remaining() < kSignatureHeaderSize) return u"the signature header runs past the end";
  record.ReadInto(signature.Reserved0.data(), signature.Reserved0.size());
  uint32_t totalSize = record.ReadU32();
  record.ReadInto(signature.Reserved8.data(), signature.Reserved8.size());
  uint32_t conditionCount = record.ReadU32();
  if (totalSize < kSignatureHeaderSize)
    return platform::Format(u"the signature size %u is smaller than its 20-byte header", totalSize);
  size_t bodySize = totalSize - kSignatureHeaderSize;
  if (bodySize > record.Remaining())
    return platform::Format(u"the signature size %u runs past the end", totalSize);
  if (conditionCount > bodySize / kConditionHeaderSize)
    return platform::Format(u"the signature claims %u conditions in %u bytes", conditionCount,
                            totalSize);
  LeReader conditions(record.Take(bodySize));
  signature.Conditions.resize(conditionCount);
  for (SignatureCondition& condition : signature.Conditions) {
    Problem problem = ReadCondition(conditions, condition);
    if (!problem.empty()) return problem;
  }
  if (conditions.Remaining() != 0)
    return platform::Format(
        u"the signature size %u disagrees with its conditions, which take %u bytes", totalSize,
        static_cast<unsigned>(totalSize - conditions.Remaining()));
  return {};
}

}  // namespace

size_t FileType::SerializedSize() const {
  size_t size = kFileTypeHeaderSize;
  for (const Signature& signature : Signatures) size += signature.SerializedSize();
  return size;
}

size_t FileType::Serialize(std::span<uint8_t> out) const {
  size_t size = SerializedSize();
  if (out.size() < size) return 0;
  FileTypeHeader header = *this;
  header.SignatureCount = static_cast<int32_t>(Signatures.size());
  uint8_t* cursor = out.data();
  PutBytes(cursor, reinterpret_cast<const uint8_t*>(&header), sizeof(header));
  for (const Signature& signature : Signatures) PutSignature(cursor, signature);
  return size;
}

std::vector<uint8_t> FileType::Serialize() const {
  std::vector<uint8_t> bytes(SerializedSize());
  Serialize(bytes);
  return bytes;
}

DeserializeResult DeserializeFileType(std::span<const uint8_t> bytes) {
  DeserializeResult result;
  if (bytes.size() < kFileTypeHeaderSize) {
    result.problem = platform::Format(u"%u bytes are shorter than the 1956-byte header",
                                      static_cast<unsigned>(bytes.size()));
    return result;
  }
  auto type = std::make_unique<FileType>();
  LeReader record(bytes);
  record.ReadInto(static_cast<FileTypeHeader*>(type.get()), kFileTypeHeaderSize);
  const int32_t count = type->SignatureCount;
  if (count < 0 || static_cast<size_t>(count) > record.Remaining() / kSignatureHeaderSize) {
    result.problem =
        platform::Format(u"the header claims %d signatures, more than the %u bytes after it hold",
                         count, static_cast<unsigned>(record.Remaining()));
    return result;
  }
  type->Signatures.resize(static_cast<size_t>(count));
  for (size_t index = 0; index < type->Signatures.size(); ++index) {
    Problem problem = ReadSignature(record, type->Signatures[index]);
    if (!problem.empty()) {
      result.problem =
          platform::Format(u"signature %u: %s", static_cast<unsigned>(index + 1), problem);
      return result;
    }
  }
  result.consumed = record.Position();
  result.type = std::move(type);
  return result;
}
