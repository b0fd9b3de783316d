// FILETIME arithmetic that needs no operating system: DOS dates and Unix times.
#include "platform/time.h"

#include <limits>

namespace platform {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochSeconds = 11'644'473'600;
constexpr int64_t kSecondsPerDay = 86'400;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar (year >= 1601).
int64_t DaysSince1601(int year, int month, int day) {
  const int64_t y = year - 1601;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

// The bit layout and the handling of damaged values are described in docs/formats/dos-date-time.md.
bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime* result) {
  if (!result) return false;
  const int year = 1980 + (dosDate >> 9);
  const int month = (dosDate >> 5) & 0x0F;
  const int day = dosDate & 0x1F;
  const int hour = dosTime >> 11;
  const int minute = (dosTime >> 5) & 0x3F;
  const int second = (dosTime & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  const int64_t seconds =
      DaysSince1601(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  *result = static_cast<FileTime>(seconds) * kFileTimeTicksPerSecond;
  return true;
}

// Times before 1601 become 0 and times past the last FILETIME become the largest one, rather
// than wrapping round to a date that looks valid.
FileTime UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds) {
  constexpr FileTime kMax = std::numeric_limits<FileTime>::max();
  constexpr int64_t kLastSecond = static_cast<int64_t>(kMax / kFileTimeTicksPerSecond) - kUnixEpochSeconds;
  if (seconds > kLastSecond) return kMax;
  seconds += nanoseconds / 1'000'000'000;
  const FileTime ticks = (nanoseconds % 1'000'000'000) / 100;
  if (seconds < -kUnixEpochSeconds) return 0;
  const auto since1601 = static_cast<uint64_t>(seconds) + static_cast<uint64_t>(kUnixEpochSeconds);
  if (since1601 > (kMax - ticks) / kFileTimeTicksPerSecond) return kMax;
  return since1601 * kFileTimeTicksPerSecond + ticks;
}

int64_t FileTimeToUnixTime(FileTime fileTime) {
  return static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) - kUnixEpochSeconds;
}

std::u16string LocalDateTimeText(FileTime utc) {
  return LocalDateText(utc) + u" " + LocalTimeText(utc);
}

}  // namespace platform
