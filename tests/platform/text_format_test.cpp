// The wsprintf-style formatter: the program's own format strings and damaged ones from language files.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace platform;

namespace {

constexpr int64_t k2Pow40 = int64_t(1) << 40;

TEST(FormatIntegers, SixtyFourBitAndThirtyTwoBitConversions) {
  EXPECT_EQ(Format(u"%I64d", int64_t(-1)), u"-1");
  EXPECT_EQ(Format(u"%I64d", k2Pow40), u"1099511627776");
  EXPECT_EQ(Format(u"%I64u", int64_t(-1)), u"18446744073709551615");
  EXPECT_EQ(Format(u"%I64x|%I64X", k2Pow40 + 0xab, k2Pow40 + 0xab), u"100000000ab|100000000AB");
  EXPECT_EQ(Format(u"%I64d", INT64_MIN), u"-9223372036854775808");
  EXPECT_EQ(Format(u"%I64d", -5), u"-5");  // a 32-bit argument keeps its sign

  // Without I64 only the low 32 bits count, as with wsprintf.
  EXPECT_EQ(Format(u"%d", k2Pow40 + 5), u"5");
  EXPECT_EQ(Format(u"%d", 0xFFFFFFFFu), u"-1");
  EXPECT_EQ(Format(u"%u", -1), u"4294967295");
  EXPECT_EQ(Format(u"%x", int64_t(-1)), u"ffffffff");
  EXPECT_EQ(Format(u"%i %d", INT32_MIN, 0), u"-2147483648 0");
  EXPECT_EQ(Format(u"%hd %lu", 0x1FFFF, int64_t(-1)), u"131071 4294967295");
}

TEST(FormatIntegers, WidthsPaddingAndPrecision) {
  EXPECT_EQ(Format(u"[%5d][%-5d][%05d]", 42, 42, -42), u"[   42][42   ][-0042]");
  EXPECT_EQ(Format(u"%08X  %02X %04x", 0xBEEFu, 5, 0xAB), u"0000BEEF  05 00ab");
  EXPECT_EQ(Format(u"[%-05d]", 7), u"[7    ]");            // '-' wins over '0'
  EXPECT_EQ(Format(u"[%3d]", 123456), u"[123456]");        // a width never cuts
  EXPECT_EQ(Format(u"[%.3d][%6.3u][%.3d]", 7, 7, -7), u"[007][   007][-07]");
  EXPECT_EQ(Format(u"[%#x][%#06X][%#.4x]", 255, 255, 255), u"[0xff][0X00FF][0x00ff]");
  EXPECT_EQ(Format(u"[%016I64d]", -k2Pow40), u"[-001099511627776]");
}

TEST(FormatText, WideNarrowAndCharacters) {
  const std::u16string name = u"\u00DCn\u00EFc\u00F6d\u00E9 \u2713 \xD83D\xDCF7";
  EXPECT_EQ(Format(u"<%s>", name), u"<" + name + u">");
  EXPECT_EQ(Format(u"%s", u"Lost files"), u"Lost files");
  // %S and %C take 8-bit ANSI text.
  EXPECT_EQ(Format(u"%S", "\xE9t\xE9 \x80"), u"\u00E9t\u00E9 \u20AC");
  EXPECT_EQ(Format(u"%C: (%s)", '\xC4', u"DATA"), u"\u00C4: (DATA)");
  EXPECT_EQ(Format(u"%C", '\x80'), u"\u20AC");
  EXPECT_EQ(Format(u"%c%c", u'\u03A9', 'A'), u"\u03A9A");
  // A UTF-16 character given to %C stays that character instead of losing its high byte.
  EXPECT_EQ(Format(u"%C", u'\u03A9'), u"\u03A9");
  EXPECT_EQ(Format(u"%s|%S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
            u"(null)|(null)");
  // A narrow std::string given to %s is still text, read as ANSI.
  EXPECT_EQ(Format(u"%s", std::string("caf\xE9")), u"caf\u00E9");
}

TEST(FormatText, WidthsAndPrecisionOfStrings) {
  EXPECT_EQ(Format(u"[%6s][%-6s][%.2s]", u"ab", u"ab", u"abcdef"), u"[    ab][ab    ][ab]");
  EXPECT_EQ(Format(u"[%3C]", 'x'), u"[  x]");
  // A precision never leaves half of a surrogate pair.
  EXPECT_EQ(Format(u"[%.2s]", u"a\xD83D\xDCF7"), u"[a]");
}

TEST(FormatDamaged, PercentSignsUnknownConversionsAndMissingArguments) {
  EXPECT_EQ(Format(u"100%% done"), u"100% done");
  EXPECT_EQ(Format(u"%%d", 5), u"%d");
  EXPECT_EQ(Format(u"%q %d", 5), u"%q 5");                 // unknown: copied, no argument used
  EXPECT_EQ(Format(u"%d and %s", 5), u"5 and %s");         // argument missing
  EXPECT_EQ(Format(u"%I64d at %I64d", int64_t(1)), u"1 at %I64d");
  EXPECT_EQ(Format(u"end %"), u"end %");
  EXPECT_EQ(Format(u"end %-0"), u"end %-0");
  EXPECT_EQ(Format(u"%I64", 1), u"%I64");
  EXPECT_EQ(Format(u"%I6d|%I64s", 1, u"x"), u"%I6d|%I64s");
  EXPECT_EQ(Format(u"% d", 1), u"% d");
  EXPECT_EQ(Format(u"%s"), u"%s");
}

TEST(FormatDamaged, ArgumentOfTheWrongKindKeepsTheOthersInPlace) {
  // A translator swapped the conversions: the text shows that, and nothing is misread.
  EXPECT_EQ(Format(u"%I64d: %s", u"name", int64_t(7)), u"%I64d: %s");
  EXPECT_EQ(Format(u"%d %s %d", u"x", u"y", 3), u"%d y 3");
}

TEST(FormatDamaged, HugeWidthsAreBounded) {
  const std::u16string out = Format(u"%99999999999999999999999d|%.99999999999999999999s", 7, u"ab");
  EXPECT_LE(out.size(), 1030u);
  EXPECT_EQ(out.substr(out.size() - 4), u"7|ab");
}

TEST(FormatDamaged, AnyFormatTextGivesAResult) {
  const std::u16string alphabet = u"%%%-0#.19I64hlwdiuxXsScCqz \xD800";
  std::mt19937 random(20240611);
  for (int round = 0; round < 20000; ++round) {
    std::u16string format;
    const size_t length = random() % 24;
    for (size_t i = 0; i < length; ++i) format.push_back(alphabet[random() % alphabet.size()]);
    const std::u16string out = Format(format, -1, u"t", "n", u'c', k2Pow40);
    ASSERT_LE(out.size(), format.size() * 1100 + 64) << Utf16ToUtf8(format);
  }
}

#ifdef _WIN32
// The program's own conversions, as the system's wsprintfW writes them.
TEST(FormatIntegers, MatchesWsprintf) {
  wchar_t expected[1025];
  auto check = [&](const char16_t* format, int written, const std::u16string& actual) {
    ASSERT_GT(written, 0) << Utf16ToUtf8(format);
    EXPECT_EQ(actual, std::u16string(U(expected), written)) << Utf16ToUtf8(format);
  };
  const int values[] = {0, 7, -42, 255, INT32_MAX, INT32_MIN};
  const char16_t* intFormats[] = {u"%d", u"%i", u"%u", u"%x", u"%X", u"%5d|", u"%-5d|", u"%05d",
                                  u"%08X", u"%02X", u"%.3d", u"%.0d", u"%6.4d|", u"%#x", u"%#.6x",
                                  u"%-08x|", u"%hd", u"%lx"};
  for (const char16_t* f : intFormats)
    for (int v : values) check(f, wsprintfW(expected, W(f), v), Format(f, v));

  const long long wide[] = {-1, k2Pow40, INT64_MIN, INT64_MAX};
  const char16_t* wideFormats[] = {u"%I64d", u"%I64u", u"%I64x", u"%I64X", u"%020I64d", u"%-20I64x|"};
  for (const char16_t* f : wideFormats)
    for (long long v : wide) check(f, wsprintfW(expected, W(f), v), Format(f, v));

  const char16_t* textFormats[] = {u"%s", u"[%8s]", u"[%-8s]", u"[%.3s]"};
  for (const char16_t* f : textFormats)
    check(f, wsprintfW(expected, W(f), L"Recovery"), Format(f, u"Recovery"));
  check(u"%S|%C", wsprintfW(expected, L"%S|%C", "\xE9t\xE9", 'Z'), Format(u"%S|%C", "\xE9t\xE9", 'Z'));
}
#endif

}  // namespace
