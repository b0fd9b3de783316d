// Little-endian fields of on-disk NTFS structures. A field that does not lie wholly inside the
// bytes reads as 0; parsers check their bounds first and use these for the reads themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ntfs_bytes {

inline bool Has(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

inline uint64_t Field(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  if (!Has(bytes, offset, size)) return 0;
  uint64_t value = 0;
  for (size_t n = size; n-- > 0;) value = value << 8 | bytes[offset + n];
  return value;
}

inline uint8_t U8(std::span<const uint8_t> b, size_t o) { return static_cast<uint8_t>(Field(b, o, 1)); }
inline uint16_t U16(std::span<const uint8_t> b, size_t o) { return static_cast<uint16_t>(Field(b, o, 2)); }
inline uint32_t U32(std::span<const uint8_t> b, size_t o) { return static_cast<uint32_t>(Field(b, o, 4)); }
inline uint64_t U64(std::span<const uint8_t> b, size_t o) { return Field(b, o, 8); }

}  // namespace ntfs_bytes
