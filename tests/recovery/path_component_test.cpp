// Names from a drive as path components: what a hostile or damaged volume may hold becomes a
// name that both systems accept, inside its folder, the same on both.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "recovery/path_component.h"

TEST(PathComponent, SeparatorsReservedAndControlCharactersAreReplaced) {
  EXPECT_EQ(SanitisePathComponent(u"a:b"), u"a_b");
  EXPECT_EQ(SanitisePathComponent(u"x?.txt"), u"x_.txt");
  EXPECT_EQ(SanitisePathComponent(u"back\\slash"), u"back_slash");
  EXPECT_EQ(SanitisePathComponent(u"../../x"), u".._.._x");
  EXPECT_EQ(SanitisePathComponent(u"<>\"|*"), u"_____");
  EXPECT_EQ(SanitisePathComponent(std::u16string(u"tab\there\x7F", 9)), u"tab_here_");
  EXPECT_EQ(SanitisePathComponent(std::u16string(u"a\0b", 3)), u"a_b");
  // An unpaired surrogate has no UTF-8 form; a pair is kept.
  EXPECT_EQ(SanitisePathComponent(u"x\xD800y"), u"x_y");
  EXPECT_EQ(SanitisePathComponent(u"\xD83D\xDE00.txt"), u"\xD83D\xDE00.txt");
}

TEST(PathComponent, DotsBlanksAndEmptyNamesCannotNameAnotherFolder) {
  EXPECT_EQ(SanitisePathComponent(u"."), u"_");
  EXPECT_EQ(SanitisePathComponent(u".."), u"__");
  EXPECT_EQ(SanitisePathComponent(u"..."), u"___");
  EXPECT_EQ(SanitisePathComponent(u"trail."), u"trail");
  EXPECT_EQ(SanitisePathComponent(u"blank . "), u"blank");
  EXPECT_EQ(SanitisePathComponent(u""), u"unnamed");
  EXPECT_EQ(SanitisePathComponent(u" "), u"unnamed");
  EXPECT_EQ(SanitisePathComponent(u".hidden"), u".hidden");
}

TEST(PathComponent, DeviceNamesAreRenamedWithOrWithoutExtension) {
  for (std::u16string_view name :
       {u"con", u"CON", u"aux.txt", u"Nul.tar.gz", u"com1", u"LPT9.log", u"prn ", u"con .txt"}) {
    const std::u16string safe = SanitisePathComponent(name);
    EXPECT_EQ(safe.front(), u'_') << platform::Utf16ToUtf8(name);
  }
  EXPECT_EQ(SanitisePathComponent(u"aux.txt"), u"_aux.txt");
  for (std::u16string_view name : {u"com0", u"com10", u"console", u"lpt", u"nul_x"})
    EXPECT_EQ(SanitisePathComponent(name), name);
}

TEST(PathComponent, LongNamesAreCutToBothLimitsKeepingTheExtension) {
  const std::u16string ascii = std::u16string(300, u'a') + u".jpeg";
  const std::u16string cut = SanitisePathComponent(ascii);
  EXPECT_EQ(cut.size(), kMaxComponentUnits);
  EXPECT_TRUE(cut.ends_with(u"a.jpeg"));
  // Three UTF-8 bytes a character: the byte limit comes first.
  const std::u16string wide = std::u16string(200, u'\x65E5') + u".txt";
  const std::u16string wideCut = SanitisePathComponent(wide);
  EXPECT_LE(platform::Utf16ToUtf8(wideCut).size(), kMaxComponentBytes);
  EXPECT_TRUE(wideCut.ends_with(u"\x65E5.txt"));
  // A pair is never split at the cut.
  std::u16string pairs;
  for (int i = 0; i < 100; ++i) pairs += u"\xD83D\xDE00";
  const std::u16string pairCut = SanitisePathComponent(pairs);
  EXPECT_EQ(platform::Utf8ToUtf16(platform::Utf16ToUtf8(pairCut)), pairCut);
  EXPECT_LE(platform::Utf16ToUtf8(pairCut).size(), kMaxComponentBytes);
  EXPECT_EQ(SanitisePathComponent(cut), cut) << "a safe name stays as it is";
}

TEST(PathComponent, NumberedNamesKeepTheExtensionAndTheLimits) {
  EXPECT_EQ(NumberedName(u"photo.jpg", 1), u"photo (1).jpg");
  EXPECT_EQ(NumberedName(u"README", 12), u"README (12)");
  EXPECT_EQ(NumberedName(u".profile", 2), u".profile (2)");
  const std::u16string longName = SanitisePathComponent(std::u16string(300, u'b') + u".txt");
  const std::u16string numbered = NumberedName(longName, 3);
  EXPECT_EQ(numbered.size(), kMaxComponentUnits);
  EXPECT_TRUE(numbered.ends_with(u"b (3).txt"));
  EXPECT_EQ(FoldedName(u"Photo.JPG"), FoldedName(u"photo.jpg"));
  EXPECT_EQ(FoldedName(u"\x00C9T\x00C9.txt"), FoldedName(u"\x00E9t\x00E9.TXT"));
  EXPECT_EQ(FoldedName(u"\x041F\x0420\x0418"), FoldedName(u"\x043F\x0440\x0438"));
  EXPECT_NE(FoldedName(u"a\x00D7b"), FoldedName(u"a\x00F7b"));
}
