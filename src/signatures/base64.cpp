#include "signatures/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kGroupsPerLine = 19;

}  // namespace

std::string EncodeBase64Lines(std::span<const uint8_t> bytes) {
  const size_t groups = bytes.size() / 3;
  std::string text;
  text.reserve(groups * 4 + groups / kGroupsPerLine * 2 + 4);
  for (size_t group = 0; group < groups; ++group) {
    const uint8_t* p = bytes.data() + group * 3;
    uint32_t value = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    text += kAlphabet[value >> 18 & 63];
    text += kAlphabet[value >> 12 & 63];
    text += kAlphabet[value >> 6 & 63];
    text += kAlphabet[value & 63];
    if ((group + 1) % kGroupsPerLine == 0) text += "\r\n";
  }
  const size_t rest = bytes.size() - groups * 3;
  if (rest != 0) {
    const uint8_t* p = bytes.data() + groups * 3;
    uint32_t value =
        static_cast<uint32_t>(p[0]) << 16 | (rest == 2 ? static_cast<uint32_t>(p[1]) << 8 : 0);
    text += kAlphabet[value >> 18 & 63];
    text += kAlphabet[value >> 12 & 63];
    text += rest == 2 ? kAlphabet[value >> 6 & 63] : '=';
    text += '=';
  }
  return text;
}
