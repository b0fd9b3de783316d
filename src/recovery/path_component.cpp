#include "recovery/path_component.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace {

constexpr std::u16string_view kForbidden = u"\\/:<>\"|?*";
// An extension longer than this is treated as part of the name when a name is cut.
constexpr size_t kMaxKeptExtension = 16;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Forbidden characters, control characters and unpaired surrogates become '_'.
std::u16string ReplaceForbidden(std::u16string_view name) {
  std::u16string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (c < 0x20 || c == 0x7F || kForbidden.find(c) != std::u16string_view::npos) {
      out[i] = u'_';
    } else if (IsHighSurrogate(c)) {
      if (i + 1 < out.size() && IsLowSurrogate(out[i + 1]))
        ++i;
      else
        out[i] = u'_';
    } else if (IsLowSurrogate(c)) {
      out[i] = u'_';
    }
  }
  return out;
}

void TrimTrailingDotsAndBlanks(std::u16string& name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
}

bool IsDeviceName(std::u16string_view name) {
  // Windows takes the part before the first dot, without trailing blanks, as the device.
  std::u16string base(name.substr(0, std::min(name.find(u'.'), name.size())));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = platform::AsciiUpper(base);
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) return true;
  return base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT")) &&
         base[3] >= u'1' && base[3] <= u'9';
}

// UTF-8 bytes of one UTF-16 unit sequence element (a pair counts at its first unit).
size_t Utf8Bytes(std::u16string_view text, size_t i) {
  const char16_t c = text[i];
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  if (IsHighSurrogate(c)) return 4;
  if (IsLowSurrogate(c)) return 0;
  return 3;
}

// The longest beginning of text within both limits, never splitting a surrogate pair.
std::u16string_view FittingPrefix(std::u16string_view text, size_t units, size_t bytes) {
  size_t usedBytes = 0;
  size_t end = 0;
  while (end < text.size()) {
    const size_t step = IsHighSurrogate(text[end]) && end + 1 < text.size() ? 2 : 1;
    const size_t cost = Utf8Bytes(text, end);
    if (end + step > units || usedBytes + cost > bytes) break;
    usedBytes += cost;
    end += step;
  }
  return text.substr(0, end);
}

size_t Utf8Length(std::u16string_view text) {
  size_t bytes = 0;
  for (size_t i = 0; i < text.size(); ++i) bytes += Utf8Bytes(text, i);
  return bytes;
}

// Splits off a short extension (with its dot); none when the name has no dot past its start.
std::pair<std::u16string_view, std::u16string_view> SplitExtension(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || dot == 0 || name.size() - dot > kMaxKeptExtension + 1)
    return {name, {}};
  return {name.substr(0, dot), name.substr(dot)};
}

// Base and extension cut so that base + suffix + extension stays within the limits.
std::u16string FitWithSuffix(std::u16string_view name, std::u16string_view suffix) {
  auto [base, extension] = SplitExtension(name);
  const size_t tailUnits = suffix.size() + extension.size();
  const size_t tailBytes = Utf8Length(suffix) + Utf8Length(extension);
  std::u16string out(
      FittingPrefix(base, kMaxComponentUnits - tailUnits, kMaxComponentBytes - tailBytes));
  TrimTrailingDotsAndBlanks(out);
  if (out.empty()) out = u"_";
  out += suffix;
  out += extension;
  return out;
}

}  // namespace

std::u16string SanitisePathComponent(std::u16string_view name) {
  std::u16string out = ReplaceForbidden(name);
  if (!out.empty() && std::all_of(out.begin(), out.end(), [](char16_t c) { return c == u'.'; }))
    std::fill(out.begin(), out.end(), u'_');
  TrimTrailingDotsAndBlanks(out);
  if (out.empty()) return u"unnamed";
  if (IsDeviceName(out)) out.insert(out.begin(), u'_');
  if (out.size() > kMaxComponentUnits || Utf8Length(out) > kMaxComponentBytes)
    out = FitWithSuffix(out, {});
  return out;
}

std::u16string NumberedName(std::u16string_view name, unsigned n) {
  return FitWithSuffix(name, u" (" + platform::Utf8ToUtf16(std::to_string(n)) + u")");
}

namespace {

// Lower case as NTFS compares names, for the alphabets names are mostly written in (Latin,
// Greek, Cyrillic); the same table on both systems.
char16_t FoldUnit(char16_t c) {
  if (c < 0x80) return platform::AsciiToLower(c);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x100 && c <= 0x137 && (c & 1) == 0) return static_cast<char16_t>(c + 1);
  if (c >= 0x139 && c <= 0x148 && (c & 1) == 1) return static_cast<char16_t>(c + 1);
  if (c >= 0x14A && c <= 0x177 && (c & 1) == 0) return static_cast<char16_t>(c + 1);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  return c;
}

}  // namespace

std::u16string FoldedName(std::u16string_view path) {
  std::u16string folded(path);
  for (char16_t& c : folded) c = FoldUnit(c);
  return folded;
}
