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
#include "remote_controls.h"
#include "test_files.h"

namespace {

using gui_testing::Check;
using gui_testing::ClassOf;
using gui_testing::Descendants;
using gui_testing::Fail;
using gui_testing::FindTreeItem;
using gui_testing::FixturePath;
using gui_testing::g_failures;
using gui_testing::kFrameClass;
using gui_testing::kRecordSize;
using gui_testing::ListItemText;
using gui_testing::Narrow;
using gui_testing::Program;
using gui_testing::ReadFileBytes;
using gui_testing::StoredRecord;
using gui_testing::TextOf;
using gui_testing::TreeItemText;
using gui_testing::TypeInto;
using gui_testing::WaitFor;
using gui_testing::WaitForTopWindow;
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
    dialog = WaitForTopWindow(process, L"#32770", caption, kTimeoutMs / 2);
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
  HWND progress = WaitForTopWindow(process, L"#32770", L"Creating Drive Image", kTimeoutMs);
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
  HWND wizard = WaitForTopWindow(process, L"#32770", L"Lumenard", kStartTimeoutMs);
  if (!wizard) return Fail("the first window did not appear");
  PostMessageW(wizard, WM_COMMAND, kModeExplorer, 0);
  HWND frame = WaitForTopWindow(process, kFrameClass, nullptr, kStartTimeoutMs);
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
  const std::wstring image = FixturePath(L"fat/fat12.img");
  if (image.empty()) {
    std::printf("skipped: no FAT fixtures (./run fixtures)\n");
    return 0;
  }
  if (gui_testing::AnotherProgramRunning()) return 1;
  Scenario(path, image);
  if (g_failures == 0) std::printf("lumenard.exe: drive image loaded, copied and loaded again\n");
  return g_failures == 0 ? 0 : 1;
}
