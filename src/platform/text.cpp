// UTF-8, Windows-1252 and ASCII case helpers over the program's UTF-16 text.
#include "platform/text.h"

#include <algorithm>
#include <array>

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

// How a UTF-8 lead byte goes on: the number of continuation bytes and the range the first of
// them must lie in. The narrowed ranges after E0, ED, F0 and F4 refuse overlong forms,
// encoded surrogates and code points above U+10FFFF.
struct Utf8Lead {
  int continuations;
  char32_t bits;
  unsigned char low;
  unsigned char high;
};

bool DecodeLead(unsigned char b, Utf8Lead* lead) {
  if (b >= 0xC2 && b <= 0xDF) {
    *lead = {1, char32_t(b & 0x1F), 0x80, 0xBF};
  } else if (b >= 0xE0 && b <= 0xEF) {
    *lead = {2, char32_t(b & 0x0F), static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
             static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
  } else if (b >= 0xF0 && b <= 0xF4) {
    *lead = {3, char32_t(b & 0x07), static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
             static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
  } else {
    return false;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined (81, 8D, 8F, 90,
// 9D) stand for the C1 control of the same number, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char AnsiByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  auto found = std::find(kCp1252High.begin(), kCp1252High.end(), cp);
  if (found == kCp1252High.end()) return '?';
  return static_cast<char>(0x80 + (found - kCp1252High.begin()));
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i++]);
    if (b < 0x80) {
      out.push_back(b);
      continue;
    }
    Utf8Lead lead;
    if (!DecodeLead(b, &lead)) {
      out.push_back(kReplacement);
      continue;
    }
    // A broken sequence becomes one replacement character; the byte that broke it is read
    // again as the start of what follows.
    char32_t cp = lead.bits;
    unsigned char low = lead.low, high = lead.high;
    int done = 0;
    while (done < lead.continuations && i < text.size()) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c < low || c > high) break;
      cp = (cp << 6) | (c & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++i;
      ++done;
    }
    AppendCodePoint(out, done == lead.continuations ? cp : kReplacement);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out.push_back(b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // A surrogate pair is one character and becomes one '?'.
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
    out.push_back(AnsiByteOf(text[i]));
  }
  return out;
}

char16_t AsciiToLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
char16_t AsciiToUpper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

std::u16string AsciiLower(std::u16string_view text) {
  std::u16string out(text);
  std::transform(out.begin(), out.end(), out.begin(), AsciiToLower);
  return out;
}

std::u16string AsciiUpper(std::u16string_view text) {
  std::u16string out(text);
  std::transform(out.begin(), out.end(), out.begin(), AsciiToUpper);
  return out;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int la = AsciiToLower(a[i]);
    const int lb = AsciiToLower(b[i]);
    if (la != lb) return la - lb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::u16string Trim(std::u16string_view text, char16_t blank) {
  const size_t first = text.find_first_not_of(blank);
  if (first == std::u16string_view::npos) return {};
  const size_t last = text.find_last_not_of(blank);
  return std::u16string(text.substr(first, last - first + 1));
}

}  // namespace platform
