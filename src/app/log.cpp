#include "app/log.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <set>

#include "app/app.h"
#include "app/log_file.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "platform/file.h"
#include "platform/path_rules.h"
#include "platform/system.h"

static_assert(std::endian::native == std::endian::little, "lines are written as UTF-16LE from memory");

CLog* g_pLog = nullptr;

namespace {

constexpr char16_t kSavedLogName[] = u"Recovery log file.txt";
constexpr uint32_t kCantCreateTemporaryFile = 186;
constexpr int32_t kMinLogSizeKB = 1;
constexpr int32_t kMaxLogSizeKB = 102400;
constexpr size_t kSaveChunkChars = 256 * 1024;

// The level word of a line; only the exact level values have one.
std::u16string_view LevelWord(int32_t level) {
  switch (level) {
    case LogLevelDebug: return u"DBG: ";
    case LogLevelError: return u"ERR: ";
    case LogLevelCritical: return u"CRITICALERR: ";
    default: return u"";
  }
}

std::u16string FormatLine(int32_t level, std::u16string_view timeText, std::u16string_view message) {
  std::u16string line;
  if (!timeText.empty()) {
    line += timeText;
    line += u" - ";
  }
  line += LevelWord(level);
  line += message;
  return line;
}

// A bare file name goes into the temporary folder of the settings (the system's when unset).
std::u16string ResolveLogFilePath(const SettingsRecord& settings) {
  std::u16string name = ReadSettingsText(settings, kLogFileNameField);
  if (name.empty()) name = u"Lumenard.log";
  if (platform::IsAbsolutePath(name)) return name;
  std::u16string folder = ReadSettingsText(settings, kTemporaryFolderField);
  if (folder.empty()) folder = platform::TempFolder();
  return platform::JoinPath(folder, name);
}

uint64_t LogFileLimitBytes(const SettingsRecord& settings) {
  const int32_t kb = std::clamp(settings.MaxLogSizeKB, kMinLogSizeKB, kMaxLogSizeKB);
  return static_cast<uint64_t>(kb) * 1024;
}

bool OpenWithShell(const std::u16string& path) { return platform::ShellOpen(path, u"open", true); }

}  // namespace

struct CLog::Impl {
  mutable std::mutex mutex;
  // A deque never moves its elements, so the characters of a posted line stay where they are.
  std::deque<std::u16string> lines;
  platform::FileTime lastTime = 0;
  bool timestamps = true;
  // The date and time text of the last line's second: the system's date and time formatting
  // costs more than the rest of a line, and a busy analysis writes thousands a second.
  platform::FileTime textSecond = 0;
  std::u16string timeText;

  bool toDebugger = false;
  CLogFile file;
  std::set<std::u16string> openedThisRun;

  std::function<bool(const std::u16string&)> viewer = OpenWithShell;

  // Steps of one line, all under the lock so that lines keep their order everywhere.
  void AddLocked(int32_t level, std::u16string_view message) {
    if (timestamps) {
      lastTime = platform::SystemTimeAsFileTime();
      const platform::FileTime second = lastTime / platform::kFileTimeTicksPerSecond;
      if (second != textSecond || timeText.empty()) {
        textSecond = second;
        timeText = platform::LocalDateTimeText(lastTime);
      }
    }
    const std::u16string& line =
        lines.emplace_back(FormatLine(level, timestamps ? timeText : std::u16string(), message));
    if (g_pApp && g_pApp->LogWindow())
      g_pApp->LogWindow()->Post(UM_LOG_LINE, reinterpret_cast<uintptr_t>(line.c_str()), 0);
    Mirror(line);
  }

  void Mirror(const std::u16string& line) {
    if (toDebugger) platform::DebugOutput(line + u"\r\n");
    if (!file.IsOpen() || file.Append(line)) return;
    // Writing stops so that a full or lost disk does not cost a failed write per line.
    const std::u16string path = file.Path();
    const uint32_t error = platform::LastError();
    file.Close();
    AddLocked(LogLevelError, platform::Format(u"Can't write log file %s: %s; writing to it stopped", path,
                                              platform::SystemErrorMessage(error)));
  }

  std::vector<const std::u16string*> Snapshot() const {
    std::lock_guard lock(mutex);
    std::vector<const std::u16string*> result;
    result.reserve(lines.size());
    for (const std::u16string& line : lines) result.push_back(&line);
    return result;
  }
};

CLog::CLog() : impl_(std::make_unique<Impl>()) {}
CLog::~CLog() = default;

void CLog::Add(int32_t level, std::u16string_view message) {
  try {
    std::lock_guard lock(impl_->mutex);
    impl_->AddLocked(level, message);
  } catch (...) {
    // A line that cannot be stored (out of memory) is dropped; the log must never stop its caller.
  }
}

bool CLog::SaveToFile(std::u16string_view path) {
  platform::File file;
  if (!file.OpenWrite(path, platform::CreateMode::CreateAlways)) {
    LogError(LanguageString(kCantCreateTemporaryFile));
    return false;
  }
  // Lines never move or change, so they can be written without holding the lock.
  std::u16string chunk;
  bool written = true;
  auto flush = [&] {
    written = written && file.Write(chunk.data(), static_cast<uint32_t>(chunk.size() * sizeof(char16_t)));
    chunk.clear();
  };
  for (const std::u16string* line : impl_->Snapshot()) {
    chunk += *line;
    chunk += u"\r\n";
    if (chunk.size() >= kSaveChunkChars) flush();
  }
  if (!chunk.empty()) flush();
  if (!written) {
    const uint32_t error = platform::LastError();
    LogError(u"Can't write log to %s: %s", std::u16string(path), platform::SystemErrorMessage(error));
  }
  return written;
}

void CLog::SaveAndShow() {
  const std::u16string path = platform::JoinPath(platform::TempFolder(), kSavedLogName);
  if (!SaveToFile(path)) return;
  std::function<bool(const std::u16string&)> viewer;
  {
    std::lock_guard lock(impl_->mutex);
    viewer = impl_->viewer;
  }
  if (viewer && !viewer(path)) LogError(u"Can't open %s", path);
}

void CLog::SetViewer(std::function<bool(const std::u16string& path)> viewer) {
  std::lock_guard lock(impl_->mutex);
  impl_->viewer = std::move(viewer);
}

void CLog::ConfigureLogFile(const SettingsRecord& settings) {
  std::u16string failedPath;
  uint32_t error = 0;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->toDebugger = settings.LogToDebugger != 0;
    if (!settings.LogToFile) {
      impl_->file.Close();
      return;
    }
    const std::u16string path = ResolveLogFilePath(settings);
    // "Clear on startup" clears a file once per run, not each time the options are applied.
    const bool firstOpen = impl_->openedThisRun.insert(path).second;
    const auto start = firstOpen && settings.ClearLogOnStartup ? CLogFile::Start::Clear : CLogFile::Start::Append;
    if (!impl_->file.Open(path, start, LogFileLimitBytes(settings))) {
      error = platform::LastError();
      failedPath = path;
    }
  }
  if (!failedPath.empty())
    LogError(u"Can't open log file %s: %s", failedPath, platform::SystemErrorMessage(error));
}

std::u16string CLog::LogFilePath() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->file.IsOpen() ? impl_->file.Path() : std::u16string();
}

int CLog::NotifyStatus(uintptr_t wParam, intptr_t lParam) {
  if (g_pApp && g_pApp->MainWindow()) g_pApp->MainWindow()->Send(UM_STATUS_TEXT, wParam, lParam);
  return 1;
}

void CLog::SetTimestamps(bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->timestamps = on;
}

bool CLog::Timestamps() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->timestamps;
}

std::vector<std::u16string> CLog::Lines() const {
  std::lock_guard lock(impl_->mutex);
  return {impl_->lines.begin(), impl_->lines.end()};
}

size_t CLog::LineCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->lines.size();
}
