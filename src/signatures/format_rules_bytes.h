// Bytes at a position of the volume for the format rules: from the scanner's block when they
// lie wholly inside it, else read from the volume, cut at the volume's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CVolume;

class FormatRuleBytes {
 public:
  // blockStart: the byte position of block[0] on the volume.
  FormatRuleBytes(CVolume& volume, std::span<const uint8_t> block, uint64_t blockStart)
      : volume_(volume), block_(block), blockStart_(blockStart) {}

  // Up to length bytes at position; fewer where the volume ends or a read fails, none when
  // the position lies beyond the volume. The span stays valid until the next call.
  std::span<const uint8_t> At(uint64_t position, size_t length);

  // The volume's length in bytes.
  uint64_t VolumeEnd() const;

 private:
  CVolume& volume_;
  std::span<const uint8_t> block_;
  uint64_t blockStart_;
  std::vector<uint8_t> read_;
};
