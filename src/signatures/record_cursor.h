// A bounds-checked little-endian reader over untrusted bytes. A read past the end sets a
// sticky error flag and yields zeros, so a run of fields is read first and checked once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

class RecordCursor {
 public:
  explicit RecordCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Failed() const { return failed_; }
  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }

  // The next count bytes, or an empty span (and the error flag) when fewer are left.
  std::span<const uint8_t> Take(size_t count) {
    if (failed_ || count > Remaining()) {
      failed_ = true;
      return {};
    }
    std::span<const uint8_t> result = bytes_.subspan(position_, count);
    position_ += count;
    return result;
  }

  uint32_t ReadU32() {
    std::span<const uint8_t> p = Take(4);
    if (p.empty()) return 0;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
  uint16_t ReadU16() {
    std::span<const uint8_t> p = Take(2);
    if (p.empty()) return 0;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  void ReadInto(void* destination, size_t count) {
    std::span<const uint8_t> p = Take(count);
    if (!p.empty()) std::memcpy(destination, p.data(), count);
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool failed_ = false;
};
