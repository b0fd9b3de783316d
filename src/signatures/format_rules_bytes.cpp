#include "signatures/format_rules_bytes.h"

#include <algorithm>

#include "volumes/volume.h"

uint64_t FormatRuleBytes::VolumeEnd() const {
  const uint64_t sectors = std::min<uint64_t>(volume_.SectorCount, UINT64_MAX / kSectorSize);
  return sectors * kSectorSize;
}

std::span<const uint8_t> FormatRuleBytes::At(uint64_t position, size_t length) {
  const uint64_t end = VolumeEnd();
  if (position >= end) return {};
  length = static_cast<size_t>(std::min<uint64_t>(length, end - position));
  if (position >= blockStart_ && position - blockStart_ <= block_.size() &&
      length <= block_.size() - (position - blockStart_))
    return block_.subspan(static_cast<size_t>(position - blockStart_), length);

  const uint64_t firstSector = position / kSectorSize;
  const size_t skip = static_cast<size_t>(position % kSectorSize);
  const uint64_t sectors = (skip + length + kSectorSize - 1) / kSectorSize;
  read_.assign(static_cast<size_t>(sectors) * kSectorSize, 0);
  uint32_t got = 0;
  try {
    got = volume_.ReadSectors(read_.data(), firstSector, sectors);
  } catch (...) {
    got = 0;
  }
  if (got <= skip) return {};
  return std::span<const uint8_t>(read_).subspan(skip, std::min<size_t>(length, got - skip));
}
