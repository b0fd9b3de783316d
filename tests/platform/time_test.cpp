// FILETIME values from DOS dates and Unix times, and the local time texts of the log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "platform/time.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Windows declares DosDateTimeToFileTime too: the program's own is always called qualified.
using namespace platform;

namespace {

constexpr uint16_t DosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t DosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

FileTime FromDos(uint16_t date, uint16_t time) {
  FileTime result = 0;
  EXPECT_TRUE(platform::DosDateTimeToFileTime(date, time, &result)) << date << " " << time;
  return result;
}

constexpr FileTime kFirstDosTime = 119'600'064'000'000'000;  // 1980-01-01 00:00:00
constexpr FileTime kLastDosTime = 159'992'927'980'000'000;   // 2107-12-31 23:59:58
constexpr FileTime kUnixEpoch = 116'444'736'000'000'000;     // 1970-01-01 00:00:00

TEST(DosDateTime, FirstLastAndLeapDay) {
  EXPECT_EQ(FromDos(DosDate(1980, 1, 1), DosTime(0, 0, 0)), kFirstDosTime);
  EXPECT_EQ(FromDos(0xFF9F, 0xBF7D), kLastDosTime);
  EXPECT_EQ(FromDos(DosDate(2107, 12, 31), DosTime(23, 59, 58)), kLastDosTime);
  EXPECT_EQ(FromDos(DosDate(2000, 2, 29), DosTime(12, 34, 56)), 125'963'012'960'000'000u);
}

TEST(DosDateTime, NeighbouringDaysAreOneDayApart) {
  const int pairs[][6] = {{1980, 12, 31, 1981, 1, 1}, {1999, 12, 31, 2000, 1, 1},
                          {2000, 2, 28, 2000, 2, 29}, {2000, 2, 29, 2000, 3, 1},
                          {2001, 2, 28, 2001, 3, 1},  {2024, 4, 30, 2024, 5, 1},
                          {2100, 2, 28, 2100, 3, 1}};
  for (const auto& p : pairs) {
    const FileTime day = FromDos(DosDate(p[0], p[1], p[2]), 0);
    const FileTime next = FromDos(DosDate(p[3], p[4], p[5]), 0);
    EXPECT_EQ(next - day, kFileTimeTicksPerDay) << p[0] << "-" << p[1] << "-" << p[2];
  }
}

TEST(DosDateTime, FieldsOutOfRangeAreRefusedAndLeaveTheResultAlone) {
  const uint16_t valid = DosDate(2010, 6, 15);
  const uint16_t badDates[] = {0, DosDate(2010, 0, 1), DosDate(2010, 13, 1), DosDate(2010, 15, 1),
                               DosDate(2010, 6, 0), DosDate(2010, 4, 31), DosDate(2001, 2, 29),
                               DosDate(2000, 2, 30), DosDate(2100, 2, 29)};
  for (uint16_t date : badDates) {
    FileTime result = 12345;
    EXPECT_FALSE(platform::DosDateTimeToFileTime(date, 0, &result)) << date;
    EXPECT_EQ(result, 12345u);
  }
  const uint16_t badTimes[] = {DosTime(24, 0, 0), DosTime(31, 0, 0), DosTime(12, 60, 0),
                               DosTime(12, 63, 0), static_cast<uint16_t>(DosTime(12, 0, 0) | 30),
                               static_cast<uint16_t>(DosTime(12, 0, 0) | 31)};
  for (uint16_t time : badTimes) {
    FileTime result = 12345;
    EXPECT_FALSE(platform::DosDateTimeToFileTime(valid, time, &result)) << time;
    EXPECT_EQ(result, 12345u);
  }
  EXPECT_FALSE(platform::DosDateTimeToFileTime(valid, 0, nullptr));
}

#ifdef _WIN32
// Every date and every time against the system's own conversion. Wine takes 29 February of
// any year; the program refuses it where the year has no such day.
bool IsFebruary29OfCommonYear(uint16_t date) {
  const int year = 1980 + (date >> 9);
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return ((date >> 5) & 0x0F) == 2 && (date & 0x1F) == 29 && !leap;
}

TEST(DosDateTime, MatchesTheSystemForEveryValue) {
  auto check = [](uint16_t date, uint16_t time) {
    if (IsFebruary29OfCommonYear(date)) return;
    FILETIME expected{};
    FileTime actual = 0;
    const bool ok = ::DosDateTimeToFileTime(date, time, &expected) != FALSE;
    ASSERT_EQ(platform::DosDateTimeToFileTime(date, time, &actual), ok) << date << " " << time;
    if (ok) {
      ASSERT_EQ(actual, (FileTime(expected.dwHighDateTime) << 32) | expected.dwLowDateTime);
    }
  };
  for (unsigned date = 0; date <= 0xFFFF; ++date) {
    check(static_cast<uint16_t>(date), 0);
    check(static_cast<uint16_t>(date), 0xBF7D);
  }
  for (unsigned time = 0; time <= 0xFFFF; ++time) check(DosDate(2012, 2, 29), static_cast<uint16_t>(time));
}
#endif

TEST(UnixTime, ConvertsBothWaysAndClampsWhatFileTimeCannotHold) {
  EXPECT_EQ(UnixTimeToFileTime(0), kUnixEpoch);
  EXPECT_EQ(FileTimeToUnixTime(kUnixEpoch), 0);
  EXPECT_EQ(UnixTimeToFileTime(1'700'000'000, 123'456'789), 133'444'736'001'234'567u);
  EXPECT_EQ(FileTimeToUnixTime(133'444'736'001'234'567u), 1'700'000'000);
  EXPECT_EQ(UnixTimeToFileTime(-1, 2'500'000'000u), kUnixEpoch + 15'000'000);  // 1.5 s after
  EXPECT_EQ(FileTimeToUnixTime(0), -11'644'473'600);
  EXPECT_EQ(UnixTimeToFileTime(-11'644'473'601), 0u);
  EXPECT_EQ(UnixTimeToFileTime(INT64_MIN), 0u);
  EXPECT_EQ(UnixTimeToFileTime(INT64_MAX), std::numeric_limits<FileTime>::max());
  EXPECT_EQ(UnixTimeToFileTime(1'833'029'933'770, 999'999'999), std::numeric_limits<FileTime>::max());
  const FileTime last = std::numeric_limits<FileTime>::max();
  EXPECT_EQ(UnixTimeToFileTime(FileTimeToUnixTime(last)), last - last % kFileTimeTicksPerSecond);
}

TEST(LocalTime, ClockAndOffsetAreSane) {
  const FileTime now = SystemTimeAsFileTime();
  EXPECT_GT(now, UnixTimeToFileTime(1'600'000'000));  // after September 2020
  EXPECT_LT(now, kLastDosTime);
  const int64_t offset = static_cast<int64_t>(UtcToLocal(now) - now);
  EXPECT_LE(offset < 0 ? -offset : offset, int64_t(14) * 3600 * 10'000'000);
  EXPECT_EQ(offset % (int64_t(15) * 60 * 10'000'000), 0);
  EXPECT_EQ(LocalDateTimeText(now), LocalDateText(now) + u" " + LocalTimeText(now));
}

#ifdef _WIN32
TEST(LocalTime, UsesTheUsersFormatsForTheLocalDate) {
  const FileTime utc = FromDos(DosDate(2031, 7, 19), DosTime(13, 47, 0));
  // The minute moves with zones whose offset is not whole hours.
  const int64_t localMinute = (FileTimeToUnixTime(UtcToLocal(utc)) / 60) % 60;
  const char16_t minute[] = {char16_t(u'0' + localMinute / 10), char16_t(u'0' + localMinute % 10), 0};
  EXPECT_NE(LocalDateText(utc).find(u"31"), std::u16string::npos);
  EXPECT_NE(LocalTimeText(utc).find(minute), std::u16string::npos);
  EXPECT_EQ(LocalDateText(std::numeric_limits<FileTime>::max()), u"");
}
#else
// The POSIX forms, under time zones set for the test; the caller's zone comes back afterwards.
class LocalTimeZone : public testing::Test {
 protected:
  void TearDown() override {
    saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  static void Use(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> saved_ =
      std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

TEST_F(LocalTimeZone, FixedFormsInUniversalTime) {
  Use("UTC0");
  EXPECT_EQ(LocalDateTimeText(kLastDosTime), u"2107-12-31 23:59:58");
  EXPECT_EQ(LocalDateTimeText(kFirstDosTime + 5 * kFileTimeTicksPerSecond + 9'999'999),
            u"1980-01-01 00:00:05");
  EXPECT_EQ(LocalDateText(0), u"1601-01-01");
  EXPECT_EQ(UtcToLocal(kFirstDosTime), kFirstDosTime);
}

TEST_F(LocalTimeZone, OffsetOfTheInstantIncludingSummerTime) {
  Use("IST-5:30");
  EXPECT_EQ(UtcToLocal(kLastDosTime), kLastDosTime + 19'800 * kFileTimeTicksPerSecond);
  EXPECT_EQ(LocalDateTimeText(kLastDosTime), u"2108-01-01 05:29:58");

  Use("CET-1CEST,M3.5.0,M10.5.0/3");
  const FileTime winter = FromDos(DosDate(2021, 1, 15), DosTime(12, 0, 0));
  const FileTime summer = FromDos(DosDate(2021, 7, 15), DosTime(12, 0, 0));
  EXPECT_EQ(UtcToLocal(winter) - winter, 3600 * kFileTimeTicksPerSecond);
  EXPECT_EQ(UtcToLocal(summer) - summer, 7200 * kFileTimeTicksPerSecond);
  EXPECT_EQ(LocalTimeText(summer), u"14:00:00");

  Use("HST10");
  EXPECT_EQ(UtcToLocal(0), 0u);  // nothing before 1601
  EXPECT_EQ(LocalDateTimeText(kFirstDosTime), u"1979-12-31 14:00:00");
}
#endif

}  // namespace
