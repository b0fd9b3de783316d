// The recovery's log lines: the built-in strings by number, and a few lines of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/log.h"
#include "app/strings.h"

namespace recovery_log {

template <typename... Args>
void Line(int32_t level, uint32_t number, const Args&... args) {
  if (g_pLog) g_pLog->Add(level, platform::Format(LanguageString(number), args...));
}

template <typename... Args>
void Text(int32_t level, std::u16string_view format, const Args&... args) {
  if (g_pLog) g_pLog->Add(level, platform::Format(format, args...));
}

}  // namespace recovery_log

// Language strings of the recovery.
constexpr uint32_t kTextListEmpty = 183;
constexpr uint32_t kTextRecoveryStarted = 184;
constexpr uint32_t kTextCreatingList = 185;
constexpr uint32_t kTextCreateFileFailed = 196;
constexpr uint32_t kTextReadError = 197;
constexpr uint32_t kTextWriteError = 198;
constexpr uint32_t kTextDeleteTemporary = 200;
constexpr uint32_t kTextRecovering = 201;
constexpr uint32_t kTextSkipped = 202;
constexpr uint32_t kTextCancelled = 203;
constexpr uint32_t kTextOpened = 205;
constexpr uint32_t kTextFolderFailed = 210;
constexpr uint32_t kTextWriteSystemError = 211;
constexpr uint32_t kTextExists = 212;
constexpr uint32_t kTextAborted = 213;
constexpr uint32_t kTextCompleted = 214;
constexpr uint32_t kTextZeroSize = 215;
