// What the window tests that start lumenard.exe share: their failure count, waiting, the
// program's path and process, its stored settings record, finding its windows and reading
// their texts, and screenshots of one window.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "screenshot.h"

namespace gui_testing {

// ---- checks: each failure is one line on stderr; the test exits 0 when there was none

inline int g_failures = 0;

inline void Fail(const std::string& what) {
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  ++g_failures;
}

inline void Check(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

// Polls until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(100);
  }
}

// ---- the program's process

inline std::wstring ProgramPath() {
  wchar_t own[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(own, length);
  // The test lives in <build>/tests/gui; the program in <build>.
  for (int level = 0; level < 4; ++level) {
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    std::wstring candidate = folder + L"\\lumenard.exe";
    if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
  }
  return {};
}

constexpr wchar_t kLogWindowClass[] = L"LumenardLogWindow";
constexpr wchar_t kFrameClass[] = L"LumenardMainFrame";

// lumenard.exe of this build folder; empty, said on stderr, when it is not there.
inline std::wstring ProgramBesideTest() {
  const std::wstring path = ProgramPath();
  if (path.empty()) std::fprintf(stderr, "FAILED: lumenard.exe not found beside the test\n");
  return path;
}

// Another instance would save its own settings over the ones a test writes and reads: true,
// said on stderr, when one has a window in this Wine prefix.
inline bool AnotherProgramRunning() {
  // The wizard is a property sheet: a dialog window with the program's title.
  if (!FindWindowW(kLogWindowClass, nullptr) && !FindWindowW(kFrameClass, nullptr) &&
      !FindWindowW(L"#32770", L"Lumenard"))
    return false;
  std::fprintf(stderr, "FAILED: another lumenard.exe is running in this Wine prefix\n");
  return true;
}

// A started program, ended when the test is done with it.
struct Program {
  PROCESS_INFORMATION info{};
  bool started = false;

  bool Start(const std::wstring& path, const std::wstring& arguments = L"") {
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info) != FALSE;
    return started;
  }
  // The exit code, or -1 when it did not end in time.
  long WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return static_cast<long>(code);
  }
  ~Program() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
};

// ---- the stored settings record: a checksum word, then the fields

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Lumenard\\2.0";
constexpr size_t kRecordSize = 112004;

// The sum of the record's words after the first, which holds it.
inline uint32_t Checksum(const std::vector<uint8_t>& record) {
  uint32_t sum = 0;
  for (size_t offset = 4; offset + 4 <= record.size(); offset += 4) {
    uint32_t word;
    std::memcpy(&word, record.data() + offset, 4);
    sum += word;
  }
  return sum;
}

// The stored record when it is whole and its checksum holds; empty otherwise.
inline std::vector<uint8_t> StoredRecord() {
  std::vector<uint8_t> data(kRecordSize);
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD type = 0, size = static_cast<DWORD>(data.size());
  LONG result = RegQueryValueExW(key, L"Settings", nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  uint32_t sum = 0;
  if (result == ERROR_SUCCESS && size == kRecordSize) std::memcpy(&sum, data.data(), 4);
  if (result != ERROR_SUCCESS || size != kRecordSize || sum != Checksum(data)) return {};
  return data;
}

// Stores the record with its checksum.
inline bool WriteSettings(std::vector<uint8_t> record) {
  const uint32_t sum = Checksum(record);
  std::memcpy(record.data(), &sum, 4);
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, L"Settings", 0, REG_BINARY, record.data(),
                               static_cast<DWORD>(record.size()));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// ---- windows of the program

inline std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

struct WindowSearch {
  DWORD process;
  const wchar_t* className;
  const wchar_t* title;  // null for any
  HWND except;
  HWND found;
};

inline BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || window == search->except || !IsWindowVisible(window))
    return TRUE;
  wchar_t text[256] = {};
  GetClassNameW(window, text, 256);
  if (wcscmp(text, search->className) != 0) return TRUE;
  if (search->title) {
    GetWindowTextW(window, text, 256);
    if (wcscmp(text, search->title) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

// A visible top-level window of the process with the class (and title), other than except.
inline HWND FindProgramWindow(DWORD process, const wchar_t* className,
                              const wchar_t* title = nullptr, HWND except = nullptr) {
  WindowSearch search{process, className, title, except, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// An item of another process's combo box.
inline std::wstring ComboItemText(HANDLE, HWND combo, int index) {
  // A message of the system's own controls: the system carries the text between the
  // processes, so the buffer is this process's. The program inserts lines at the top while
  // this reads, so the item's length may change between two messages: the buffer is far
  // larger than any log line instead of the length asked first.
  std::vector<wchar_t> text(65536, L'\0');
  if (SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data())) == CB_ERR)
    return {};
  text.back() = L'\0';
  return text.data();
}

// ---- screenshots

// The window as the screen shows it, after settleMs for what a closed window covered to be
// repainted, as name in $LUMENARD_ARTIFACTS; nothing when that is not set.
inline void SaveWindowScreenshot(HWND window, const wchar_t* name, DWORD settleMs) {
  const std::wstring folder = ArtifactsFolder();
  if (folder.empty()) return;
  Sleep(settleMs);
  // From the screen, so that what the program's own windows show is what is taken.
  RECT rect;
  GetWindowRect(window, &rect);
  HDC screen = GetDC(nullptr);
  Capture capture;
  const char* failure = CaptureArea(screen, rect.left, rect.top, rect.right - rect.left,
                                    rect.bottom - rect.top, capture);
  ReleaseDC(nullptr, screen);
  if (!failure) WriteBmp(folder + L"\\" + name, capture);
}

}  // namespace gui_testing
