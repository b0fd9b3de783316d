// Reading bytes at any offset of a volume whose reads are whole 512-byte sectors.
#include <algorithm>
#include <array>
#include <cstring>

#include "volumes/volume.h"

namespace {

// One transfer stays at 4 MiB, so that a long read of a failing drive retries small pieces.
constexpr uint64_t kMaxTransferSectors = 8192;

}  // namespace

uint32_t CVolume::ReadBytes(uint64_t position, void* buffer, uint32_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const uint64_t sector = position / kSectorSize;
    const uint32_t within = static_cast<uint32_t>(position % kSectorSize);
    const uint32_t left = count - done;
    if (within == 0 && left >= kSectorSize) {
      const uint64_t sectors = std::min<uint64_t>(left / kSectorSize, kMaxTransferSectors);
      const uint32_t got = ReadSectors(out + done, sector, sectors);
      done += got;
      if (got != sectors * kSectorSize) break;
      position += got;
      continue;
    }
    std::array<uint8_t, kSectorSize> one;
    if (ReadSectors(one.data(), sector, 1) != kSectorSize) break;
    const uint32_t piece = std::min(kSectorSize - within, left);
    std::memcpy(out + done, one.data() + within, piece);
    done += piece;
    position += piece;
  }
  return done;
}
