// Drive images in lumenard.exe from the outside, in one start: the explorer window loads a FAT
// image through the Load Drive Image dialog (the path typed into it, OK pressed), the image
// joins the drive tree selected and the drive pane shows its file system, size and label;
// Create Drive Image of that drive writes a file identical to it, the progress dialog ends
// saying so, and the new image joins the tree. Tree items and list rows are read in the
// program's memory. Screenshots go to $LUMENARD_ARTIFACTS. Exit code 0 when every check passed.
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
using gui_testing::ClassOf;
using gui_testing::Fail;
using gui_testing::g_failures;
using gui_testing::kFrameClass;
using gui_testing::kRecordSize;
using gui_testing::Program;
using gui_testing::StoredRecord;
using gui_testing::WaitFor;
using gui_testing::WriteSettings;

constexpr size_t kShowLegendOffset = 60;  // then ShowLog, ShowStatusBar, ShowToolbar
constexpr size_t kShowSplashOffset = 76;
constexpr size_t kConfirmExitOffset = 84;
constexpr UINT kModeExplorer = 32839;
constexpr UINT kCreateDriveImage = 32782;
constexpr UINT kLoadDriveImage = 32783;
constexpr int kImageOutcomeId = 3113;
constexpr DWORD kStartTimeoutMs = 90000;
constexpr DWORD kTimeoutMs = 30000;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// $LUMENARD_FIXTURES/fat/fat12.img as a Windows path; empty when the fixtures are not made.
std::wstring FixtureImage() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"LUMENARD_FIXTURES", buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path = std::wstring(buffer, length) + L"/fat/fat12.img";
  if (path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

std::vector<char> ReadFileBytes(const std::wstring& path) {
  std::vector<char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read != 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  CloseHandle(file);
  return bytes;
}

// ---- the stored settings: every pane shown, no splash, no exit question

bool PrepareSettings() {
  std::vector<uint8_t> record = StoredRecord();
  if (record.empty()) record.assign(kRecordSize, 0);
  const uint32_t zero = 0, one = 1;
  for (size_t flag = 0; flag < 4; ++flag)
    std::memcpy(record.data() + kShowLegendOffset + 4 * flag, &one, 4);
  std::memcpy(record.data() + kShowSplashOffset, &zero, 4);
  std::memcpy(record.data() + kConfirmExitOffset, &zero, 4);
  return WriteSettings(record);
}

// ---- windows of the program

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                      nullptr);
  return text;
}

struct Search {
  DWORD process;
  std::wstring className;
  const wchar_t* title;
  HWND found;
};

HWND FindProgramWindow(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
  Search search{process, className, title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process || !IsWindowVisible(window)) return TRUE;
        if (ClassOf(window) != search->className) return TRUE;
        if (search->title && TextOf(window) != search->title) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForProgramWindow(DWORD process, const wchar_t* className, const wchar_t* title,
                          DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] { return (window = FindProgramWindow(process, className, title)) != nullptr; },
          timeoutMs);
  return window;
}

// The visible descendants of a class.
std::vector<HWND> Descendants(HWND parent, const wchar_t* className) {
  struct Found {
    const wchar_t* className;
    std::vector<HWND> windows;
  } found{className, {}};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* found = reinterpret_cast<Found*>(parameter);
        if (IsWindowVisible(window) && lstrcmpiW(ClassOf(window).c_str(), found->className) == 0)
          found->windows.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

// Memory in the program's process for the structures its controls fill.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t bytes)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  uint8_t* At(size_t offset) const { return static_cast<uint8_t*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t bytes) const {
    return WriteProcessMemory(process_, At(offset), data, bytes, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t bytes) const {
    return ReadProcessMemory(process_, At(offset), data, bytes, nullptr) != FALSE;
  }
  explicit operator bool() const { return address_ != nullptr; }

 private:
  HANDLE process_;
  void* address_;
};

constexpr size_t kTextOffset = 512;
constexpr int kTextChars = 512;

std::wstring TreeItemText(HANDLE process, HWND tree, HTREEITEM item) {
  RemoteBuffer remote(process, kTextOffset + kTextChars * sizeof(wchar_t));
  if (!remote) return {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = reinterpret_cast<wchar_t*>(remote.At(kTextOffset));
  data.cchTextMax = kTextChars;
  remote.Write(0, &data, sizeof(data));
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)));
  std::vector<wchar_t> text(kTextChars + 1, L'\0');
  remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t));
  return text.data();
}

// The tree's item with the text, searched depth first; null when there is none.
HTREEITEM FindTreeItem(HANDLE process, HWND tree, HTREEITEM item, const std::wstring& text) {
  for (; item; item = TreeView_GetNextSibling(tree, item)) {
    if (TreeItemText(process, tree, item) == text) return item;
    if (HTREEITEM found = FindTreeItem(process, tree, TreeView_GetChild(tree, item), text))
      return found;
  }
  return nullptr;
}

std::wstring ListItemText(HANDLE process, HWND list, int row, int column) {
  RemoteBuffer remote(process, kTextOffset + kTextChars * sizeof(wchar_t));
  if (!remote) return {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.At(kTextOffset));
  item.cchTextMax = kTextChars;
  remote.Write(0, &item, sizeof(item));
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(remote.At(0)));
  std::vector<wchar_t> text(kTextChars + 1, L'\0');
  remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t));
  return text.data();
}

// The drive pane: the visible list whose first column has a "File system" row; its rows as
// name and value.
std::vector<std::pair<std::wstring, std::wstring>> DriveFacts(HANDLE process, HWND frame) {
  for (HWND list : Descendants(frame, L"SysListView32")) {
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
      rows.emplace_back(ListItemText(process, list, row, 0), ListItemText(process, list, row, 1));
    for (const auto& [name, value] : rows)
      if (name == L"File system") return rows;
  }
  return {};
}

std::wstring Fact(const std::vector<std::pair<std::wstring, std::wstring>>& facts,
                  const std::wstring& name) {
  for (const auto& [factName, value] : facts)
    if (factName == name) return value;
  return L"(missing)";
}

void TypeInto(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

void SaveScreenshot(HWND window, const wchar_t* name) {
  gui_testing::SaveWindowScreenshot(window, name, 1000);
}

// Types the path into the program's file dialog with the caption and presses OK.
bool ChooseFile(DWORD process, HWND frame, UINT command, const wchar_t* caption,
                const std::wstring& path) {
  // The command as the menu sends it; once more if the window was still settling.
  HWND dialog = nullptr;
  for (int attempt = 0; attempt < 2 && !dialog; ++attempt) {
    PostMessageW(frame, WM_COMMAND, command, 0);
    dialog = WaitForProgramWindow(process, L"#32770", caption, kTimeoutMs / 2);
  }
  if (!dialog) {
    SaveScreenshot(GetDesktopWindow(), L"views-failure.bmp");
    Fail(std::string("no dialog \"") + Narrow(caption) + "\"");
    return false;
  }
  std::vector<HWND> edits;
  WaitFor([&] { return !(edits = Descendants(dialog, L"Edit")).empty(); }, 10000);
  if (edits.empty()) {
    EnumChildWindows(
        dialog,
        [](HWND window, LPARAM) -> BOOL {
          std::fprintf(stderr, "  child %s visible %d\n", Narrow(ClassOf(window)).c_str(),
                       IsWindowVisible(window));
          return TRUE;
        },
        0);
    Fail("the file dialog has no name box");
    return false;
  }
  TypeInto(edits.front(), path);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  if (!WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kTimeoutMs)) {
    Fail("the file dialog did not take the path");
    return false;
  }
  return true;
}

std::wstring Grouped(size_t value) {
  std::wstring digits = std::to_wstring(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, L",");
  return digits;
}

// ---- the scenario

void LoadImageThroughTheDialog(const Program& program, HWND frame, HWND tree,
                               const std::wstring& image) {
  const DWORD process = program.info.dwProcessId;
  if (!ChooseFile(process, frame, kLoadDriveImage, L"Load Drive Image", image)) return;
  HTREEITEM node = nullptr;
  WaitFor(
      [&] {
        return (node = FindTreeItem(program.info.hProcess, tree, TreeView_GetRoot(tree),
                                    L"fat12.img")) != nullptr;
      },
      kTimeoutMs);
  if (!node) return Fail("the loaded image has no node in the drive tree");
  Check(TreeView_GetSelection(tree) == node, "the loaded image is selected");

  const std::vector<char> bytes = ReadFileBytes(image);
  std::wstring label;
  for (size_t at = 0x2B; at < 0x36 && at < bytes.size(); ++at) label += bytes[at];
  while (!label.empty() && label.back() == L' ') label.pop_back();
  std::vector<std::pair<std::wstring, std::wstring>> facts;
  WaitFor([&] { return !(facts = DriveFacts(program.info.hProcess, frame)).empty(); }, kTimeoutMs);
  Check(Fact(facts, L"File system") == L"FAT12",
        "the drive pane names the file system: " + Narrow(Fact(facts, L"File system")));
  Check(Fact(facts, L"Size").rfind(Grouped(bytes.size()) + L" bytes", 0) == 0,
        "the drive pane gives the size: " + Narrow(Fact(facts, L"Size")));
  Check(!label.empty() && Fact(facts, L"Label") == label,
        "the drive pane gives the label: " + Narrow(Fact(facts, L"Label")));
  SaveScreenshot(frame, L"views-image-loaded.bmp");
}

void CreateImageOfTheSelectedDrive(const Program& program, HWND frame, HWND tree,
                                   const std::wstring& source) {
  const DWORD process = program.info.dwProcessId;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring target = std::wstring(temp) + L"lumenard views copy.dsk";
  DeleteFileW(target.c_str());
  if (!ChooseFile(process, frame, kCreateDriveImage, L"Create Drive Image", target)) return;
  HWND progress = WaitForProgramWindow(process, L"#32770", L"Creating Drive Image", kTimeoutMs);
  if (!progress) return Fail("no progress dialog");
  HWND button = GetDlgItem(progress, IDCANCEL);
  if (!WaitFor([&] { return TextOf(button) == L"OK"; }, kTimeoutMs))
    return Fail("the progress dialog does not end");
  const std::wstring outcome = TextOf(GetDlgItem(progress, kImageOutcomeId));
  Check(outcome == L"The image is complete: 2,880 sectors copied.",
        "the progress dialog tells how the copy ended: " + Narrow(outcome));
  SaveScreenshot(progress, L"views-image-created.bmp");
  PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  Check(WaitFor([&] { return !IsWindow(progress); }, kTimeoutMs), "OK closes the progress dialog");
  const std::vector<char> original = ReadFileBytes(source);
  Check(!original.empty() && ReadFileBytes(target) == original,
        "the image is identical to its drive");
  HTREEITEM node = nullptr;
  WaitFor(
      [&] {
        return (node = FindTreeItem(program.info.hProcess, tree, TreeView_GetRoot(tree),
                                    L"lumenard views copy.dsk")) != nullptr;
      },
      kTimeoutMs);
  Check(node != nullptr, "the complete image is loaded as a drive");
  Check(node && TreeView_GetSelection(tree) == node, "the new image is selected");
  SaveScreenshot(frame, L"views-image-copy-loaded.bmp");
  DeleteFileW(target.c_str());
}

void Scenario(const std::wstring& program_path, const std::wstring& image) {
  if (!PrepareSettings()) return Fail("the settings could not be written");
  Program program;
  if (!program.Start(program_path)) return Fail("lumenard.exe could not be started");
  const DWORD process = program.info.dwProcessId;
  HWND wizard = WaitForProgramWindow(process, L"#32770", L"Lumenard", kStartTimeoutMs);
  if (!wizard) return Fail("the first window did not appear");
  PostMessageW(wizard, WM_COMMAND, kModeExplorer, 0);
  HWND frame = WaitForProgramWindow(process, kFrameClass, nullptr, kStartTimeoutMs);
  if (!frame) return Fail("the explorer window did not appear");
  std::vector<HWND> trees;
  WaitFor([&] { return !(trees = Descendants(frame, L"SysTreeView32")).empty(); }, kTimeoutMs);
  if (trees.empty()) return Fail("the explorer window has no drive tree");
  HWND tree = trees.front();
  // The window lays itself out and takes its first command states after it appears.
  Sleep(2000);
  Check(TreeItemText(program.info.hProcess, tree, TreeView_GetRoot(tree)) == L"My Computer",
        "the drive tree starts with \"My Computer\"");

  LoadImageThroughTheDialog(program, frame, tree, image);
  if (g_failures == 0) CreateImageOfTheSelectedDrive(program, frame, tree, image);

  PostMessageW(frame, WM_CLOSE, 0, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "the program ends when its window closes");
}

}  // namespace

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  const std::wstring image = FixtureImage();
  if (image.empty()) {
    std::printf("skipped: no FAT fixtures (./run fixtures)\n");
    return 0;
  }
  if (gui_testing::AnotherProgramRunning()) return 1;
  Scenario(path, image);
  if (g_failures == 0) std::printf("lumenard.exe: drive image loaded, copied and loaded again\n");
  return g_failures == 0 ? 0 : 1;
}
