// The size question's figures from a store, the size each answer gives, and the custom size as
// the dialog offers it and reads it back.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "recovery/size_question.h"
#include "recovery_test_support.h"

using namespace recovery_testing;

namespace {

class SizeQuestionTest : public RecoveryFixture {};

SizeAnswer Ok(int32_t option, int64_t custom = 0) {
  return SizeAnswer{SizeEnd::Ok, option, SizeScope::ThisFile, custom};
}

}  // namespace

TEST_F(SizeQuestionTest, FiguresComeFromTheStoreInPositionOrder) {
  Add(u"Images", FoundFolder, kImagesGroup, IdLostFiles, 0, 0);
  FoundObject* lost = AddLost(u"image_4096.JPG", 4096, -1);
  AddFile(u"other.bin", 10240, 50);
  AddLost(u"image_65536.JPG", 65536, -1);
  FoundObject* last = AddLost(u"image_90000.JPG", 90000, 1234);
  last->Flags &= ~FoundDeleted;

  const SizeQuestion question = MakeSizeQuestion(volume_, *lost);
  EXPECT_EQ(question.Name, u"image_4096.JPG");
  EXPECT_EQ(question.TypeName, u"JPEG Image");
  EXPECT_EQ(question.Position, 4096);
  EXPECT_EQ(question.CurrentSize, -1);
  EXPECT_TRUE(question.Deleted);
  EXPECT_EQ(question.TypicalBytes, 2048);
  EXPECT_EQ(question.DistanceAny, 10240 - 4096);
  EXPECT_EQ(question.DistanceSame, 65536 - 4096);

  const SizeQuestion atEnd = MakeSizeQuestion(volume_, *last);
  EXPECT_FALSE(atEnd.Deleted);
  EXPECT_EQ(atEnd.CurrentSize, 1234);
  EXPECT_EQ(atEnd.DistanceAny, -1) << "nothing lies after the last object";
  EXPECT_EQ(atEnd.DistanceSame, -1);
}

TEST(SizeForAnswer, EachOptionGivesItsSizeAndMissingDistancesFallBackToTheDefault) {
  SizeQuestion question;
  question.TypicalBytes = 2048;
  question.DistanceAny = 6144;
  question.DistanceSame = 61440;
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeDefault)), 2048);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextAny)), 6144);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextSame)), 61440);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeCustom, 3221225472)), 3221225472);

  question.DistanceAny = -1;
  question.DistanceSame = -1;
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextAny)), 2048);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextSame)), 2048);
}

TEST(SizeForAnswer, GivesNoSizeWhenTheAnswerHasNone) {
  SizeQuestion question;
  question.TypicalBytes = 0;  // a type that is not known
  question.DistanceAny = 512;
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeDefault)), -1);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextSame)), -1);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeNextAny)), 512);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeCustom, 0)), -1);
  EXPECT_EQ(SizeForAnswer(question, Ok(kSizeCustom, -4096)), -1);
  EXPECT_EQ(SizeForAnswer(question, Ok(7)), -1);
  EXPECT_EQ(SizeForAnswer(question, SizeAnswer{SizeEnd::Skip, kSizeNextAny}), -1);
  EXPECT_EQ(SizeForAnswer(question, SizeAnswer{SizeEnd::Cancel, kSizeNextAny}), -1);
}

TEST(CustomSize, IsOfferedInTheLargestUnitTheSizeIsAbove) {
  auto offered = [](int64_t bytes) {
    const CustomSize size = CustomSizeForBytes(bytes);
    return std::to_string(size.Number) + platform::Utf16ToUtf8(UnitText(size.Unit));
  };
  EXPECT_EQ(offered(3000000), "2 MB");
  EXPECT_EQ(offered(1024), "1024 B ");
  EXPECT_EQ(offered(1025), "1 KB");
  EXPECT_EQ(offered(1048576), "1024 KB");
  EXPECT_EQ(offered(5 * 1073741824LL + 7), "5 GB");
  EXPECT_EQ(offered(1), "1 B ");
  EXPECT_EQ(offered(0), "0 B ");
  EXPECT_EQ(offered(-1), "0 B ") << "an unknown size";
}

TEST(CustomSize, ReadsAPositiveWholeNumberInTheUnit) {
  EXPECT_EQ(ParseCustomSize(u"3", CustomSizeUnit::GBytes), 3221225472);
  EXPECT_EQ(ParseCustomSize(u" 12 ", CustomSizeUnit::KBytes), 12288);
  EXPECT_EQ(ParseCustomSize(u"+700", CustomSizeUnit::Bytes), 700);
  EXPECT_EQ(ParseCustomSize(u"2147483647", CustomSizeUnit::GBytes), 2147483647LL * 1073741824LL);
  for (const char16_t* refused : {u"", u"  ", u"0", u"-5", u"abc", u"12x", u"1.5", u"1 000",
                                  u"2147483648", u"99999999999999999999999", u"+", u"--1"})
    EXPECT_FALSE(ParseCustomSize(refused, CustomSizeUnit::MBytes).has_value())
        << platform::Utf16ToUtf8(refused);
}
