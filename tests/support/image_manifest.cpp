#include "support/image_manifest.h"

#include <array>
#include <sstream>

#include "platform/text.h"
#include "support/test_support.h"

namespace testing_support {

namespace {

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::u16string& path) {
  std::vector<uint8_t> bytes = ReadWholeFile(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::map<std::u16string, ManifestLine> ReadImageManifest(const std::u16string& path) {
  std::map<std::u16string, ManifestLine> manifest;
  for (const std::string& line : ReadTextLines(path)) {
    const std::vector<std::string> f = Split(line, '\t');
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

uint32_t Cksum(const std::vector<uint8_t>& bytes) {
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
  for (uint8_t b : bytes) step(b);
  for (uint64_t length = bytes.size(); length != 0; length >>= 8)
    step(static_cast<uint8_t>(length));
  return ~crc;
}

}  // namespace testing_support
