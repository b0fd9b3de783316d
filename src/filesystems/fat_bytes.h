// Little-endian fields at fixed offsets of an on-disk FAT structure (boot sector, directory
// entry). A field that does not lie wholly inside the bytes reads as 0 and sets a sticky error
// flag, so a run of fields is read first and checked once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class FatBytes {
 public:
  explicit FatBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Failed() const { return failed_; }

  uint8_t U8(size_t offset) {
    if (!Has(offset, 1)) return 0;
    return bytes_[offset];
  }
  uint16_t U16(size_t offset) {
    if (!Has(offset, 2)) return 0;
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  uint32_t U32(size_t offset) {
    if (!Has(offset, 4)) return 0;
    return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes_[offset + 3]) << 24;
  }

 private:
  bool Has(size_t offset, size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) failed_ = true;
    return !failed_;
  }

  std::span<const uint8_t> bytes_;
  bool failed_ = false;
};
