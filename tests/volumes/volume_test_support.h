// Helpers of the volume tests: numbered images, a log that catches lines, scripted devices.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/log.h"
#include "volumes/volume.h"

namespace volume_testing {

// Every byte of sector n is n % 251 and its first four bytes hold n, so a read shows where it
// came from.
inline std::vector<uint8_t> NumberedSectors(uint32_t count) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kSectorSize);
  for (uint32_t sector = 0; sector < count; ++sector) {
    uint8_t* at = bytes.data() + static_cast<size_t>(sector) * kSectorSize;
    std::memset(at, static_cast<int>(sector % 251), kSectorSize);
    std::memcpy(at, &sector, sizeof sector);
  }
  return bytes;
}

inline uint32_t SectorNumberAt(const uint8_t* bytes) {
  uint32_t number = 0;
  std::memcpy(&number, bytes, sizeof number);
  return number;
}

// Makes g_pLog a log of its own for one test.
class LogCapture {
 public:
  LogCapture() : previous_(g_pLog) {
    log_.SetTimestamps(false);
    g_pLog = &log_;
  }
  ~LogCapture() { g_pLog = previous_; }

  bool Contains(std::u16string_view text) const {
    auto lines = log_.Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::u16string& line) {
      return line.find(text) != std::u16string::npos;
    });
  }
  size_t LineCount() const { return log_.LineCount(); }

 private:
  CLog log_;
  CLog* previous_;
};

inline std::unique_ptr<CVolume> ImageVolume(const std::u16string& path) {
  auto volume = std::make_unique<CVolume>();
  volume->Kind = VolumeKindImage;
  volume->DevicePath = path;
  return volume;
}

}  // namespace volume_testing
