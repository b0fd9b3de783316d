#include <sys/stat.h>

#include "platform/file_times.h"
#include "platform/text.h"

namespace platform {

bool GetModifiedTime(std::u16string_view path, FileTime* modified) {
  struct stat info {};
  if (::stat(Utf16ToUtf8(path).c_str(), &info) != 0) return false;
  *modified = UnixTimeToFileTime(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
  return true;
}

}  // namespace platform
