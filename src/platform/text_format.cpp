// The wsprintf-style formatter. Format strings come from the built-in string table and from
// language files that users edit, so any text at all must give a result and never read an
// argument that is not there.
#include <algorithm>
#include <optional>

#include "platform/text.h"

namespace platform {
namespace {

// wsprintf writes at most 1024 characters; no single field needs more, and the bound keeps a
// width such as "%999999999d" from a damaged language file from asking for gigabytes.
constexpr size_t kMaxField = 1024;

enum class ArgSize { Default, Short, Long, Bits32, Bits64 };

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  bool hexPrefix = false;
  size_t width = 0;
  bool hasPrecision = false;
  size_t precision = 0;
  ArgSize size = ArgSize::Default;
  char16_t type = 0;
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

size_t ReadCount(std::u16string_view format, size_t* pos) {
  size_t value = 0;
  while (*pos < format.size() && IsDigit(format[*pos])) {
    value = std::min(kMaxField, value * 10 + (format[*pos] - u'0'));
    ++*pos;
  }
  return value;
}

void ReadFlags(std::u16string_view format, size_t* pos, Conversion* conv) {
  for (; *pos < format.size(); ++*pos) {
    switch (format[*pos]) {
      case u'-': conv->leftAlign = true; break;
      case u'0': conv->zeroPad = true; break;
      case u'#': conv->hexPrefix = true; break;
      default: return;
    }
  }
}

void ReadSize(std::u16string_view format, size_t* pos, Conversion* conv) {
  std::u16string_view rest = format.substr(*pos);
  if (rest.starts_with(u"I64")) {
    conv->size = ArgSize::Bits64;
    *pos += 3;
  } else if (rest.starts_with(u"I32")) {
    conv->size = ArgSize::Bits32;
    *pos += 3;
  } else if (rest.starts_with(u"h")) {
    conv->size = ArgSize::Short;
    *pos += 1;
  } else if (rest.starts_with(u"l") || rest.starts_with(u"w")) {
    conv->size = ArgSize::Long;
    *pos += 1;
  }
}

bool IsIntegerType(char16_t t) { return t == u'd' || t == u'i' || t == u'u' || t == u'x' || t == u'X'; }
bool IsTextType(char16_t t) { return t == u's' || t == u'S'; }
bool IsCharType(char16_t t) { return t == u'c' || t == u'C'; }

// Reads the conversion after a '%' at *pos and moves *pos past it. False when the text there
// is no conversion this formatter knows; *pos then points past the character that ended it.
bool ParseConversion(std::u16string_view format, size_t* pos, Conversion* conv) {
  ReadFlags(format, pos, conv);
  conv->width = ReadCount(format, pos);
  if (*pos < format.size() && format[*pos] == u'.') {
    ++*pos;
    conv->hasPrecision = true;
    conv->precision = ReadCount(format, pos);
  }
  ReadSize(format, pos, conv);
  if (*pos >= format.size()) return false;
  conv->type = format[(*pos)++];
  const bool fixedWidth = conv->size == ArgSize::Bits32 || conv->size == ArgSize::Bits64;
  if (IsIntegerType(conv->type)) return true;
  return !fixedWidth && (IsTextType(conv->type) || IsCharType(conv->type));
}

bool IsNumeric(const FormatArg& arg) {
  return arg.type() != FormatArg::Type::Text && arg.type() != FormatArg::Type::NarrowText;
}

std::u16string Pad(std::u16string body, const Conversion& conv, char16_t fill) {
  if (body.size() >= conv.width) return body;
  const std::u16string padding(conv.width - body.size(), fill);
  return conv.leftAlign ? body + padding : padding + body;
}

// The value as wsprintf reads it: without I64 a conversion takes the low 32 bits ('h' too).
uint64_t UnsignedValue(const FormatArg& arg, ArgSize size) {
  const uint64_t v = arg.AsUnsigned();
  return size == ArgSize::Bits64 ? v : static_cast<uint32_t>(v);
}

int64_t SignedValue(const FormatArg& arg, ArgSize size) {
  return size == ArgSize::Bits64 ? arg.AsSigned() : static_cast<int32_t>(arg.AsUnsigned());
}

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char16_t* symbols = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), symbols[value % base]);
    value /= base;
  } while (value != 0);
  return digits;
}

// As wsprintf: the precision counts the minus sign but not the "0x" of '#', zero padding fills
// the whole width, and '#' writes "0x" even before a zero.
std::u16string RenderInteger(const Conversion& conv, const FormatArg& arg) {
  const bool isSigned = conv.type == u'd' || conv.type == u'i';
  const bool isHex = conv.type == u'x' || conv.type == u'X';
  uint64_t magnitude = UnsignedValue(arg, conv.size);
  std::u16string prefix;
  if (isSigned) {
    const int64_t v = SignedValue(arg, conv.size);
    // Negating through unsigned arithmetic keeps INT64_MIN defined.
    magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    if (v < 0) prefix = u"-";
  }
  if (isHex && conv.hexPrefix) prefix = conv.type == u'X' ? u"0X" : u"0x";

  std::u16string digits = Digits(magnitude, isHex ? 16 : 10, conv.type == u'X');
  const size_t sign = isSigned ? prefix.size() : 0;
  if (conv.hasPrecision && sign + digits.size() < conv.precision)
    digits.insert(0, conv.precision - sign - digits.size(), u'0');
  if (conv.zeroPad && !conv.leftAlign && prefix.size() + digits.size() < conv.width)
    digits.insert(0, conv.width - prefix.size() - digits.size(), u'0');
  return Pad(prefix + digits, conv, u' ');
}

std::optional<std::u16string> RenderText(const Conversion& conv, const FormatArg& arg) {
  std::u16string text;
  if (arg.type() == FormatArg::Type::Text)
    text = arg.text();
  else if (arg.type() == FormatArg::Type::NarrowText)
    text = AnsiToUtf16(arg.narrow());
  else
    return std::nullopt;
  if (conv.hasPrecision && text.size() > conv.precision) {
    size_t keep = conv.precision;
    // Never keep half of a surrogate pair.
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    text.resize(keep);
  }
  return Pad(std::move(text), conv, conv.zeroPad && !conv.leftAlign ? u'0' : u' ');
}

// %C and %hc take an 8-bit ANSI character. A value above 0xFF cannot be one: it was given as a
// UTF-16 character and is shown as such rather than cut to its low byte.
std::u16string RenderChar(const Conversion& conv, const FormatArg& arg) {
  const uint64_t value = arg.AsUnsigned();
  const bool narrow = (conv.type == u'C' && conv.size != ArgSize::Long) ||
                      (conv.type == u'c' && conv.size == ArgSize::Short);
  std::u16string text;
  if (narrow && value <= 0xFF)
    text = AnsiToUtf16(std::string(1, static_cast<char>(value)));
  else
    text.assign(1, static_cast<char16_t>(value));
  return Pad(std::move(text), conv, conv.zeroPad && !conv.leftAlign ? u'0' : u' ');
}

// Nothing when the argument does not suit the conversion (a number for %s, a text for %d).
std::optional<std::u16string> Render(const Conversion& conv, const FormatArg& arg) {
  if (IsTextType(conv.type)) return RenderText(conv, arg);
  if (!IsNumeric(arg)) return std::nullopt;
  if (IsCharType(conv.type)) return RenderChar(conv, arg);
  return RenderInteger(conv, arg);
}

}  // namespace

std::u16string FormatList(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  auto next = args.begin();
  size_t pos = 0;
  while (pos < format.size()) {
    const size_t percent = format.find(u'%', pos);
    if (percent == std::u16string_view::npos) {
      out.append(format.substr(pos));
      break;
    }
    out.append(format.substr(pos, percent - pos));
    if (percent + 1 < format.size() && format[percent + 1] == u'%') {
      out.push_back(u'%');
      pos = percent + 2;
      continue;
    }
    pos = percent + 1;
    Conversion conv;
    const bool known = ParseConversion(format, &pos, &conv);
    const std::u16string_view asWritten = format.substr(percent, pos - percent);
    if (!known || next == args.end()) {
      out.append(asWritten);
      continue;
    }
    // A conversion takes its argument even when the two do not suit each other, so that the
    // arguments after it still meet their own conversions.
    const std::optional<std::u16string> rendered = Render(conv, *next++);
    out.append(rendered ? *rendered : std::u16string(asWritten));
  }
  return out;
}

}  // namespace platform
