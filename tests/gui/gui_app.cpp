// lumenard.exe from the outside: a first start with no stored settings writes a valid settings
// record and opens the wizard-mode window, whose close asks the exit question; a second start
// with ConfirmExit cleared switches to explorer mode (the old window closes, the explorer window
// shows the log in its status bar) and quits on close without asking; "/addsig" imports without a
// window. Screenshots of both windows go to $LUMENARD_ARTIFACTS. Exit code 0 when every check
// passed; each failure is one line on stderr.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "program_driver.h"

namespace {

using gui_testing::Check;
using gui_testing::Checksum;
using gui_testing::ComboItemText;
using gui_testing::Fail;
using gui_testing::FindProgramWindow;
using gui_testing::g_failures;
using gui_testing::kRecordSize;
using gui_testing::kSettingsKey;
using gui_testing::Program;
using gui_testing::WaitFor;
using gui_testing::WriteSettings;

// The wizard window is a property sheet: a dialog titled with the program's name.
constexpr wchar_t kWindowClass[] = L"#32770";
constexpr wchar_t kWindowTitle[] = L"Lumenard";
constexpr wchar_t kExplorerClass[] = L"LumenardMainFrame";
constexpr wchar_t kSplashClass[] = L"LumenardSplash";
constexpr size_t kShowSplashOffset = 76;
constexpr size_t kConfirmExitOffset = 84;
constexpr size_t kAppModeOffset = 17604;
constexpr UINT kModeExplorer = 32839;
constexpr UINT kAboutCommand = 57664;
constexpr int kWelcomeVersionId = 1092;
// Wine under a busy Xvfb is slow to start a process.
constexpr DWORD kStartTimeoutMs = 90000;
constexpr DWORD kTimeoutMs = 30000;

// ---- the stored settings record

std::vector<uint8_t> ReadSettings() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  std::vector<uint8_t> data(kRecordSize + 16);
  DWORD type = 0, size = static_cast<DWORD>(data.size());
  LONG result = RegQueryValueExW(key, L"Settings", nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_BINARY) return {};
  data.resize(size);
  return data;
}

uint32_t WordAt(const std::vector<uint8_t>& record, size_t offset) {
  uint32_t word = 0;
  if (offset + 4 <= record.size()) std::memcpy(&word, record.data() + offset, 4);
  return word;
}

bool ValidRecord(const std::vector<uint8_t>& record) {
  return record.size() == kRecordSize && WordAt(record, 0) == Checksum(record);
}

// ---- windows of the program

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

struct TextSearch {
  const wchar_t* text;
  bool found;
};

BOOL CALLBACK MatchChildText(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<TextSearch*>(parameter);
  if (TextOf(child) == search->text) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

bool HasChildWithText(HWND window, const wchar_t* text) {
  TextSearch search{text, false};
  EnumChildWindows(window, MatchChildText, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// ---- screenshots

void SaveScreenshot(HWND window, const wchar_t* name) {
  // What a closed window covered is repainted a moment later.
  gui_testing::SaveWindowScreenshot(window, name, 3000);
}

HWND WaitForMainWindow(const Program& program, DWORD timeoutMs, HWND except = nullptr) {
  HWND window = nullptr;
  WaitFor(
      [&] {
        return (window =
                    FindProgramWindow(program.info.dwProcessId, kWindowClass, kWindowTitle, except));
      },
      timeoutMs);
  return window;
}

// What a program that shows no main window is doing: ended with a code, or showing others.
void DescribeProgram(const Program& program) {
  const long code = program.WaitForExit(0);
  if (code != -1) {
    std::fprintf(stderr, "lumenard.exe ended with exit code %ld\n", code);
    return;
  }
  EnumWindows(
      [](HWND window, LPARAM process) -> BOOL {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != static_cast<DWORD>(process)) return TRUE;
        wchar_t className[128] = {}, title[256] = {};
        GetClassNameW(window, className, 128);
        GetWindowTextW(window, title, 256);
        std::fprintf(stderr, "lumenard.exe shows a window of class '%ls' titled '%ls' (%s)\n",
                     className, title, IsWindowVisible(window) ? "visible" : "hidden");
        return TRUE;
      },
      static_cast<LPARAM>(program.info.dwProcessId));
}

// A first start: defaults are stored with their checksum, the wizard window opens, and its
// close asks the exit question (ConfirmExit is 1 by default); Yes ends the process with 0.
void FirstStart(const std::wstring& path) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  Program program;
  if (!program.Start(path)) return Fail("lumenard.exe could not be started");
  HWND window = WaitForMainWindow(program, kStartTimeoutMs);
  if (!window) {
    DescribeProgram(program);
    return Fail("the first window did not appear");
  }

  Check(TextOf(window) == L"Lumenard", "the window title is \"Lumenard\"");
  HWND page = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
  Check(page && GetDlgItem(page, kWelcomeVersionId),
        "a start without /cs opens the wizard on its Welcome page");

  std::vector<uint8_t> record;
  const bool stored = WaitFor(
      [&] {
        record = ReadSettings();
        return ValidRecord(record) && WordAt(record, kAppModeOffset) == 32840;
      },
      kTimeoutMs);
  Check(stored, "the settings are stored: 112004 bytes, right checksum, mode 32840");
  Check(WordAt(record, kConfirmExitOffset) == 1, "ConfirmExit defaults to 1");

  // ShowSplash is 1 by default: the picture shows on its own thread and goes by itself.
  const DWORD process = program.info.dwProcessId;
  Check(WaitFor([&] { return FindProgramWindow(process, kSplashClass) != nullptr; }, kTimeoutMs),
        "the splash picture shows at start");
  Check(WaitFor([&] { return !FindProgramWindow(process, kSplashClass); }, kTimeoutMs),
        "the splash picture closes by itself");
  SaveScreenshot(window, L"app-wizard-mode.bmp");

  PostMessageW(window, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  WaitFor(
      [&] {
        return (question = FindProgramWindow(program.info.dwProcessId, L"#32770", L"Confirmation"));
      },
      kTimeoutMs);
  if (!question) return Fail("closing with ConfirmExit set asks \"Confirmation\"");
  Check(HasChildWithText(question, L"Are you sure you want to exit the application?"),
        "the question reads \"Are you sure you want to exit the application?\"");
  SaveScreenshot(question, L"app-exit-question.bmp");
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "answering Yes ends the process with exit code 0");
}

// A start with ConfirmExit and ShowSplash 0: switching to explorer mode closes the wizard window
// and opens the explorer one, which logs "Program running."; its close quits without a question.
void SwitchAndQuit(const std::wstring& path) {
  std::vector<uint8_t> record = ReadSettings();
  if (!ValidRecord(record)) return Fail("no stored settings to start from");
  std::memset(record.data() + kConfirmExitOffset, 0, 4);
  std::memset(record.data() + kShowSplashOffset, 0, 4);
  if (!WriteSettings(record)) return Fail("the settings could not be written");

  Program program;
  if (!program.Start(path)) return Fail("lumenard.exe could not be started again");
  HWND wizard = WaitForMainWindow(program, kStartTimeoutMs);
  if (!wizard) return Fail("the window of the second start did not appear");

  PostMessageW(wizard, WM_COMMAND, kModeExplorer, 0);
  HWND explorer = nullptr;
  WaitFor([&] { return (explorer = FindProgramWindow(program.info.dwProcessId, kExplorerClass)); },
          kTimeoutMs);
  if (!explorer) return Fail("the mode switch opened no explorer window");
  Check(WaitFor([&] { return !IsWindow(wizard); }, kTimeoutMs),
        "the mode switch closed the old window");
  Check(TextOf(explorer) == L"Lumenard", "the new window's title is \"Lumenard\"");

  // The explorer window's log is the list in its status bar, newest line on top.
  HWND status = FindWindowExW(explorer, nullptr, STATUSCLASSNAMEW, nullptr);
  HWND list = status ? FindWindowExW(status, nullptr, L"ComboBox", nullptr) : nullptr;
  Check(WaitFor([&] { return list && SendMessageW(list, CB_GETCOUNT, 0, 0) > 0; }, kTimeoutMs),
        "the new window lists the log");
  // Without a time: the wizard window, which came first, turned the log's timestamps off.
  // The line is posted to the list as the window opens; the drive listing may log after it.
  auto hasLine = [&] {
    const LRESULT lines = list ? SendMessageW(list, CB_GETCOUNT, 0, 0) : 0;
    for (int index = 0; index < lines; ++index)
      if (ComboItemText(program.info.hProcess, list, index) == L"Program running.") return true;
    return false;
  };
  Check(WaitFor(hasLine, kTimeoutMs), "the log has the line \"Program running.\", without a time");

  std::vector<uint8_t> stored;
  Check(WaitFor(
            [&] {
              stored = ReadSettings();
              return ValidRecord(stored) && WordAt(stored, kAppModeOffset) == kModeExplorer;
            },
            kTimeoutMs),
        "the idle save stores the new mode 32839");

  Check(!FindProgramWindow(program.info.dwProcessId, kSplashClass),
        "no splash picture with ShowSplash 0");
  SaveScreenshot(explorer, L"app-explorer-mode.bmp");

  // The About box is a modal dialog of the program's resources with the file's version.
  PostMessageW(explorer, WM_COMMAND, kAboutCommand, 0);
  HWND about = nullptr;
  WaitFor(
      [&] { return (about = FindProgramWindow(program.info.dwProcessId, L"#32770", L"About")); },
      kTimeoutMs);
  if (about) {
    Check(HasChildWithText(about, L"Version 2.0 Build 1"),
          "the About box shows \"Version 2.0 Build 1\"");
    SaveScreenshot(about, L"app-about.bmp");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    Check(WaitFor([&] { return !IsWindow(about); }, kTimeoutMs), "OK closes the About box");
  } else {
    Fail("the About command shows the About box");
  }

  PostMessageW(explorer, WM_CLOSE, 0, 0);
  const long code = program.WaitForExit(kTimeoutMs);
  if (code == -1 && FindProgramWindow(program.info.dwProcessId, L"#32770", L"Confirmation"))
    return Fail("closing with ConfirmExit 0 asked the exit question");
  Check(code == 0, "closing the window ends the process with exit code 0");
  Check(WordAt(ReadSettings(), kConfirmExitOffset) == 0,
        "the stored record was kept, not replaced by defaults");
}

// The command line of the .filesig association: the import reports in a message box and the
// program ends without opening its window.
void ImportWithoutWindow(const std::wstring& path) {
  Program program;
  if (!program.Start(path, L"\"/addsig C:\\no such folder\\missing.filesig\""))
    return Fail("lumenard.exe could not be started with /addsig");
  const DWORD process = program.info.dwProcessId;
  HWND message = nullptr;
  WaitFor([&] { return (message = FindProgramWindow(process, L"#32770", L"Error!")); },
          kStartTimeoutMs);
  if (!message) return Fail("an import of a missing file shows \"Error!\"");
  Check(HasChildWithText(message,
                         L"Signature file 'C:\\no such folder\\missing.filesig' can't open!"),
        "the message names the file without the quotes");
  Check(!FindProgramWindow(process, kWindowClass, kWindowTitle), "an import opens no window");
  PostMessageW(message, WM_COMMAND, IDOK, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "the import ends with exit code 0");
}

}  // namespace

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  if (gui_testing::AnotherProgramRunning()) return 1;
  FirstStart(path);
  if (g_failures == 0) SwitchAndQuit(path);
  ImportWithoutWindow(path);
  if (g_failures == 0)
    std::printf("lumenard.exe: start, settings, mode switch, exit and import passed\n");
  return g_failures == 0 ? 0 : 1;
}
