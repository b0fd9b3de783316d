// The manifests that tests/fixtures/fat_images.sh and ntfs_images.sh write beside their images
// (one line per file or folder written, tab-separated: state, kind, size, cksum, intact, mtime,
// path), and the checksum of POSIX cksum to compare data with them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/test_support.h"

namespace testing_support {

struct ManifestLine {
  bool deleted = false;
  bool folder = false;
  int64_t size = 0;
  uint32_t crc = 0;     // cksum of the data; 0 for folders
  bool intact = false;  // the data can still be read back
  int64_t mtime = 0;    // Unix seconds; 0 for folders
};

// Keyed by the path from the root, '/' between names.
inline std::map<std::u16string, ManifestLine> ReadManifest(const std::u16string& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::map<std::u16string, ManifestLine> manifest;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() != 7) continue;
    ManifestLine m;
    m.deleted = f[0] == "deleted";
    m.folder = f[1] == "folder";
    m.size = std::stoll(f[2]);
    m.crc = f[3] == "-" ? 0 : static_cast<uint32_t>(std::stoul(f[3]));
    m.intact = f[4] == "yes";
    m.mtime = std::stoll(f[5]);
    manifest[platform::Utf8ToUtf16(f[6])] = m;
  }
  return manifest;
}

// CRC-32 with polynomial 0x04C11DB7, most significant bit first, over the bytes and then the
// length, complemented.
inline uint32_t Cksum(const uint8_t* data, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0;
  auto step = [&](uint8_t b) { crc = (crc << 8) ^ table[(crc >> 24) ^ b]; };
  for (size_t i = 0; i < size; ++i) step(data[i]);
  for (uint64_t length = size; length != 0; length >>= 8) step(static_cast<uint8_t>(length));
  return ~crc;
}

}  // namespace testing_support
