// The clock and local time on POSIX systems, through the C library's time zone (TZ).
#include <time.h>

#include <cstdio>
#include <limits>

#include "platform/text.h"
#include "platform/time.h"

namespace platform {
namespace {

bool ToLocalTm(FileTime utc, struct tm* local) {
  const time_t seconds = static_cast<time_t>(FileTimeToUnixTime(utc));
  return localtime_r(&seconds, local) != nullptr;
}

std::u16string Ascii(const char* text) { return Utf8ToUtf16(text); }

}  // namespace

FileTime SystemTimeAsFileTime() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return UnixTimeToFileTime(now.tv_sec, static_cast<uint32_t>(now.tv_nsec));
}

// The offset in force at that instant, so that a date in summer gets summer time.
FileTime UtcToLocal(FileTime utc) {
  struct tm local {};
  if (!ToLocalTm(utc, &local)) return utc;
  const FileTime shift = static_cast<FileTime>(local.tm_gmtoff < 0 ? -local.tm_gmtoff : local.tm_gmtoff) *
                        kFileTimeTicksPerSecond;
  if (local.tm_gmtoff < 0) return utc > shift ? utc - shift : 0;
  return utc < std::numeric_limits<FileTime>::max() - shift ? utc + shift
                                                            : std::numeric_limits<FileTime>::max();
}

std::u16string LocalDateText(FileTime utc) {
  struct tm local {};
  if (!ToLocalTm(utc, &local)) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  return Ascii(text);
}

std::u16string LocalTimeText(FileTime utc) {
  struct tm local {};
  if (!ToLocalTm(utc, &local)) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return Ascii(text);
}

}  // namespace platform
