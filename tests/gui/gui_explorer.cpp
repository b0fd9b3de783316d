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
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "program_driver.h"
#include "remote_controls.h"
#include "test_files.h"

namespace {

using gui_testing::Check;
using gui_testing::ClassOf;
using gui_testing::ComboItemText;
using gui_testing::Fail;
using gui_testing::FindProgramWindow;
using gui_testing::FindTreeItem;
using gui_testing::FixturePath;
using gui_testing::g_failures;
using gui_testing::kFrameClass;
using gui_testing::kRecordSize;
using gui_testing::ListItemText;
using gui_testing::Narrow;
using gui_testing::Program;
using gui_testing::ReadFileBytes;
using gui_testing::RemoteBuffer;
using gui_testing::StatusPaneText;
using gui_testing::StoredRecord;
using gui_testing::TreeItemText;
using gui_testing::TypeInto;
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
  Check(!Enabled(toolbar, kRecover), "Recover is disabled while no found object is selected");

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
  WaitFor([&] { return (wizard = FindProgramWindow(process, L"#32770", L"Lumenard")); },
          kStartTimeoutMs);
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

// ---- found objects through the explorer: a second start of the program

namespace found {

constexpr UINT kLoadDriveImage = 32783;
constexpr UINT kStartAnalyzing = 32774;
constexpr UINT kRecoverCommand = 32787;
constexpr UINT kViewKey = 33070;
constexpr UINT kViewFocus = 33082;
constexpr UINT kToggleMark = 33080;
constexpr size_t kConfirmRecoveryAbortOffset = 92;
constexpr size_t kKeepFolderStructureOffset = 144;
constexpr size_t kLogFoundFilesOffset = 152;
constexpr int kRecoverDestinationId = 1032;
constexpr int kRecoverKeepId = 1113;
constexpr size_t kLogListLimit = 4000;

std::wstring Wide(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return out;
}

std::wstring BaseName(const std::wstring& path) {
  return path.substr(path.find_last_of(L'\\') + 1);
}

// POSIX cksum: the manifests give each file's.
uint32_t Cksum(const std::vector<char>& bytes) {
  uint32_t crc = 0;
  auto feed = [&crc](uint8_t byte) {
    crc ^= static_cast<uint32_t>(byte) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  };
  for (char c : bytes) feed(static_cast<uint8_t>(c));
  for (uint64_t length = bytes.size(); length; length >>= 8) feed(static_cast<uint8_t>(length));
  return ~crc;
}

// One row of `lumenard-cli analyse --format tsv`.
struct Row {
  bool deleted = false;
  bool folder = false;
  int64_t size = 0;
  uint64_t created = 0;
  std::wstring path;  // '/' separators, from the volume's root
};

// The CLI beside the program, run on the image; its rows.
std::vector<Row> CliRows(const std::wstring& program, const std::wstring& image) {
  const std::wstring cli = program.substr(0, program.find_last_of(L'\\')) + L"\\lumenard-cli.exe";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::wstring line = L"\"" + cli + L"\" analyse --format tsv \"" + image + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  const bool started = CreateProcessW(cli.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  CloseHandle(writeEnd);
  std::string output;
  if (started) {
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read)
      output.append(buffer, read);
    WaitForSingleObject(info.hProcess, 30000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  CloseHandle(readEnd);
  std::vector<Row> rows;
  size_t at = output.find('\n');  // the header
  while (at != std::string::npos && at + 1 < output.size()) {
    const size_t end = output.find('\n', at + 1);
    std::string text =
        output.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    at = end;
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
      const size_t tab = text.find('\t', from);
      fields.push_back(
          text.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (fields.size() != 10) continue;
    Row row;
    row.deleted = fields[1] == "deleted";
    row.folder = fields[2] == "folder";
    row.size = std::strtoll(fields[5].c_str(), nullptr, 10);
    row.created = std::strtoull(fields[7].c_str(), nullptr, 10);
    row.path = Wide(fields[9]);
    rows.push_back(row);
  }
  return rows;
}

std::wstring Parent(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'/');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
std::wstring Leaf(const std::wstring& path) { return path.substr(path.find_last_of(L'/') + 1); }

// The list's texts for a size and a creation time, by the program's presentation rules.
std::wstring SizeText(const Row& row) {
  if (row.folder) return L"";
  const int64_t size = row.size;
  constexpr int64_t kb = 1024, mb = kb * 1024, gb = mb * 1024;
  if (size == -1) return L"unknown";
  if (size > gb) return std::to_wstring(size / gb) + L" GB";
  if (size > mb) return std::to_wstring(size / mb) + L" MB";
  if (size > kb) return std::to_wstring(size / kb) + L" KB";
  return std::to_wstring(size);
}

std::wstring DateText(uint64_t created) {
  if (!created) return L"";
  FILETIME time{static_cast<DWORD>(created), static_cast<DWORD>(created >> 32)};
  SYSTEMTIME universal, local;
  if (!FileTimeToSystemTime(&time, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return L"?";
  wchar_t date[100] = {}, clock[100] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 100);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, clock, 100);
  return std::wstring(date) + L" " + clock;
}

// ---- reading the program's controls

HWND FindWindowOf(DWORD process, const wchar_t* className, const wchar_t* title) {
  return FindProgramWindow(process, className, title);
}

HWND WaitForWindow(DWORD process, const wchar_t* className, const wchar_t* title, DWORD timeout) {
  HWND window = nullptr;
  WaitFor([&] { return (window = FindWindowOf(process, className, title)) != nullptr; }, timeout);
  return window;
}

LPARAM TreeItemParam(HANDLE process, HWND tree, HTREEITEM item) {
  RemoteBuffer buffer(process, sizeof(TVITEMW));
  TVITEMW query{};
  query.mask = TVIF_PARAM | TVIF_HANDLE;
  query.hItem = item;
  buffer.Write(0, &query, sizeof(query));
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.At(0)))) return 0;
  buffer.Read(0, &query, sizeof(query));
  return query.lParam;
}

HTREEITEM Child(HWND tree, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM Next(HWND tree, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM Selected(HWND tree) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

// The child of item with the text, after expanding item (which fills its children).
HTREEITEM ChildNamed(HANDLE process, HWND tree, HTREEITEM item, const std::wstring& text) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  for (HTREEITEM child = Child(tree, item); child; child = Next(tree, child))
    if (TreeItemText(process, tree, child) == text) return child;
  return nullptr;
}

int ListImage(HANDLE process, HWND list, int row) {
  RemoteBuffer buffer(process, sizeof(LVITEMW));
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  buffer.Write(0, &item, sizeof(item));
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.At(0)));
  buffer.Read(0, &item, sizeof(item));
  return item.iImage;
}

void SetListSelection(HANDLE process, HWND list, int row, bool selected) {
  RemoteBuffer buffer(process, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  buffer.Write(0, &item, sizeof(item));
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.At(0)));
}

// The visible file list of the frame.
HWND FileList(HWND frame) {
  for (HWND child : Descendants(frame))
    if (ClassOf(child) == WC_LISTVIEWW && IsWindowVisible(child) &&
        SendMessageW(child, LVM_GETCOLUMNWIDTH, 3, 0) > 0)
      return child;
  return nullptr;
}

int RowNamed(HANDLE process, HWND list, const std::wstring& name) {
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row)
    if (ListItemText(process, list, row, 0) == name) return row;
  return -1;
}

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// ---- the steps

struct Session {
  Program program;
  std::wstring programPath;
  HWND frame = nullptr;
  HWND tree = nullptr;
  HWND status = nullptr;
  HWND progress = nullptr;
  HANDLE Process() const { return program.info.hProcess; }
  DWORD Id() const { return program.info.dwProcessId; }
};

bool LoadImageFile(Session& session, const std::wstring& image) {
  HWND dialog = nullptr;
  for (int attempt = 0; attempt < 2 && !dialog; ++attempt) {
    PostMessageW(session.frame, WM_COMMAND, kLoadDriveImage, 0);
    dialog = WaitForWindow(session.Id(), L"#32770", L"Load Drive Image", kTimeoutMs / 2);
  }
  if (!dialog) {
    Fail("Load Drive Image shows its dialog");
    return false;
  }
  HWND edit = nullptr;
  WaitFor([&] { return (edit = DescendantOfClass(dialog, L"Edit")) != nullptr; }, 10000);
  if (!edit) {
    Fail("the file dialog has a name box");
    return false;
  }
  TypeInto(edit, image);
  Press(dialog, IDOK);
  HTREEITEM node = nullptr;
  WaitFor(
      [&] {
        return (node = FindTreeItem(session.Process(), session.tree,
                                    reinterpret_cast<HTREEITEM>(
                                        SendMessageW(session.tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)),
                                    BaseName(image))) != nullptr;
      },
      kTimeoutMs);
  if (!node) {
    Fail("the loaded image " + Narrow(BaseName(image)) + " has a node");
    return false;
  }
  SendMessageW(session.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
  return true;
}

// Start Analyzing on the selected drive: the bar shows and moves, then "Ready" comes back.
void Analyse(Session& session, const std::string& name) {
  bool barShown = false;
  LRESULT position = 0;
  ULONGLONG firstShown = 0, lastShown = 0;
  // As a user would: once the button is enabled for the selected drive.
  HWND toolbar = DescendantOfClass(session.frame, TOOLBARCLASSNAMEW, L"MainToolBar");
  Check(WaitFor([&] { return toolbar && Enabled(toolbar, kStartAnalyzing); }, kTimeoutMs),
        name + ": Analyze is enabled for the selected drive");
  PostMessageW(session.frame, WM_COMMAND, kStartAnalyzing, 0);
  const ULONGLONG end = GetTickCount64() + 120000;
  bool started = false;
  while (GetTickCount64() < end) {
    const bool visible = IsWindowVisible(session.progress) != FALSE;
    if (visible) {
      if (!barShown) firstShown = GetTickCount64();
      lastShown = GetTickCount64();
      started = barShown = true;
      position = std::max(position, SendMessageW(session.progress, PBM_GETPOS, 0, 0));
    }
    const std::wstring text = StatusPaneText(session.Process(), session.status, 0);
    if (text != L"Ready") started = true;
    if (started && !visible && text == L"Ready") break;
    Sleep(20);
  }
  Check(barShown, name + ": the progress bar shows while the analysis runs");
  // The bar is set every 250 ms: an analysis shorter than a few of those may end before.
  const ULONGLONG shownMs = lastShown - firstShown;
  if (shownMs > 1000)
    Check(position > 0 && position <= 100, name + ": the progress bar moves (" +
                                               std::to_string(position) + " after " +
                                               std::to_string(shownMs) + " ms)");
  else
    std::printf("note: %s: the analysis took %llu ms, the bar reached %d\n", name.c_str(), shownMs,
                static_cast<int>(position));
  Check(StatusPaneText(session.Process(), session.status, 0) == L"Ready" &&
            !IsWindowVisible(session.progress),
        name + ": \"Ready\" and no progress bar after the analysis");
}

// The node of a loaded image (a new analysis may have made its items anew).
HTREEITEM DriveItem(Session& session, const std::wstring& image) {
  return FindTreeItem(
      session.Process(), session.tree,
      reinterpret_cast<HTREEITEM>(SendMessageW(session.tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)),
      BaseName(image));
}

// Found objects carry a check box (a state picture); drive nodes do not.
bool HasCheckBox(Session& session, HTREEITEM item) {
  return (SendMessageW(session.tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                       TVIS_STATEIMAGEMASK) &
          TVIS_STATEIMAGEMASK) != 0;
}

// The found root folder below a drive's node: its first found child that the store did not
// invent (a partition found on the drive has a node there too).
HTREEITEM RootFolderItem(Session& session, HTREEITEM drive) {
  if (!drive) return nullptr;
  SendMessageW(session.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(drive));
  for (HTREEITEM child = Child(session.tree, drive); child; child = Next(session.tree, child)) {
    const std::wstring text = TreeItemText(session.Process(), session.tree, child);
    if (HasCheckBox(session, child) && text != L"Lost files" && text != L"Lost folders")
      return child;
  }
  return nullptr;
}

// The tree item of a folder path below the root item.
HTREEITEM FolderItem(Session& session, HTREEITEM root, const std::wstring& path) {
  HTREEITEM item = root;
  size_t from = 0;
  while (item && from < path.size()) {
    const size_t slash = path.find(L'/', from);
    const std::wstring part =
        path.substr(from, slash == std::wstring::npos ? std::wstring::npos : slash - from);
    item = ChildNamed(session.Process(), session.tree, item, part);
    from = slash == std::wstring::npos ? path.size() : slash + 1;
  }
  return item;
}

// Selects the folder in the tree; the list then shows its objects.
HWND ShowFolder(Session& session, HTREEITEM item) {
  SendMessageW(session.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  HWND list = nullptr;
  WaitFor([&] { return (list = FileList(session.frame)) != nullptr; }, 5000);
  Sleep(200);
  return list;
}

// Every folder of the CLI's listing, selected in the tree, lists the same objects with the
// same sizes, dates and states.
void CompareWithCli(Session& session, HTREEITEM root, const std::vector<Row>& rows,
                    const std::string& name) {
  std::map<std::wstring, std::vector<const Row*>> byFolder;
  byFolder[L""];
  for (const Row& row : rows) {
    byFolder[Parent(row.path)].push_back(&row);
    if (row.folder) byFolder[row.path];
  }
  int compared = 0;
  for (const auto& [folder, children] : byFolder) {
    HTREEITEM item = folder.empty() ? root : FolderItem(session, root, folder);
    if (!item) {
      Fail(name + ": the tree has the folder " + Narrow(folder));
      continue;
    }
    HWND list = ShowFolder(session, item);
    if (!list) {
      Fail(name + ": a list shows " + Narrow(folder));
      continue;
    }
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::map<std::wstring, int> shown;
    for (int row = 0; row < count; ++row)
      shown[ListItemText(session.Process(), list, row, 0)] = row;
    for (const Row* child : children) {
      const std::wstring leaf = Leaf(child->path);
      auto found = shown.find(leaf);
      if (found == shown.end()) {
        Fail(name + ": the list of /" + Narrow(folder) + " shows " + Narrow(leaf));
        continue;
      }
      const int row = found->second;
      ++compared;
      Check(ListItemText(session.Process(), list, row, 1) == SizeText(*child),
            name + ": size of " + Narrow(child->path) + ": " +
                Narrow(ListItemText(session.Process(), list, row, 1)) + " for " +
                std::to_string(child->size));
      Check(ListItemText(session.Process(), list, row, 3) == DateText(child->created),
            name + ": date of " + Narrow(child->path) + ": " +
                Narrow(ListItemText(session.Process(), list, row, 3)));
      if (!child->folder)
        Check((ListImage(session.Process(), list, row) % 2 == 1) == child->deleted,
              name + ": " + Narrow(child->path) + " shows as " +
                  (child->deleted ? "deleted" : "live"));
    }
    // Lost files of the sector pass are the program's own; the file system's are the CLI's.
    int fileSystemRows = 0;
    for (const auto& [text, row] : shown)
      if (text != L"Lost files" && text != L"Lost folders") ++fileSystemRows;
    Check(fileSystemRows == static_cast<int>(children.size()),
          name + ": /" + Narrow(folder) + " lists " + std::to_string(fileSystemRows) +
              " objects, the CLI " + std::to_string(children.size()));
  }
  Check(compared > 10, name + ": objects compared: " + std::to_string(compared));
}

// The manifest's live, intact files below prefix ("" for all), path to checksum.
std::map<std::wstring, uint32_t> ManifestFiles(const std::wstring& manifest,
                                               const std::wstring& prefix) {
  std::map<std::wstring, uint32_t> files;
  const std::vector<char> bytes = ReadFileBytes(manifest);
  const std::string text(bytes.begin(), bytes.end());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
      const size_t tab = line.find('\t', from);
      fields.push_back(
          line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (fields.size() < 7 || fields[0] != "live" || fields[1] != "file" || fields[4] != "yes")
      continue;
    const std::wstring path = Wide(fields[6]);
    if (!prefix.empty() && path.rfind(prefix + L"/", 0) != 0) continue;
    files[path] = static_cast<uint32_t>(std::strtoul(fields[3].c_str(), nullptr, 10));
  }
  return files;
}

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name;
}

// The files recovered below folder, their paths with '/' from it.
void ListFiles(const std::wstring& folder, const std::wstring& relative,
               std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L"/" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListFiles(folder + L"\\" + name, path, out);
    else
      out.push_back(path);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

void RemoveTree(const std::wstring& folder) {
  std::vector<std::wstring> files;
  ListFiles(folder, L"", files);
  for (const std::wstring& file : files) {
    std::wstring path = folder + L"\\" + file;
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    DeleteFileW(path.c_str());
  }
  // Folders, deepest first.
  for (int pass = 0; pass < 8; ++pass) {
    WIN32_FIND_DATAW data;
    std::vector<std::wstring> stack = {folder}, folders;
    while (!stack.empty()) {
      const std::wstring here = stack.back();
      stack.pop_back();
      folders.push_back(here);
      HANDLE find = FindFirstFileW((here + L"\\*").c_str(), &data);
      if (find == INVALID_HANDLE_VALUE) continue;
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          stack.push_back(here + L"\\" + name);
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryW(it->c_str());
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  }
}

// Recover with the destination typed into its dialog; waits for the end of the run.
// Recover, once its button is enabled for the selection.
void PostRecover(Session& session) {
  HWND toolbar = DescendantOfClass(session.frame, TOOLBARCLASSNAMEW, L"MainToolBar");
  WaitFor([&] { return toolbar && Enabled(toolbar, kRecoverCommand); }, kTimeoutMs);
  PostMessageW(session.frame, WM_COMMAND, kRecoverCommand, 0);
}

bool RecoverTo(Session& session, const std::wstring& destination, const std::string& what) {
  PostRecover(session);
  HWND dialog = WaitForWindow(session.Id(), L"#32770", L"Recover", kTimeoutMs);
  if (!dialog) {
    Fail(what + ": Recover opens its dialog");
    return false;
  }
  TypeInto(GetDlgItem(dialog, kRecoverDestinationId), destination);
  SendMessageW(GetDlgItem(dialog, kRecoverKeepId), BM_SETCHECK, BST_CHECKED, 0);
  Press(dialog, IDOK);
  HWND progress = WaitForWindow(session.Id(), L"#32770", L"Recovering files...", kTimeoutMs);
  if (!progress) {
    Fail(what + ": the progress dialog follows the Recover dialog");
    return false;
  }
  HWND ok = GetDlgItem(progress, IDOK);
  if (!WaitFor([&] { return IsWindowVisible(ok) != FALSE; }, 60000)) {
    Fail(what + ": the progress dialog shows OK at the end of the run");
    return false;
  }
  SaveScreenshot(progress, (L"explorer-recovered-" + Wide(what) + L".bmp").c_str());
  Press(progress, IDOK);
  WaitFor([&] { return !IsWindow(progress); }, kTimeoutMs);
  return true;
}

// What was written below destination is exactly the expected files, byte for byte.
void CheckRecovered(const std::wstring& destination, const std::wstring& prefix,
                    const std::map<std::wstring, uint32_t>& expected, const std::string& what) {
  std::vector<std::wstring> written;
  ListFiles(destination, L"", written);
  std::map<std::wstring, bool> seen;
  for (const std::wstring& file : written) seen[file] = true;
  for (const auto& [path, sum] : expected) {
    const std::wstring at = prefix + path;
    if (!seen.count(at)) {
      Fail(what + ": recovered " + Narrow(at));
      continue;
    }
    std::wstring windowsPath = destination + L"\\" + at;
    for (wchar_t& c : windowsPath)
      if (c == L'/') c = L'\\';
    Check(Cksum(ReadFileBytes(windowsPath)) == sum, what + ": " + Narrow(at) + " is identical");
  }
  Check(written.size() >= expected.size(), what + ": " + std::to_string(written.size()) +
                                               " files written for " +
                                               std::to_string(expected.size()));
}

void CheckLogList(Session& session) {
  HWND log = DescendantOfClass(session.status, L"ComboBox");
  const LRESULT lines = log ? SendMessageW(log, CB_GETCOUNT, 0, 0) : 0;
  Check(lines > 0 && lines <= static_cast<LRESULT>(kLogListLimit),
        "the log list keeps at most the newest 4000 lines: " + std::to_string(lines));
  const std::wstring top = log ? ComboItemText(session.Process(), log, 0) : L"";
  Check(SendMessageW(log, CB_GETCURSEL, 0, 0) == 0, "the log list shows its top line");
  Check(!top.empty(), "the log list's top line: " + Narrow(top));
}

// The keys of the list and the tree: Return opens a folder, Backspace goes to the parent,
// Tab moves between the tree and the list.
void CheckKeys(Session& session, HTREEITEM root, const std::wstring& folderName) {
  HWND list = ShowFolder(session, root);
  if (!list) return Fail("keys: the root folder's list");
  const int row = RowNamed(session.Process(), list, folderName);
  if (row < 0) return Fail("keys: the root lists " + Narrow(folderName));
  SetListSelection(session.Process(), list, row, true);
  PostMessageW(session.frame, kViewKey, VK_RETURN, reinterpret_cast<LPARAM>(list));
  Check(WaitFor(
            [&] {
              return TreeItemText(session.Process(), session.tree, Selected(session.tree)) ==
                     folderName;
            },
            5000),
        "Return on a folder in the list opens it in the tree");
  PostMessageW(session.frame, kViewKey, VK_BACK, reinterpret_cast<LPARAM>(list));
  Check(WaitFor([&] { return Selected(session.tree) == root; }, 5000),
        "Backspace in the list selects the parent folder");
  PostMessageW(session.frame, kViewKey, VK_TAB, reinterpret_cast<LPARAM>(session.tree));
  GUITHREADINFO info{sizeof(info)};
  Check(WaitFor(
            [&] {
              return GetGUIThreadInfo(session.program.info.dwThreadId, &info) &&
                     info.hwndFocus == FileList(session.frame);
            },
            5000),
        "Tab from the tree moves the focus to the list");
  PostMessageW(session.frame, kViewKey, VK_TAB, reinterpret_cast<LPARAM>(FileList(session.frame)));
  Check(WaitFor(
            [&] {
              return GetGUIThreadInfo(session.program.info.dwThreadId, &info) &&
                     info.hwndFocus == session.tree;
            },
            5000),
        "Tab from the list moves the focus back to the tree");
}

// ---- lost files of unknown size: the size question

constexpr int kSizeDefaultId = 1087;
constexpr int kSizeCustomId = 1124;
constexpr int kSizeNumberId = 1070;
constexpr int kSizeUnitId = 1089;
constexpr int kScopeThisFileId = 1122;
constexpr int kScopeAnyTypeId = 1086;
constexpr int kSkipFileId = 5;
constexpr int64_t kLostStarts[] = {1536, 5120, 20480};

// A card without a file system: zeros with three JPEG headers, whose size only the distance to
// the next file or an answer gives.
std::wstring WriteLostFilesImage() {
  const std::wstring path = TempFolder(L"lumenard explorer lost.dsk");
  std::vector<char> bytes(4 << 20, 0);
  const unsigned char jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
  for (int64_t start : kLostStarts) std::memcpy(bytes.data() + start, jpeg, sizeof(jpeg));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return written == bytes.size() ? path : std::wstring();
}

std::wstring LostName(int64_t start) { return L"image_" + std::to_wstring(start) + L".JPG"; }

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Checks one radio button of a group as a click does (the dialog hears of it); a click
// itself needs the pointer over the button.
void ChooseRadio(HWND dialog, int id, std::initializer_list<int> group) {
  for (int other : group)
    SendMessageW(GetDlgItem(dialog, other), BM_SETCHECK, other == id ? BST_CHECKED : BST_UNCHECKED,
                 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Answers the next size question: the size radio, then the scope radio, then the button.
bool AnswerSizeQuestion(Session& session, const std::wstring& name, int option, int scope,
                        int button, const std::wstring& customNumber = L"") {
  HWND dialog = WaitForWindow(session.Id(), L"#32770", L"Enter probable file size", kTimeoutMs);
  if (!dialog) {
    Fail("the size question comes for " + Narrow(name));
    return false;
  }
  Check(TextOf(GetDlgItem(dialog, 1230)) == name, "the size question names " + Narrow(name) + ": " +
                                                      Narrow(TextOf(GetDlgItem(dialog, 1230))));
  if (option) ChooseRadio(dialog, option, {1087, 1088, 1123, kSizeCustomId});
  if (!customNumber.empty()) {
    TypeInto(GetDlgItem(dialog, kSizeNumberId), customNumber);
    SendMessageW(GetDlgItem(dialog, kSizeUnitId), CB_SETCURSEL, 1, 0);  // " KB"
  }
  if (scope) ChooseRadio(dialog, scope, {kScopeThisFileId, 1085, kScopeAnyTypeId});
  SaveScreenshot(dialog, L"explorer-size-question.bmp");
  Press(dialog, button);
  return WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kTimeoutMs);
}

// Recover of the three lost files: the first gets a custom 2 KB for itself alone, the second
// is skipped, the third takes the type's default size for all files of any type; a second run
// then asks nothing and gives every file that default size.
void CheckSizeQuestions(Session& session) {
  const std::wstring image = WriteLostFilesImage();
  if (image.empty()) return Fail("the lost-files image could not be written");
  if (!LoadImageFile(session, image)) return;
  Analyse(session, "lost files");
  HTREEITEM drive = DriveItem(session, image);
  HTREEITEM lost =
      drive ? ChildNamed(session.Process(), session.tree, drive, L"Lost files") : nullptr;
  HTREEITEM images = lost ? ChildNamed(session.Process(), session.tree, lost, L"Images") : nullptr;
  if (!images) return Fail("lost files: the tree has \"Lost files\" with \"Images\"");
  HWND list = ShowFolder(session, images);
  if (!list) return Fail("lost files: the list of Images");
  for (int64_t start : kLostStarts) {
    const int row = RowNamed(session.Process(), list, LostName(start));
    if (row < 0) return Fail("lost files: the list shows " + Narrow(LostName(start)));
    SetListSelection(session.Process(), list, row, true);
  }
  PostMessageW(session.frame, kViewFocus, reinterpret_cast<WPARAM>(list), 0);
  Sleep(300);

  const std::wstring first = TempFolder(L"lumenard explorer sizes");
  RemoveTree(first);
  PostRecover(session);
  HWND dialog = WaitForWindow(session.Id(), L"#32770", L"Recover", kTimeoutMs);
  if (!dialog) return Fail("lost files: Recover opens its dialog");
  TypeInto(GetDlgItem(dialog, kRecoverDestinationId), first);
  Press(dialog, IDOK);
  if (!AnswerSizeQuestion(session, LostName(kLostStarts[0]), kSizeCustomId, kScopeThisFileId, IDOK,
                          L"2") ||
      !AnswerSizeQuestion(session, LostName(kLostStarts[1]), 0, 0, kSkipFileId) ||
      !AnswerSizeQuestion(session, LostName(kLostStarts[2]), kSizeDefaultId, kScopeAnyTypeId, IDOK))
    return;
  HWND progress = WaitForWindow(session.Id(), L"#32770", L"Recovering files...", kTimeoutMs);
  if (!progress ||
      !WaitFor([&] { return IsWindowVisible(GetDlgItem(progress, IDOK)) != FALSE; }, 60000))
    return Fail("lost files: the run ends");
  Press(progress, IDOK);
  WaitFor([&] { return !IsWindow(progress); }, kTimeoutMs);
  const std::wstring folder = first + L"\\Lost files\\Images\\";
  Check(FileSize(folder + LostName(kLostStarts[0])) == 2048,
        "a custom size of 2 KB for this file: " +
            std::to_string(FileSize(folder + LostName(kLostStarts[0]))));
  Check(FileSize(folder + LostName(kLostStarts[1])) == -1, "a skipped file is not written");
  const int64_t typical = FileSize(folder + LostName(kLostStarts[2]));
  Check(typical > 0, "the type's default size: " + std::to_string(typical));

  // "All files of any type" holds for the next run: no question, the default size for each.
  const std::wstring second = TempFolder(L"lumenard explorer sizes again");
  RemoveTree(second);
  if (!RecoverTo(session, second, "sizes-again")) return;
  Check(!FindWindowOf(session.Id(), L"#32770", L"Enter probable file size"),
        "no size question after \"All files of any type\"");
  for (int64_t start : kLostStarts)
    Check(FileSize(second + L"\\Lost files\\Images\\" + LostName(start)) == typical,
          "the remembered default size for " + Narrow(LostName(start)));
  DeleteFileW(image.c_str());
}

// FAT32: analysed, compared, recovered (a file and a folder chosen in the list, then a marked
// folder), the keys; NTFS: analysed and compared.
void Scenario(const std::wstring& path) {
  const std::wstring fat = FixturePath(L"fat/fat32.img");
  const std::wstring ntfs = FixturePath(L"ntfs/basic.img");
  if (fat.empty()) return Fail("the FAT32 fixture is missing (./run fixtures)");
  std::vector<uint8_t> record = StoredRecord();
  if (record.empty()) record.assign(kRecordSize, 0);
  for (size_t flag = 0; flag < 4; ++flag) SetWord(record, kShowLegendOffset + 4 * flag, 1);
  SetWord(record, kShowSplashOffset, 0);
  SetWord(record, kConfirmExitOffset, 0);
  SetWord(record, kConfirmRecoveryAbortOffset, 0);
  SetWord(record, kKeepFolderStructureOffset, 1);
  SetWord(record, kLogFoundFilesOffset, 1);
  if (!WriteSettings(record)) return Fail("the settings could not be written");

  Session session;
  session.programPath = path;
  if (!session.program.Start(path)) return Fail("lumenard.exe could not be started");
  HWND wizard = nullptr;
  WaitFor([&] { return (wizard = FindProgramWindow(session.Id(), L"#32770", L"Lumenard")); },
          kStartTimeoutMs);
  if (!wizard) return Fail("the wizard-mode window did not appear");
  session.frame = SwitchTo(session.program, wizard, kModeExplorer);
  if (!session.frame) return;
  Sleep(1000);
  session.tree = DescendantOfClass(session.frame, WC_TREEVIEWW);
  session.status = DescendantOfClass(session.frame, STATUSCLASSNAMEW);
  session.progress = session.status ? DescendantOfClass(session.status, PROGRESS_CLASSW) : nullptr;
  if (!session.tree || !session.status || !session.progress) return Fail("the frame's controls");

  // FAT32.
  if (!LoadImageFile(session, fat)) return;
  Analyse(session, "FAT32");
  HTREEITEM drive = DriveItem(session, fat);
  SaveScreenshot(session.frame, L"explorer-fat32-analysed.bmp");
  CheckLogList(session);
  const std::vector<Row> rows = CliRows(path, fat);
  Check(!rows.empty(), "lumenard-cli analyse lists the FAT32 fixture");
  HTREEITEM root = RootFolderItem(session, drive);
  if (!root) return Fail("FAT32: the analysed drive has a root folder");
  CompareWithCli(session, root, rows, "FAT32");

  // A file and a folder of the root, selected in the list.
  std::wstring fileName, folderName;
  for (const Row& row : rows)
    if (!row.deleted && Parent(row.path).empty()) {
      if (row.folder && folderName.empty()) folderName = Leaf(row.path);
      if (!row.folder && row.size > 0 && fileName.empty()) fileName = Leaf(row.path);
    }
  const std::wstring manifest = fat.substr(0, fat.size() - 4) + L".manifest";
  HWND list = ShowFolder(session, root);
  const int fileRow = list ? RowNamed(session.Process(), list, fileName) : -1;
  const int folderRow = list ? RowNamed(session.Process(), list, folderName) : -1;
  if (fileRow < 0 || folderRow < 0) return Fail("FAT32: the root lists a file and a folder");
  SetListSelection(session.Process(), list, fileRow, true);
  SetListSelection(session.Process(), list, folderRow, true);
  PostMessageW(session.frame, kViewFocus, reinterpret_cast<WPARAM>(list), 0);
  Sleep(300);
  const std::wstring selectedTo = TempFolder(L"lumenard explorer selected");
  RemoveTree(selectedTo);
  if (RecoverTo(session, selectedTo, "selection")) {
    std::map<std::wstring, uint32_t> expected = ManifestFiles(manifest, folderName);
    const std::map<std::wstring, uint32_t> all = ManifestFiles(manifest, L"");
    if (all.count(fileName)) expected[fileName] = all.at(fileName);
    CheckRecovered(selectedTo, L"", expected, "selection");
  }

  // A marked subfolder of another folder: Recover takes it (and only it) whatever the list's
  // selection.
  std::wstring markedPath;
  HTREEITEM marked = nullptr;
  for (const Row& row : rows)
    if (row.folder && !row.deleted && !Parent(row.path).empty()) {
      marked = FolderItem(session, root, row.path);
      markedPath = row.path;
      break;
    }
  if (marked) {
    PostMessageW(session.frame, kToggleMark, 0,
                 TreeItemParam(session.Process(), session.tree, marked));
    Sleep(300);
    SaveScreenshot(session.frame, L"explorer-marked.bmp");
    const std::wstring markedTo = TempFolder(L"lumenard explorer marked");
    RemoveTree(markedTo);
    if (RecoverTo(session, markedTo, "marked")) {
      const std::map<std::wstring, uint32_t> expected = ManifestFiles(manifest, markedPath);
      std::vector<std::wstring> written;
      ListFiles(markedTo, L"", written);
      CheckRecovered(markedTo, L"", expected, "marked");
      Check(written.size() == expected.size(),
            "marked: only the marked folder's files: " + std::to_string(written.size()) + " for " +
                std::to_string(expected.size()));
    }
    PostMessageW(session.frame, kToggleMark, 0,
                 TreeItemParam(session.Process(), session.tree, marked));
  } else {
    Fail("FAT32: a folder with a subfolder to mark");
  }
  CheckKeys(session, root, folderName);

  // NTFS.
  if (ntfs.empty()) {
    Fail("the NTFS fixture is missing (./run fixtures)");
  } else if (LoadImageFile(session, ntfs)) {
    Analyse(session, "NTFS");
    HTREEITEM ntfsDrive = DriveItem(session, ntfs);
    SaveScreenshot(session.frame, L"explorer-ntfs-analysed.bmp");
    const std::vector<Row> ntfsRows = CliRows(path, ntfs);
    Check(!ntfsRows.empty(), "lumenard-cli analyse lists the NTFS fixture");
    if (HTREEITEM ntfsRoot = RootFolderItem(session, ntfsDrive))
      CompareWithCli(session, ntfsRoot, ntfsRows, "NTFS");
    else
      Fail("NTFS: the analysed drive has a root folder");
  }

  CheckSizeQuestions(session);

  PostMessageW(session.frame, WM_CLOSE, 0, 0);
  Check(session.program.WaitForExit(kTimeoutMs) == 0, "the program ends after the analyses");
}

}  // namespace found

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  if (gui_testing::AnotherProgramRunning()) return 1;
  Scenario(path);
  found::Scenario(path);
  if (g_failures == 0)
    std::printf("lumenard.exe: explorer window, selection, arrangements and exit passed\n");
  return g_failures == 0 ? 0 : 1;
}
