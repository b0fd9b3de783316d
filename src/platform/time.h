// Times as Windows FILETIME values: 100 ns units since 1601-01-01 00:00 UTC.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using FileTime = uint64_t;

constexpr FileTime kFileTimeTicksPerSecond = 10'000'000;
constexpr FileTime kFileTimeTicksPerDay = 864'000'000'000;

FileTime SystemTimeAsFileTime();

// A FAT directory entry's date and time (as DosDateTimeToFileTime: no time-zone conversion).
// False for a date or time whose fields are out of range (month 0, day 0, hour 24, ...).
bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime* result);

// Local time zone conversion of a UTC FILETIME (SystemTimeToTzSpecificLocalTime on Windows).
FileTime UtcToLocal(FileTime utc);

// The user's short date and default time of a UTC FILETIME, converted to local time.
// Windows takes them from GetDateFormatW/GetTimeFormatW; POSIX uses the fixed forms
// "YYYY-MM-DD" and "HH:MM:SS".
std::u16string LocalDateText(FileTime utc);
std::u16string LocalTimeText(FileTime utc);
// Both, joined by one blank: the log's time text.
std::u16string LocalDateTimeText(FileTime utc);

// Unix time (seconds since 1970) and FILETIME.
FileTime UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds = 0);
int64_t FileTimeToUnixTime(FileTime fileTime);

}  // namespace platform
