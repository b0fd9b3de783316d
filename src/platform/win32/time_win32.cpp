// The clock and local time on Windows: the current time zone and the user's date and time formats.
#include <windows.h>

#include "platform/text.h"
#include "platform/time.h"

namespace platform {
namespace {

// GetDateFormatW and GetTimeFormatW write into buffers of this many characters.
constexpr int kFormattedLength = 100;

FILETIME ToFiletime(FileTime value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

FileTime FromFiletime(const FILETIME& ft) {
  return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

bool ToLocalSystemTime(FileTime utc, SYSTEMTIME* local) {
  const FILETIME ft = ToFiletime(utc);
  SYSTEMTIME universal;
  return FileTimeToSystemTime(&ft, &universal) &&
         SystemTimeToTzSpecificLocalTime(nullptr, &universal, local);
}

std::u16string Formatted(const wchar_t* text, int written) {
  // The count includes the terminating null; 0 means failure.
  if (written <= 0) return {};
  return std::u16string(U(text), static_cast<size_t>(written - 1));
}

}  // namespace

FileTime SystemTimeAsFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FromFiletime(now);
}

FileTime UtcToLocal(FileTime utc) {
  SYSTEMTIME local;
  FILETIME converted;
  if (!ToLocalSystemTime(utc, &local) || !SystemTimeToFileTime(&local, &converted)) return utc;
  // SYSTEMTIME stops at milliseconds; keep the finer part of the original.
  return FromFiletime(converted) + utc % 10'000;
}

std::u16string LocalDateText(FileTime utc) {
  SYSTEMTIME local;
  if (!ToLocalSystemTime(utc, &local)) return {};
  wchar_t text[kFormattedLength];
  return Formatted(text, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr,
                                        text, kFormattedLength));
}

std::u16string LocalTimeText(FileTime utc) {
  SYSTEMTIME local;
  if (!ToLocalSystemTime(utc, &local)) return {};
  wchar_t text[kFormattedLength];
  return Formatted(text, GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, text,
                                        kFormattedLength));
}

}  // namespace platform
