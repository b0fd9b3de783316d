#include <windows.h>

#include <string>

#include "platform/file_times.h"

namespace platform {

bool GetModifiedTime(std::u16string_view path, FileTime* modified) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const std::wstring native(path.begin(), path.end());
  if (!GetFileAttributesExW(native.c_str(), GetFileExInfoStandard, &data)) return false;
  *modified = (static_cast<FileTime>(data.ftLastWriteTime.dwHighDateTime) << 32) |
              data.ftLastWriteTime.dwLowDateTime;
  return true;
}

}  // namespace platform
