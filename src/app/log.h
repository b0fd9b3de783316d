// The log: the program's one record of what it did. Lines are kept for the whole run, each new
// one is posted to the log window, and the whole log can be saved to a text file and shown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/strings.h"
#include "platform/text.h"
#include "platform/time.h"

class IMessageTarget;
struct SettingsRecord;

enum LogLevel : int32_t {
  LogLevelDebug = 1,
  LogLevelError = 2,
  LogLevelInfo = 4,
  LogLevelCritical = 8,
  LogLevelNote = 10,
};

class CLog {
 public:
  CLog();
  ~CLog();

  // Level 2, wsprintf-style.
  template <typename... Args>
  void LogError(std::u16string_view format, const Args&... args) {
    Add(LogLevelError, platform::Format(format, args...));
  }
  // Level 4, the built-in string with that number used as the format.
  template <typename... Args>
  void LogString(uint32_t number, const Args&... args) {
    Add(LogLevelInfo, platform::Format(StringResource(number), args...));
  }
  void LogInfo(std::u16string_view text) { Add(LogLevelInfo, text); }
  void LogNote(std::u16string_view text) { Add(LogLevelNote, text); }
  void Add(int32_t level, std::u16string_view message);

  // Writes every line to "Recovery log file.txt" in the temporary folder and opens it.
  void SaveAndShow();
  // Writes every line, UTF-16LE with CR LF and no byte-order mark, over the file at path.
  // Logs why and returns false when it cannot.
  bool SaveToFile(std::u16string_view path);
  // How SaveAndShow opens the saved file: by default the shell's "open", maximised.
  void SetViewer(std::function<bool(const std::u16string& path)> viewer);

  // Applies the logging options of the settings (LogToFile, LogFileName, MaxLogSizeKB,
  // ClearLogOnStartup, LogToDebugger) to the lines added from now on. Call at startup and
  // whenever the options change.
  void ConfigureLogFile(const SettingsRecord& settings);
  // The file that lines are written to, empty when none.
  std::u16string LogFilePath() const;
  // Sends the status text message (32874) to the main window; returns 1.
  int NotifyStatus(uintptr_t wParam, intptr_t lParam);

  // Lines with the local date and time while set (1 at construction; the wizard clears it).
  void SetTimestamps(bool on);
  bool Timestamps() const;

  // A copy of the lines so far, for views and tests.
  std::vector<std::u16string> Lines() const;
  size_t LineCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

extern CLog* g_pLog;
