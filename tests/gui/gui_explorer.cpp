// The explorer window of lumenard.exe from the outside, in one start: the wizard-mode window
// switches to explorer mode without the exit question (ConfirmExit set), the new window shows
// the toolbar, the drive tree, the legend and data-viewer panes and a status bar reading
// "Ready" with the log's newest line; the toolbar follows the tree's selection; the two
// arrangements give the panes their proportions; and the close asks the exit question, where
// No keeps the window and Yes ends the program. Screenshots go to $LUMENARD_ARTIFACTS.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "program_driver.h"

namespace {

using gui_testing::Check;
using gui_testing::ClassOf;
using gui_testing::ComboItemText;
using gui_testing::Fail;
using gui_testing::FindProgramWindow;
using gui_testing::g_failures;
using gui_testing::kFrameClass;
using gui_testing::kRecordSize;
using gui_testing::Program;
using gui_testing::StoredRecord;
using gui_testing::WaitFor;
using gui_testing::WriteSettings;

constexpr wchar_t kSplitterClass[] = L"LumenardSplitter";
constexpr size_t kShowLegendOffset = 60;  // then ShowLog, ShowStatusBar, ShowToolbar
constexpr size_t kShowSplashOffset = 76;
constexpr size_t kConfirmExitOffset = 84;
constexpr UINT kModeExplorer = 32839;
constexpr UINT kModeExplorerSecond = 32841;
constexpr UINT kStartAnalyzing = 32774;
constexpr UINT kRescanDrives = 32781;
constexpr UINT kRecover = 32787;
constexpr DWORD kStartTimeoutMs = 90000;
constexpr DWORD kTimeoutMs = 30000;

// ---- the settings: the stored record (or a fresh one) with the fields this test needs

void SetWord(std::vector<uint8_t>& record, size_t offset, uint32_t value) {
  std::memcpy(record.data() + offset, &value, 4);
}

bool PrepareSettings() {
  std::vector<uint8_t> record = StoredRecord();
  if (record.empty()) record.assign(kRecordSize, 0);
  for (size_t flag = 0; flag < 4; ++flag) SetWord(record, kShowLegendOffset + 4 * flag, 1);
  SetWord(record, kShowSplashOffset, 0);
  SetWord(record, kConfirmExitOffset, 1);
  return WriteSettings(record);
}

// ---- windows of the program

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// The visible descendants of a window, in the order EnumChildWindows gives them.
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM parameter) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND DescendantOfClass(HWND window, const wchar_t* className, const wchar_t* text = nullptr) {
  for (HWND child : Descendants(window))
    if (ClassOf(child) == className && (!text || TextOf(child) == text)) return child;
  return nullptr;
}

bool HasVisibleText(HWND window, const wchar_t* text) {
  for (HWND child : Descendants(window))
    if (IsWindowVisible(child) && TextOf(child) == text) return true;
  return false;
}

// ---- memory of the program's process, for messages that take pointers

class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t bytes) : process_(process) {
    memory_ =
        static_cast<uint8_t*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteBuffer() {
    if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
  }
  uint8_t* Address() const { return memory_; }
  bool Write(const void* data, size_t bytes, size_t offset = 0) {
    return memory_ && WriteProcessMemory(process_, memory_ + offset, data, bytes, nullptr);
  }
  bool Read(void* data, size_t bytes, size_t offset = 0) const {
    return memory_ && ReadProcessMemory(process_, memory_ + offset, data, bytes, nullptr);
  }

 private:
  HANDLE process_;
  uint8_t* memory_ = nullptr;
};

std::wstring StatusPaneText(HANDLE process, HWND bar, int pane) {
  constexpr size_t kChars = 512;
  RemoteBuffer buffer(process, kChars * sizeof(wchar_t));
  if (!buffer.Address()) return {};
  const LRESULT length = SendMessageW(bar, SB_GETTEXTLENGTHW, pane, 0);
  if (LOWORD(length) >= kChars) return {};
  SendMessageW(bar, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(buffer.Address()));
  std::vector<wchar_t> text(kChars + 1, L'\0');
  buffer.Read(text.data(), kChars * sizeof(wchar_t));
  return text.data();
}

std::wstring TreeItemText(HANDLE process, HWND tree, HTREEITEM item) {
  constexpr size_t kChars = 256;
  RemoteBuffer buffer(process, sizeof(TVITEMW) + kChars * sizeof(wchar_t));
  if (!buffer.Address()) return {};
  TVITEMW query{};
  query.mask = TVIF_TEXT | TVIF_HANDLE;
  query.hItem = item;
  query.cchTextMax = kChars;
  query.pszText = reinterpret_cast<wchar_t*>(buffer.Address() + sizeof(TVITEMW));
  buffer.Write(&query, sizeof(query));
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.Address()))) return {};
  std::vector<wchar_t> text(kChars + 1, L'\0');
  buffer.Read(text.data(), kChars * sizeof(wchar_t), sizeof(TVITEMW));
  return text.data();
}

// The frame's client width and the width of a window inside it.
int ClientWidth(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return rect.right;
}

int WidthOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect.right - rect.left;
}

bool Near(int value, int expected, int tolerance) {
  return std::abs(value - expected) <= tolerance;
}

// ---- screenshots

void SaveScreenshot(HWND window, const wchar_t* name) {
  gui_testing::SaveWindowScreenshot(window, name, 1500);
}

bool Enabled(HWND toolbar, UINT command) {
  return SendMessageW(toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
}

// A mode switch from window to mode: the new frame, once the old window is gone; no exit
// question may come up on the way although ConfirmExit is set.
HWND SwitchTo(const Program& program, HWND window, UINT mode) {
  const DWORD process = program.info.dwProcessId;
  PostMessageW(window, WM_COMMAND, mode, 0);
  HWND frame = nullptr;
  WaitFor([&] { return (frame = FindProgramWindow(process, kFrameClass, nullptr, window)); },
          kTimeoutMs);
  if (!frame) {
    Fail("the mode switch opens the explorer window");
    return nullptr;
  }
  const bool closed = WaitFor(
      [&] { return !IsWindow(window) || FindProgramWindow(process, L"#32770", L"Confirmation"); },
      kTimeoutMs);
  Check(closed && !IsWindow(window), "the mode switch closes the old window");
  if (HWND question = FindProgramWindow(process, L"#32770", L"Confirmation")) {
    Fail("a mode switch asks the exit question");
    PostMessageW(question, WM_COMMAND, IDYES, 0);
  }
  return frame;
}

void CheckFirstArrangement(HWND frame) {
  HWND tree = DescendantOfClass(frame, WC_TREEVIEWW);
  HWND drives = tree ? GetParent(tree) : nullptr;  // the second splitter
  if (!drives || ClassOf(drives) != kSplitterClass)
    return Fail("the drive tree sits in a splitter");
  const int width = ClientWidth(frame);
  Check(Near(WidthOf(drives), width - width / 3, 3),
        "mode 32839 gives the drives two thirds of the window's width");
}

void CheckSecondArrangement(HWND frame) {
  HWND tree = DescendantOfClass(frame, WC_TREEVIEWW);
  if (!tree) return Fail("the second arrangement shows the drive tree");
  const int width = ClientWidth(frame);
  Check(Near(WidthOf(tree), width / 3, 3), "mode 32841 gives the drive tree a third of the width");
}

void CheckFrame(const Program& program, HWND frame) {
  HANDLE process = program.info.hProcess;
  Check(TextOf(frame) == L"Lumenard", "the explorer window's title is \"Lumenard\"");

  HWND toolbar = DescendantOfClass(frame, TOOLBARCLASSNAMEW, L"MainToolBar");
  if (!toolbar) return Fail("the explorer window has the toolbar \"MainToolBar\"");
  Check(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) == 12,
        "the toolbar has nine buttons and three separators");
  Check(Enabled(toolbar, kRescanDrives), "Rescan Drives is enabled");
  Check(!Enabled(toolbar, kStartAnalyzing), "Analyze waits for the analysis in this window");
  Check(!Enabled(toolbar, kRecover), "Recover waits for the recovery in this window");

  HWND status = DescendantOfClass(frame, STATUSCLASSNAMEW);
  if (!status) return Fail("the explorer window has a status bar");
  Check(SendMessageW(status, SB_GETPARTS, 0, 0) == 3, "the status bar has three panes");
  Check(WaitFor([&] { return StatusPaneText(process, status, 0) == L"Ready"; }, kTimeoutMs),
        "the status bar reads \"Ready\"");
  HWND progress = DescendantOfClass(status, PROGRESS_CLASSW);
  Check(progress && !IsWindowVisible(progress), "no progress bar while no analysis runs");
  HWND log = DescendantOfClass(status, L"ComboBox");
  // Newest line on top and shown; the drive listing may have logged after "Program running.".
  auto hasLine = [&] {
    const LRESULT lines = log ? SendMessageW(log, CB_GETCOUNT, 0, 0) : 0;
    for (int index = 0; index < lines; ++index)
      if (ComboItemText(process, log, index) == L"Program running.") return true;
    return false;
  };
  Check(WaitFor(hasLine, kTimeoutMs),
        "the log list in the status bar has the line \"Program running.\"");
  const LRESULT lines = log ? SendMessageW(log, CB_GETCOUNT, 0, 0) : 0;
  Check(lines > 0 && SendMessageW(log, CB_GETCURSEL, 0, 0) == 0,
        "the log list shows its newest line, the top one");
  Check(DescendantOfClass(status, L"Button", L"...") != nullptr,
        "the \"...\" button sits beside the log");

  Check(HasVisibleText(frame, L"Legend"), "the legend pane is titled \"Legend\"");
  Check(HasVisibleText(frame, L"Data viewer"), "the data-viewer pane is titled \"Data viewer\"");

  HWND tree = DescendantOfClass(frame, WC_TREEVIEWW);
  if (!tree) return Fail("the explorer window shows the drive tree");
  auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  Check(root && TreeItemText(process, tree, root) == L"My Computer",
        "the drive tree starts with \"My Computer\"");

  // A drive below My Computer. The drive commands on the toolbar wait for the analysis; the
  // menus' states are checked inside the program's process (another process cannot read them
  // under Wine).
  HTREEITEM drive = nullptr;
  WaitFor(
      [&] {
        return (drive = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                 reinterpret_cast<LPARAM>(root))));
      },
      5000);
  if (!drive) {
    // What the drive enumeration finds under Wine is its own business (and its own tests').
    std::printf("note: no drive is listed below \"My Computer\" here\n");
    return;
  }
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(drive));
  Sleep(500);
  Check(Enabled(toolbar, kRescanDrives) && !Enabled(toolbar, kRecover),
        "with a drive selected Rescan Drives stays enabled and Recover disabled");
  SaveScreenshot(frame, L"explorer-drive-selected.bmp");

  // The drive node's menu, as the menu key opens it.
  PostMessageW(frame, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), -1);
  HWND menu = nullptr;
  WaitFor([&] { return (menu = FindProgramWindow(program.info.dwProcessId, L"#32768")); },
          kTimeoutMs);
  Check(menu != nullptr, "the menu key on a drive node opens its menu");
  if (menu) {
    SaveScreenshot(frame, L"explorer-drive-menu.bmp");
    PostMessageW(frame, WM_CANCELMODE, 0, 0);
    Check(WaitFor([&] { return !IsWindowVisible(menu); }, kTimeoutMs), "the drive menu closes");
  }
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
}

void Scenario(const std::wstring& path) {
  if (!PrepareSettings()) return Fail("the settings could not be written");
  Program program;
  if (!program.Start(path)) return Fail("lumenard.exe could not be started");
  const DWORD process = program.info.dwProcessId;
  HWND wizard = nullptr;
  WaitFor([&] { return (wizard = FindProgramWindow(process, L"#32770", L"Lumenard")); }, kStartTimeoutMs);
  if (!wizard) return Fail("the wizard-mode window did not appear");

  HWND frame = SwitchTo(program, wizard, kModeExplorer);
  if (!frame) return;
  // The arrangement is applied once the window has laid itself out.
  Sleep(1000);
  CheckFirstArrangement(frame);
  CheckFrame(program, frame);
  SaveScreenshot(frame, L"explorer.bmp");

  HWND second = SwitchTo(program, frame, kModeExplorerSecond);
  if (!second) return;
  Sleep(1000);
  CheckSecondArrangement(second);
  SaveScreenshot(second, L"explorer-second-arrangement.bmp");

  // A real exit asks: No keeps the window, Yes ends the program.
  PostMessageW(second, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  WaitFor([&] { return (question = FindProgramWindow(process, L"#32770", L"Confirmation")); },
          kTimeoutMs);
  if (!question) return Fail("closing the explorer window with ConfirmExit set asks");
  PostMessageW(question, WM_COMMAND, IDNO, 0);
  Check(WaitFor([&] { return !IsWindow(question); }, kTimeoutMs), "No closes the question");
  Sleep(500);
  Check(IsWindow(second) && IsWindowVisible(second), "answering No keeps the window open");
  PostMessageW(second, WM_CLOSE, 0, 0);
  question = nullptr;
  WaitFor([&] { return (question = FindProgramWindow(process, L"#32770", L"Confirmation")); },
          kTimeoutMs);
  if (!question) return Fail("the second close asks again");
  PostMessageW(question, WM_COMMAND, IDYES, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "answering Yes ends the program with exit code 0");
}

}  // namespace

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  if (gui_testing::AnotherProgramRunning()) return 1;
  Scenario(path);
  if (g_failures == 0)
    std::printf("lumenard.exe: explorer window, selection, arrangements and exit passed\n");
  return g_failures == 0 ? 0 : 1;
}
