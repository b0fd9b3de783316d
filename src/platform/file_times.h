// The times a file or folder carries, as FILETIME values: what a recovered file was given.
#pragma once

#include <string_view>

#include "platform/time.h"

namespace platform {

// The last-modified time; false when the path cannot be examined.
bool GetModifiedTime(std::u16string_view path, FileTime* modified);

}  // namespace platform
