// Log lines of the volume code; the log may not exist yet (early start, tests).
#pragma once

#include <string_view>

#include "app/log.h"

namespace volume_log {

template <typename... Args>
void Error(std::u16string_view format, const Args&... args) {
  if (g_pLog) g_pLog->LogError(format, args...);
}

inline void Note(std::u16string_view text) {
  if (g_pLog) g_pLog->LogNote(text);
}

}  // namespace volume_log
