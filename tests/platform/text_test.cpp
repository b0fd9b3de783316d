// UTF-8, Windows-1252 and ASCII case handling of the program's UTF-16 text.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace platform;

namespace {

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (unsigned v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(Utf8Text, RoundTripsEveryEncodedLengthAndSurrogatePairs) {
  // 1, 2, 3 and 4-byte forms; the last is U+1F600 as a surrogate pair.
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
  const std::u16string utf16 = u"A\u00E9\u20AC\xD83D\xDE00z";
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  // The highest code point and the last one before the surrogates.
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF\xED\x9F\xBF"), u"\xDBFF\xDFFF\uD7FF");
  EXPECT_EQ(Utf16ToUtf8(u"\xDBFF\xDFFF\uD7FF"), "\xF4\x8F\xBF\xBF\xED\x9F\xBF");
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf8Text, InvalidSequencesBecomeReplacementCharacters) {
  struct Case {
    std::string input;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\x80", u"\uFFFD"},                                  // continuation without a lead
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                        // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},              // overlong in three bytes
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},              // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},    // above U+10FFFF
      {"\xFF\xFE", u"\uFFFD\uFFFD"},
      {"\xE2\x82", u"\uFFFD"},                              // cut off at the end
      {"\xE2\x82" "A", u"\uFFFDA"},                         // the breaking byte is kept
      {"a\xF0\x9F\x98" "b", u"a\uFFFDb"},
      {"\xC3\xA9\xC3", u"\u00E9\uFFFD"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.input), c.expected) << c.input.size();
}

TEST(Utf8Text, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x\xDC00\xD800"), "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
}

TEST(Utf8Text, AnyBytesDecodeToWellFormedText) {
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 12, '\0');
    // Mostly bytes that lead or continue sequences, where decoders go wrong.
    for (char& b : bytes) b = static_cast<char>(random() % 4 == 0 ? random() % 256 : 0x80 + random() % 0x78);
    const std::u16string text = Utf8ToUtf16(bytes);
    ASSERT_LE(text.size(), bytes.size());
    // A lone surrogate in the result would not survive this.
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  }
}

TEST(AnsiText, Windows1252HighBytesBothWays) {
  const std::string bytes = Bytes({0x80, 0x82, 0x83, 0x8A, 0x8C, 0x99, 0x9C, 0x9F, 0xA0, 0xE9, 0xFF});
  const std::u16string text = u"\u20AC\u201A\u0192\u0160\u0152\u2122\u0153\u0178\u00A0\u00E9\u00FF";
  EXPECT_EQ(AnsiToUtf16(bytes), text);
  EXPECT_EQ(Utf16ToAnsi(text), bytes);

  // The five bytes the code page leaves undefined stand for the C1 control of the same number.
  const std::string undefined = Bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D});
  EXPECT_EQ(AnsiToUtf16(undefined), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(Utf16ToAnsi(u"\u0081\u008D\u008F\u0090\u009D"), undefined);

  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
}

TEST(AnsiText, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
  // U+0080 is not the euro sign's byte: only U+20AC maps to 0x80.
  EXPECT_EQ(Utf16ToAnsi(u"\u0080\u03A9a\xD83D\xDE00" u"b\xD800"), "??a?b?");
}

TEST(OemText, DosCodePagesDecodeTheirHighBytes) {
  EXPECT_EQ(platform::OemBytesToUtf16(437, "CAF\x90 \x9B\xE5\xFF"), u"CAF\u00C9 \u00A2\u03C3\u00A0");
  EXPECT_EQ(platform::OemBytesToUtf16(850, "CAF\x90 \x9B\xE5\xFF"), u"CAF\u00C9 \u00F8\u00D5\u00A0");
  // This system's page is one of them for the bytes both share.
  EXPECT_EQ(platform::OemToUtf16("A\x90\x81"), u"A\u00C9\u00FC");
}

#ifdef _WIN32
TEST(OemText, MatchesTheSystemCodePages437And850) {
  for (const uint32_t page : {437u, 850u}) {
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      wchar_t expected = 0;
      ASSERT_EQ(MultiByteToWideChar(page, 0, &byte, 1, &expected, 1), 1);
      EXPECT_EQ(platform::OemBytesToUtf16(page, std::string(1, byte)),
                std::u16string(1, char16_t(expected)))
          << page << " " << b;
    }
  }
}

TEST(AnsiText, MatchesTheSystemCodePage1252) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t expected = 0;
    ASSERT_EQ(MultiByteToWideChar(1252, 0, &byte, 1, &expected, 1), 1);
    EXPECT_EQ(AnsiToUtf16(std::string(1, byte)), std::u16string(1, char16_t(expected))) << b;
  }
}
#endif

TEST(AsciiCase, FoldsAndComparesOnlyAsciiLettersLikeWcsicmp) {
  EXPECT_EQ(AsciiUpper(u"Stra\u00DFe \u00E9 [z]"), u"STRA\u00DFE \u00E9 [Z]");
  EXPECT_EQ(AsciiLower(u"FAT32 \u00C9@"), u"fat32 \u00C9@");
  EXPECT_TRUE(EqualsNoCase(u"Lost Files", u"LOST files"));
  EXPECT_FALSE(EqualsNoCase(u"\u00E9", u"\u00C9"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"abcd"));
  EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareNoCase(u"b", u"A"), 0);
  EXPECT_LT(CompareNoCase(u"ab", u"ABC"), 0);
  // '_' lies between the upper and the lower letters: folding to lower case puts it first.
  EXPECT_LT(CompareNoCase(u"_", u"A"), 0);
}

TEST(TrimText, RemovesTheBlankAtBothEndsOnly) {
  EXPECT_EQ(Trim(u"  NO NAME    "), u"NO NAME");
  EXPECT_EQ(Trim(u"    "), u"");
  EXPECT_EQ(Trim(u"\tx\t ", u'\t'), u"x\t ");
}

}  // namespace
