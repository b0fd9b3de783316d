// Reads little-endian fields of bytes that came from a drive or a file, either at fixed offsets
// (boot sectors, MFT records) or one after another from a position (records laid end to end).
// A field that does not lie wholly inside the bytes reads as zeros and sets a sticky error flag,
// so that a run of fields is read first and checked once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

class LeReader {
 public:
  explicit LeReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Failed() const { return failed_; }
  size_t Size() const { return bytes_.size(); }

  // Fields at fixed offsets. These do not move the position.

  // count bytes at offset; an empty span (and the error flag) when they are not all there.
  std::span<const uint8_t> Bytes(size_t offset, size_t count) {
    if (offset > bytes_.size() || count > bytes_.size() - offset) {
      failed_ = true;
      return {};
    }
    return bytes_.subspan(offset, count);
  }

  uint8_t U8(size_t offset) { return static_cast<uint8_t>(Decode(Bytes(offset, 1))); }
  uint16_t U16(size_t offset) { return static_cast<uint16_t>(Decode(Bytes(offset, 2))); }
  uint32_t U32(size_t offset) { return static_cast<uint32_t>(Decode(Bytes(offset, 4))); }
  uint64_t U64(size_t offset) { return Decode(Bytes(offset, 8)); }

  // Fields one after another from the position, which starts at 0. Once a read has failed,
  // every later one yields nothing, so that no field is read from a misaligned position.

  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }

  // The next count bytes, or an empty span (and the error flag) when fewer are left.
  std::span<const uint8_t> Take(size_t count) {
    if (failed_ || count > Remaining()) {
      failed_ = true;
      return {};
    }
    std::span<const uint8_t> taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }

  uint16_t ReadU16() { return static_cast<uint16_t>(Decode(Take(2))); }
  uint32_t ReadU32() { return static_cast<uint32_t>(Decode(Take(4))); }
  int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }

  // The next count bytes copied to destination; it is left as it was when they are not there.
  void ReadInto(void* destination, size_t count) {
    std::span<const uint8_t> taken = Take(count);
    if (!taken.empty()) std::memcpy(destination, taken.data(), taken.size());
  }

 private:
  // A field's value; 0 for the empty span a failed read returns.
  static uint64_t Decode(std::span<const uint8_t> field) {
    uint64_t value = 0;
    for (size_t i = field.size(); i > 0; --i) value = value << 8 | field[i - 1];
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool failed_ = false;
};
