// Reads little-endian fields at fixed offsets of bytes that came from a drive. A field that
// does not lie wholly inside the bytes reads as zeros and sets a sticky error flag, so that a
// run of fields is read first and checked once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class LeReader {
 public:
  explicit LeReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Failed() const { return failed_; }
  size_t Size() const { return bytes_.size(); }

  // count bytes at offset; an empty span (and the error flag) when they are not all there.
  std::span<const uint8_t> Bytes(size_t offset, size_t count) {
    if (offset > bytes_.size() || count > bytes_.size() - offset) {
      failed_ = true;
      return {};
    }
    return bytes_.subspan(offset, count);
  }

  uint8_t U8(size_t offset) { return static_cast<uint8_t>(Field(offset, 1)); }
  uint16_t U16(size_t offset) { return static_cast<uint16_t>(Field(offset, 2)); }
  uint32_t U32(size_t offset) { return static_cast<uint32_t>(Field(offset, 4)); }
  uint64_t U64(size_t offset) { return Field(offset, 8); }

 private:
  uint64_t Field(size_t offset, size_t width) {
    std::span<const uint8_t> field = Bytes(offset, width);
    uint64_t value = 0;
    for (size_t i = field.size(); i > 0; --i) value = value << 8 | field[i - 1];
    return value;
  }

  std::span<const uint8_t> bytes_;
  bool failed_ = false;
};
