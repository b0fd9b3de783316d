#include "platform/posix/registry_values_file.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "platform/text.h"

namespace platform::registry_store {

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'L', 'R', 'G', 'V'};
constexpr size_t kFileHeaderSize = 12;
constexpr size_t kRecordHeaderSize = 16;

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

// CRC-32 (the polynomial of zip and PNG), continued over several pieces.
uint32_t Crc32(uint32_t crc, std::span<const uint8_t> bytes) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  crc = ~crc;
  for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

void AppendU32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

std::u16string DecodeName(std::span<const uint8_t> bytes) {
  std::u16string name(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < name.size(); ++i)
    name[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return name;
}

// Reads the record at offset; false when it is cut short or damaged.
bool ReadRecord(std::span<const uint8_t> bytes, size_t* offset, StoredValue* value) {
  size_t at = *offset;
  if (kRecordHeaderSize > bytes.size() - at) return false;
  uint32_t nameUnits = ReadU32(bytes, at);
  uint32_t type = ReadU32(bytes, at + 4);
  uint32_t dataSize = ReadU32(bytes, at + 8);
  uint32_t storedCrc = ReadU32(bytes, at + 12);
  if (nameUnits > kMaxValueNameUnits) return false;
  size_t nameBytes = size_t{nameUnits} * 2;
  size_t bodyAt = at + kRecordHeaderSize;
  if (nameBytes > bytes.size() - bodyAt || dataSize > bytes.size() - bodyAt - nameBytes)
    return false;
  auto header = bytes.subspan(at, 12);
  auto name = bytes.subspan(bodyAt, nameBytes);
  auto data = bytes.subspan(bodyAt + nameBytes, dataSize);
  if (Crc32(Crc32(Crc32(0, header), name), data) != storedCrc) return false;
  value->name = DecodeName(name);
  value->type = type;
  value->data.assign(data.begin(), data.end());
  *offset = bodyAt + nameBytes + dataSize;
  return true;
}

// A name met twice (only a foreign writer does that) keeps its first place and the last data.
class ValueCollector {
 public:
  explicit ValueCollector(std::vector<StoredValue>* values) : values_(values) {}

  void Add(StoredValue value) {
    auto [it, added] = positions_.try_emplace(AsciiLower(value.name), values_->size());
    if (added) {
      values_->push_back(std::move(value));
      return;
    }
    StoredValue& existing = (*values_)[it->second];
    existing.type = value.type;
    existing.data = std::move(value.data);
  }

 private:
  std::vector<StoredValue>* values_;
  std::unordered_map<std::u16string, size_t> positions_;
};

}  // namespace

ValuesFileContent ParseValuesFile(std::span<const uint8_t> bytes) {
  ValuesFileContent content;
  if (bytes.size() < kFileHeaderSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
    content.state = ValuesFileState::Damaged;
    return content;
  }
  content.version = ReadU32(bytes, 4);
  if (content.version > kValuesFileVersion) {
    content.state = ValuesFileState::NewerVersion;
    return content;
  }
  if (content.version == 0) {
    content.state = ValuesFileState::Damaged;
    return content;
  }
  uint32_t count = ReadU32(bytes, 8);
  size_t offset = kFileHeaderSize;
  uint32_t recordsRead = 0;
  ValueCollector collector(&content.values);
  while (offset < bytes.size()) {
    StoredValue value;
    if (!ReadRecord(bytes, &offset, &value)) {
      content.state = ValuesFileState::Damaged;
      content.damageOffset = offset;
      return content;
    }
    collector.Add(std::move(value));
    ++recordsRead;
  }
  // The count tells a file cut between two records from a whole one.
  if (recordsRead != count) {
    content.state = ValuesFileState::Damaged;
    content.damageOffset = offset;
  }
  return content;
}

std::vector<uint8_t> SerializeValues(const std::vector<StoredValue>& values) {
  std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
  AppendU32(&out, kValuesFileVersion);
  AppendU32(&out, static_cast<uint32_t>(values.size()));
  for (const StoredValue& value : values) {
    size_t recordAt = out.size();
    AppendU32(&out, static_cast<uint32_t>(value.name.size()));
    AppendU32(&out, value.type);
    AppendU32(&out, static_cast<uint32_t>(value.data.size()));
    AppendU32(&out, 0);
    size_t nameAt = out.size();
    for (char16_t unit : value.name) {
      out.push_back(static_cast<uint8_t>(unit & 0xFF));
      out.push_back(static_cast<uint8_t>(unit >> 8));
    }
    out.insert(out.end(), value.data.begin(), value.data.end());
    std::span<const uint8_t> all(out);
    uint32_t crc = Crc32(Crc32(0, all.subspan(recordAt, 12)), all.subspan(nameAt));
    for (int i = 0; i < 4; ++i) out[recordAt + 12 + i] = static_cast<uint8_t>(crc >> (8 * i));
  }
  return out;
}

}  // namespace platform::registry_store
