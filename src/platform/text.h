// UTF-16 text, the program's only string form, and its conversions.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

// Win32 takes wchar_t, which is the same 16-bit unit as char16_t there.
#ifdef _WIN32
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
#endif

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The ANSI code page (Windows-1252) of 8-bit text on disk: short names, labels, descriptions.
std::u16string AnsiToUtf16(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf16ToAnsi(std::u16string_view text);

// The DOS (OEM) code pages whose tables the program carries, for the 8.3 names FAT keeps in
// the code page of the system that wrote them. Any other page reads as 437.
constexpr uint32_t kOemUnitedStates = 437;
constexpr uint32_t kOemWesternEurope = 850;
std::u16string OemBytesToUtf16(uint32_t codePage, std::string_view bytes);
// Bytes in the OEM code page of this system: GetOEMCP on Windows, 437 or 850 from the locale
// elsewhere, chosen once.
std::u16string OemToUtf16(std::string_view bytes);

char16_t AsciiToLower(char16_t c);
char16_t AsciiToUpper(char16_t c);
std::u16string AsciiLower(std::u16string_view text);
std::u16string AsciiUpper(std::u16string_view text);
// <0, 0, >0 as wcsicmp, folding ASCII letters only.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

std::u16string Trim(std::u16string_view text, char16_t blank = u' ');

// One argument of Format. Integers keep their width; %d of a 64-bit value takes its low 32 bits
// as wsprintf would. Strings are UTF-16 (%s) or 8-bit ANSI (%S); characters UTF-16 (%c) or
// 8-bit ANSI (%C).
class FormatArg {
 public:
  enum class Type { Signed, Unsigned, Text, NarrowText, Char };

  FormatArg(int v) : type_(Type::Signed), signed_(v) {}
  FormatArg(long v) : type_(Type::Signed), signed_(v) {}
  FormatArg(long long v) : type_(Type::Signed), signed_(v) {}
  FormatArg(unsigned v) : type_(Type::Unsigned), unsigned_(v) {}
  FormatArg(unsigned long v) : type_(Type::Unsigned), unsigned_(v) {}
  FormatArg(unsigned long long v) : type_(Type::Unsigned), unsigned_(v) {}
  FormatArg(char16_t c) : type_(Type::Char), unsigned_(c) {}
  FormatArg(char c) : type_(Type::Char), unsigned_(static_cast<unsigned char>(c)) {}
  FormatArg(const char16_t* s) : type_(Type::Text), text_(s ? s : u"(null)") {}
  FormatArg(const std::u16string& s) : type_(Type::Text), text_(s) {}
  FormatArg(std::u16string_view s) : type_(Type::Text), text_(s) {}
  FormatArg(const char* s) : type_(Type::NarrowText), narrow_(s ? s : "(null)") {}
  FormatArg(const std::string& s) : type_(Type::NarrowText), narrow_(s) {}

  Type type() const { return type_; }
  int64_t AsSigned() const { return type_ == Type::Signed ? signed_ : static_cast<int64_t>(unsigned_); }
  uint64_t AsUnsigned() const { return type_ == Type::Signed ? static_cast<uint64_t>(signed_) : unsigned_; }
  std::u16string_view text() const { return text_; }
  std::string_view narrow() const { return narrow_; }

 private:
  Type type_;
  int64_t signed_ = 0;
  uint64_t unsigned_ = 0;
  std::u16string_view text_;
  std::string_view narrow_;
};

// wsprintf-style formatting of the program's format strings: %s %S %c %C %d %i %u %x %X
// %I64d %I64u %I64x %I64X %%, with flags '-' and '0', and a width. A conversion without an
// argument left, or one it does not know, is copied as it stands.
std::u16string FormatList(std::u16string_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
std::u16string Format(std::u16string_view format, const Args&... args) {
  return FormatList(format, {FormatArg(args)...});
}

}  // namespace platform
