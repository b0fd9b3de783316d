// What the drive-information pane tells about a drive: one row per fact, in the order shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CVolume;

struct VolumeFact {
  std::u16string Name;
  std::u16string Value;
};

std::vector<VolumeFact> VolumeFacts(CVolume& volume);

// "1,474,560 bytes (1.4 MB)".
std::u16string ByteCountText(uint64_t bytes);
// The kind of drive in words: "Physical disk", "Drive image", ...
std::u16string VolumeKindText(int kind);
