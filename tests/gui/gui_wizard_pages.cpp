// The wizard's first pages in lumenard.exe from the outside, in one start: the Welcome page
// with the version of the program file and the bar of steps; Step 1, whose Next waits for a
// ready drive, loading the FAT image through its own drive menu command; Step 2, where a click
// on a group's box unchecks (and checks again) every type of the group and Next stores it in
// the registry's file types; Step 3's scope stored in ScanMode; Step 4 refusing an unusable
// destination; and the close storing the window's placement. Exit code 0 when every check
// passed.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "program_driver.h"
#include "wizard_driver.h"

namespace {

using gui_testing::Check;
using gui_testing::Fail;
using gui_testing::g_failures;
using gui_testing::Program;
using gui_testing::WaitFor;
using namespace wizard_testing;

constexpr DWORD kStartTimeoutMs = 90000;
constexpr DWORD kTimeoutMs = 30000;

constexpr size_t kShowSplashOffset = 76;
constexpr size_t kConfirmExitOffset = 84;
constexpr size_t kAutoPilotOffset = 140;
constexpr size_t kScanModeOffset = 164;
constexpr size_t kAppModeOffset = 17604;
constexpr size_t kPlacementOffset = 17744;
constexpr size_t kDestinationOffset = 17788;

constexpr UINT kModeWizard = 32840;
constexpr UINT kLoadDriveImage = 32783;
constexpr int kVersionText = 1092;
constexpr int kLeftBar = 3202;
constexpr int kTypeTree = 1042;
constexpr int kScanEntireDrive = 3220;
constexpr int kDestinationEdit = 1032;
constexpr wchar_t kImageName[] = L"wizard-fat.dsk";
constexpr wchar_t kTypesKey[] = L"Software\\Corvane\\Lumenard\\2.0\\File Types";
constexpr int32_t kGroupImages = -115;

void Screenshot(HWND window, const wchar_t* name) {
  gui_testing::SaveWindowScreenshot(window, name, 800);
}

uint32_t WordAt(const std::vector<uint8_t>& record, size_t offset) {
  uint32_t value = 0;
  if (record.size() >= offset + 4) std::memcpy(&value, record.data() + offset, 4);
  return value;
}

bool PrepareSettings() {
  std::vector<uint8_t> record = gui_testing::StoredRecord();
  if (record.empty()) record.assign(gui_testing::kRecordSize, 0);
  auto put = [&](size_t offset, uint32_t value) { std::memcpy(record.data() + offset, &value, 4); };
  put(kShowSplashOffset, 0);
  put(kConfirmExitOffset, 0);
  put(kAutoPilotOffset, 0);
  put(kScanModeOffset, 1);
  put(kAppModeOffset, kModeWizard);
  // No stored placement: the window centres itself.
  std::memset(record.data() + kPlacementOffset, 0, 44);
  record[kPlacementOffset] = 44;
  return gui_testing::WriteSettings(record);
}

// Enabled of every stored type of a group; empty when none is stored.
std::vector<uint32_t> StoredEnabledOfGroup(int32_t groupId) {
  std::vector<uint32_t> flags;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kTypesKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return flags;
  for (DWORD index = 0;; ++index) {
    wchar_t name[300];
    DWORD nameLength = 300, type = 0;
    std::vector<uint8_t> data(16384);
    DWORD size = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    int32_t group = 0;
    if (type != REG_BINARY || size < 12) continue;
    std::memcpy(&group, data.data() + 4, 4);
    if (group == groupId) flags.push_back(WordAt(data, 8));
  }
  RegCloseKey(key);
  return flags;
}

bool AllEqual(const std::vector<uint32_t>& values, uint32_t value) {
  if (values.empty()) return false;
  for (uint32_t v : values)
    if (v != value) return false;
  return true;
}

UINT StateImage(HWND tree, HTREEITEM item) {
  return (TreeView_GetItemState(tree, item, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12;
}

bool ChildrenHaveState(HWND tree, HTREEITEM group, UINT image) {
  int children = 0;
  for (HTREEITEM child = TreeView_GetChild(tree, group); child;
       child = TreeView_GetNextSibling(tree, child), ++children)
    if (StateImage(tree, child) != image) return false;
  return children > 0;
}

void ClickBox(const Program& program, HWND tree, HTREEITEM item) {
  TreeView_EnsureVisible(tree, item);
  const RECT rect = TreeItemTextRect(program.info.hProcess, tree, item);
  ClickAt(tree, rect.left - 8, (rect.top + rect.bottom) / 2);
}

bool NextTo(HWND sheet, int index, const char* what) {
  WaitFor([&] { return ButtonEnabled(sheet, kNextButton); }, kTimeoutMs);
  Press(sheet, PSBTN_NEXT);
  const bool there = WaitFor(
      [&] {
        HWND page = CurrentPage(sheet);
        return page &&
               SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0) == index;
      },
      kTimeoutMs);
  if (!there) Fail(std::string("Next did not lead to ") + what);
  return there;
}

void WelcomePage(HWND sheet) {
  HWND page = CurrentPage(sheet);
  Check(page && GetDlgItem(page, kVersionText), "the wizard starts on the Welcome page");
  // The version resource says "2, 0, 0, 1": major, minor and build.
  Check(ItemTextOf(page, kVersionText) == L"2.0 Build 1",
        "the Welcome page shows \"2.0 Build 1\": " + Narrow(ItemTextOf(page, kVersionText)));
  Check(WaitFor([&] { return ButtonEnabled(sheet, kNextButton); }, kTimeoutMs) &&
            !ButtonEnabled(sheet, kBackButton),
        "the Welcome page offers Next only");
  HWND bar = GetDlgItem(sheet, kLeftBar);
  wchar_t first[128] = {};
  if (bar && SendMessageW(bar, LB_GETTEXTLEN, 0, 0) < 120)
    SendMessageW(bar, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
  Check(bar && SendMessageW(bar, LB_GETCOUNT, 0, 0) == 10 && first[0] == 0x25B6,
        "the bar lists the ten steps with the Welcome page marked");
  Screenshot(sheet, L"wizard-pages-0-welcome.bmp");
}

bool Step1LoadsAndSelectsTheImage(const Program& program, HWND sheet) {
  HWND page = CurrentPage(sheet);
  HWND tree = nullptr;
  WaitFor([&] { return FindTreeItemIn(program.info.hProcess, page, L"My Computer", &tree); },
          kTimeoutMs);
  if (!tree) return Fail("Step 1 shows no drive tree"), false;
  SelectTreeItem(tree, TreeView_GetRoot(tree));
  Sleep(500);
  Check(!ButtonEnabled(sheet, kNextButton) && ButtonEnabled(sheet, kBackButton),
        "Step 1 offers Back but not Next while no drive is selected");

  // The drive menu's Load Drive Image, typed into the file dialog.
  const std::wstring image = FixturePath(std::wstring(L"wizard\\") + kImageName);
  PostMessageW(page, WM_COMMAND, kLoadDriveImage, 0);
  HWND dialog = nullptr;
  WaitFor(
      [&] {
        return (dialog = FindTopWindow(program.info.dwProcessId, L"#32770", L"Load Drive Image")) !=
               nullptr;
      },
      kTimeoutMs);
  if (!dialog) return Fail("Step 1's Load Drive Image shows no dialog"), false;
  std::vector<HWND> edits;
  WaitFor([&] { return !(edits = Descendants(dialog, L"Edit")).empty(); }, 10000);
  if (edits.empty()) return Fail("the file dialog has no name box"), false;
  SetWindowTextW(edits.front(), image.c_str());
  Click(dialog, IDOK);
  HTREEITEM node = nullptr;
  WaitFor([&] { return (node = FindTreeItemIn(program.info.hProcess, page, kImageName, &tree)); },
          kTimeoutMs);
  if (!node) return Fail("the loaded image is not a drive of Step 1"), false;
  Check(WaitFor([&] { return TreeView_GetSelection(tree) == node; }, kTimeoutMs),
        "the loaded image is selected");
  SelectTreeItem(tree, node);
  Check(WaitFor([&] { return ButtonEnabled(sheet, kNextButton); }, kTimeoutMs),
        "Step 1 offers Next once the ready image is selected");
  Screenshot(sheet, L"wizard-pages-1-drive.bmp");
  return true;
}

void Step2StoresTheGroupsBoxes(const Program& program, HWND sheet) {
  HWND page = CurrentPage(sheet);
  HWND tree = GetDlgItem(page, kTypeTree);
  HTREEITEM images =
      tree ? FindTreeItem(program.info.hProcess, tree, TreeView_GetRoot(tree), L"Images") : nullptr;
  if (!images) return Fail("Step 2 lists no group \"Images\"");
  Check(StateImage(tree, images) == 2 && ChildrenHaveState(tree, images, 2),
        "\"Images\" and its types start checked");
  ClickBox(program, tree, images);
  Check(WaitFor([&] { return StateImage(tree, images) == 1; }, 5000) &&
            ChildrenHaveState(tree, images, 1),
        "a click on the box of \"Images\" unchecks the group and all its types");
  TreeView_Expand(tree, images, TVE_EXPAND);
  Screenshot(sheet, L"wizard-pages-2-types.bmp");
  if (!NextTo(sheet, 3, "Step 3")) return;
  Check(AllEqual(StoredEnabledOfGroup(kGroupImages), 0),
        "leaving Step 2 stores Enabled 0 for every type of \"Images\"");

  Press(sheet, PSBTN_BACK);
  if (!WaitFor([&] { return CurrentPage(sheet) == page; }, kTimeoutMs))
    return Fail("Back from Step 3 did not return to Step 2");
  // One type checks its group again; then the group's box checks the rest.
  HTREEITEM first = TreeView_GetChild(tree, images);
  ClickBox(program, tree, first);
  Check(
      WaitFor([&] { return StateImage(tree, first) == 2; }, 5000) && StateImage(tree, images) == 3,
      "checking one type shows its group partly checked");
  ClickBox(program, tree, images);
  Check(WaitFor([&] { return StateImage(tree, images) == 2; }, 5000) &&
            ChildrenHaveState(tree, images, 2),
        "a click on the partly checked group checks all its types");
  if (!NextTo(sheet, 3, "Step 3")) return;
  Check(AllEqual(StoredEnabledOfGroup(kGroupImages), 1),
        "leaving Step 2 again stores Enabled 1 for every type of \"Images\"");
}

void Step3StoresTheScope(HWND sheet) {
  HWND page = CurrentPage(sheet);
  // Posted clicks, as a user's: the program saves its settings when its queue runs empty.
  ClickAt(GetDlgItem(page, kScanEntireDrive), 5, 5);
  const bool stored = WaitFor(
      [&] { return WordAt(gui_testing::StoredRecord(), kScanModeOffset) == 0; }, kTimeoutMs);
  Check(stored && SendMessageW(GetDlgItem(page, kScanEntireDrive), BM_GETCHECK, 0, 0) == 1,
        "\"Scan entire drive\" is stored as ScanMode 0: " +
            std::to_string(WordAt(gui_testing::StoredRecord(), kScanModeOffset)) + " " +
            std::to_string(SendMessageW(GetDlgItem(page, kScanEntireDrive), BM_GETCHECK, 0, 0)));
  Screenshot(sheet, L"wizard-pages-3-scope.bmp");
}

void Step4RefusesAnUnusableDestination(const Program& program, HWND sheet) {
  HWND page = CurrentPage(sheet);
  // A folder below a file cannot be made.
  const std::wstring blocked = FixturePath(std::wstring(L"wizard\\") + kImageName) + L"\\out\\";
  SetWindowTextW(GetDlgItem(page, kDestinationEdit), blocked.c_str());
  Press(sheet, PSBTN_NEXT);
  Sleep(1500);
  // Whatever CheckDestination says in its message, the page stays.
  for (int i = 0; i < 3; ++i) {
    if (HWND box = FindTopWindow(program.info.dwProcessId, L"#32770", nullptr);
        box && box != sheet && !IsChild(sheet, box))
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    Sleep(500);
  }
  Check(CurrentPage(sheet) == page, "Step 4 keeps an unusable destination from going on");
  const std::vector<uint8_t> record = gui_testing::StoredRecord();
  std::wstring stored;
  for (size_t at = kDestinationOffset; at + 1 < record.size() && record[at] | record[at + 1];
       at += 2)
    stored += static_cast<wchar_t>(record[at] | (record[at + 1] << 8));
  Screenshot(sheet, L"wizard-pages-4-destination.bmp");
  Check(stored == blocked, "Step 4 stores the destination it shows");
}

void Scenario(const std::wstring& path) {
  if (!PrepareSettings()) return Fail("the settings could not be written");
  if (FixturePath(std::wstring(L"wizard\\") + kImageName).empty())
    return Fail("the wizard's image is not made (./run fixtures)");
  Program program;
  if (!program.Start(path)) return Fail("lumenard.exe could not be started");
  HWND sheet = nullptr;
  WaitFor(
      [&] {
        return (sheet = FindTopWindow(program.info.dwProcessId, L"#32770", L"Lumenard")) != nullptr;
      },
      kStartTimeoutMs);
  if (!sheet) return Fail("the wizard window did not appear");
  Sleep(1000);
  WelcomePage(sheet);
  if (!NextTo(sheet, 1, "Step 1") || !Step1LoadsAndSelectsTheImage(program, sheet)) return;
  if (!NextTo(sheet, 2, "Step 2")) return;
  Step2StoresTheGroupsBoxes(program, sheet);
  if (CurrentPage(sheet) && g_failures == 0) Step3StoresTheScope(sheet);
  if (!NextTo(sheet, 4, "Step 4")) return;
  Step4RefusesAnUnusableDestination(program, sheet);

  PostMessageW(sheet, WM_CLOSE, 0, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "closing the wizard ends the program");
  const std::vector<uint8_t> record = gui_testing::StoredRecord();
  WINDOWPLACEMENT placement{};
  if (record.size() >= kPlacementOffset + sizeof(placement))
    std::memcpy(&placement, record.data() + kPlacementOffset, sizeof(placement));
  Check(placement.length == sizeof(placement) &&
            placement.rcNormalPosition.right > placement.rcNormalPosition.left,
        "the close stores the window's placement");
}

}  // namespace

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  if (gui_testing::AnotherProgramRunning()) return 1;
  Scenario(path);
  if (g_failures == 0) std::printf("wizard pages: Welcome, Steps 1 to 4 and the close passed\n");
  return g_failures == 0 ? 0 : 1;
}
