// Threads, events, the administrator check, the shell and the debugger output.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

// A Win32-style event over the standard library: manual or auto reset.
class Event {
 public:
  enum class Reset { Manual, Auto };
  explicit Event(Reset reset = Reset::Auto, bool initiallySet = false);
  void Set();
  void Clear();
  // True when the event was set within timeoutMs (kInfinite waits without limit).
  bool Wait(uint32_t timeoutMs);
  static constexpr uint32_t kInfinite = 0xFFFFFFFF;

 private:
  std::mutex mutex_;
  std::condition_variable signal_;
  bool set_;
  Reset reset_;
};

enum class ThreadPriority { Lowest, BelowNormal, Normal, AboveNormal };
// Applies to the calling thread; ignored where the system refuses.
void SetCurrentThreadPriority(ThreadPriority priority);

// Windows: the token's groups hold BUILTIN\Administrators (S-1-5-32-544). POSIX: euid 0.
bool IsUserAdmin();

// Opens a document or a folder with the desktop's handler ("open" or "explore").
// Windows: ShellExecuteW. POSIX: xdg-open when present. False when nothing could run it;
// the caller logs that.
bool ShellOpen(std::u16string_view path, std::u16string_view verb, bool maximised = false);

// OutputDebugStringW on Windows; nothing on POSIX.
void DebugOutput(std::u16string_view text);

// A variable of the process environment, empty when unset.
std::u16string GetEnvironment(std::u16string_view name);

}  // namespace platform
