// The wizard in lumenard.exe from the outside, as a new user walks it, through Win32 messages
// only. Two starts of the program on the wizard's FAT image (tests/fixtures/wizard.sh), loaded
// as a drive image on Step 1:
//
// 1. By hand: the default start shows the Welcome page; Next on Step 1 waits for a ready
//    drive; Step 2 unchecks "Documents"; Step 5 scans the file system (counters and progress
//    log fill); Step 6 shows the found folders and recovers a deleted photo, byte for byte;
//    Back to Step 5 and its question 223 lead to Step 2, and Step 5 scans anew;
//    Step 7 scans the sectors without finding the lost document; Step 8 shows "Lost files"
//    and asks text 222 when left without a recovery (also after a Recover dialog that was
//    cancelled); the Finish page counts what was found and recovered, and "Process Another
//    Drive" goes back to Step 1.
// 2. AutoPilot: from Step 4 on the wizard runs both passes, recovers every deleted and lost
//    file by itself and ends on the Finish page.
//
// A screenshot of every page goes to $LUMENARD_ARTIFACTS. Exit code 0 when every check passed.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program_driver.h"
#include "wizard_driver.h"

namespace {

using gui_testing::Check;
using gui_testing::Fail;
using gui_testing::g_failures;
using gui_testing::kRecordSize;
using gui_testing::Program;
using gui_testing::WaitFor;
using namespace wizard_testing;

constexpr DWORD kStartTimeoutMs = 90000;
constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kScanTimeoutMs = 120000;

// Settings record offsets.
constexpr size_t kShowSplashOffset = 76;
constexpr size_t kConfirmExitOffset = 84;
constexpr size_t kAutoPilotOffset = 140;
constexpr size_t kKeepFolderStructureOffset = 144;
constexpr size_t kLogFoundFilesOffset = 152;
constexpr size_t kScanModeOffset = 164;
constexpr size_t kSearchThreadsOffset = 172;
constexpr size_t kReadRetriesOffset = 176;
constexpr size_t kWizardPlacementOffset = 17744;
constexpr size_t kAppModeOffset = 17604;
constexpr size_t kDestinationOffset = 17788;

constexpr UINT kModeWizard = 32840;
constexpr UINT kLoadDriveImage = 32783;

// The pages, by their place in the sheet.
enum PageIndex { Welcome, Step1, Step2, Step3, Step4, Step5, Step6, Step7, Step8, Finish };

// Controls of the pages.
constexpr int kVersionText = 1092;
constexpr int kTypeTree = 1042;
constexpr int kAutoPilotBox = 1185;
constexpr int kDestinationEdit = 1032;
constexpr int kFilesFound = 1172;
constexpr int kScanStatus = 1197;
constexpr int kScanLog = 1171;
constexpr int kRecoverButton = 1177;
constexpr int kFinishFound = 1181;
constexpr int kFinishRecovered = 1180;
constexpr int kAnotherDrive = 1030;

constexpr wchar_t kImageName[] = L"wizard-fat.dsk";
constexpr wchar_t kStartFromBeginning[] =
    L"You are not allowed to change options after recovery is started. Do you want to start "
    L"recovery from begining?";
constexpr wchar_t kLeaveSectorsPage[] =
    L"You haven't restored any of the files. Please make sure that you have marked all required "
    L"files and pressed the \"Recover\" button in the current dialogue. Do you want to move on "
    L"to the next step?";

struct Fixture {
  std::wstring image;
  std::wstring files;  // the originals, with a trailing backslash
  // The deleted files: the path a reader of the volume sees, and the original's name.
  std::vector<std::pair<std::wstring, std::wstring>> deleted;
};

bool LoadFixture(Fixture& fixture) {
  fixture.image = FixturePath(L"wizard/wizard-fat.dsk");
  const std::wstring list = FixturePath(L"wizard/deleted.txt");
  if (fixture.image.empty() || list.empty()) return false;
  fixture.files = FixturePath(L"wizard/files") + L"\\";
  const std::vector<char> bytes = ReadFileBytes(list);
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::wstring path(line.begin(), line.begin() + tab),
        original(line.begin() + tab + 1, line.end());
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    fixture.deleted.emplace_back(path, original);
  }
  return !fixture.deleted.empty();
}

// ---- settings: wizard mode, no splash, no exit question, a destination of the test's own

bool PrepareSettings(const std::wstring& destination, bool autoPilot) {
  std::vector<uint8_t> record = gui_testing::StoredRecord();
  if (record.empty()) record.assign(kRecordSize, 0);
  auto put = [&](size_t offset, uint32_t value) { std::memcpy(record.data() + offset, &value, 4); };
  put(kShowSplashOffset, 0);
  put(kConfirmExitOffset, 0);
  put(kAutoPilotOffset, autoPilot ? 1 : 0);
  put(kKeepFolderStructureOffset, 1);
  put(kLogFoundFilesOffset, 0);
  put(kScanModeOffset, 0);
  // What the program's own defaults hold, for a record the test makes from nothing.
  put(kSearchThreadsOffset, 1);
  put(kReadRetriesOffset, 10);
  uint32_t placementLength = 0;
  std::memcpy(&placementLength, record.data() + kWizardPlacementOffset, 4);
  if (placementLength == 0) put(kWizardPlacementOffset, 44);
  put(kAppModeOffset, kModeWizard);
  std::memset(record.data() + kDestinationOffset, 0, 4096 * 2);
  std::memcpy(record.data() + kDestinationOffset, destination.c_str(),
              destination.size() * sizeof(wchar_t));
  return gui_testing::WriteSettings(record);
}

void Screenshot(HWND window, const std::wstring& name) {
  gui_testing::SaveWindowScreenshot(window, name.c_str(), 800);
}

int PageIndexOf(HWND sheet) {
  HWND page = CurrentPage(sheet);
  return page ? static_cast<int>(
                    SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0))
              : -1;
}

bool WaitForPageIndex(HWND sheet, int index, DWORD timeoutMs = kTimeoutMs) {
  return WaitFor([&] { return PageIndexOf(sheet) == index; }, timeoutMs);
}

// Next, and the page it leads to.
bool Next(HWND sheet, int expected, const char* what) {
  WaitFor([&] { return ButtonEnabled(sheet, kNextButton); }, kTimeoutMs);
  Press(sheet, PSBTN_NEXT);
  if (WaitForPageIndex(sheet, expected)) return true;
  Fail(std::string("Next did not lead to ") + what + " (page " +
       std::to_string(PageIndexOf(sheet)) + ")");
  return false;
}

HWND WaitForWizard(DWORD process) {
  HWND sheet = nullptr;
  WaitFor([&] { return (sheet = FindTopWindow(process, L"#32770", L"Lumenard")) != nullptr; },
          kStartTimeoutMs);
  return sheet;
}

// ---- Step 1: the image loaded through the drive menu's Load Drive Image

bool LoadImageOnStep1(const Program& program, HWND sheet, const Fixture& fixture) {
  const DWORD process = program.info.dwProcessId;
  HWND page = CurrentPage(sheet);
  HWND dialog = nullptr;
  for (int attempt = 0; attempt < 2 && !dialog; ++attempt) {
    PostMessageW(page, WM_COMMAND, kLoadDriveImage, 0);
    WaitFor(
        [&] {
          return (dialog = FindTopWindow(process, L"#32770", L"Load Drive Image")) != nullptr;
        },
        kTimeoutMs / 2);
  }
  if (!dialog) {
    Fail("Load Drive Image on Step 1 shows no file dialog");
    return false;
  }
  std::vector<HWND> edits;
  WaitFor([&] { return !(edits = Descendants(dialog, L"Edit")).empty(); }, 10000);
  if (edits.empty()) {
    Fail("the file dialog has no name box");
    return false;
  }
  SetWindowTextW(edits.front(), fixture.image.c_str());
  Click(dialog, IDOK);
  if (!WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kTimeoutMs)) {
    Fail("the file dialog did not take the image");
    return false;
  }
  return true;
}

// Step 1: Next waits for a ready drive, the image's node.
bool ChooseTheImage(const Program& program, HWND sheet) {
  HWND page = CurrentPage(sheet);
  Sleep(1000);
  HWND tree = nullptr;
  HTREEITEM node = nullptr;
  WaitFor([&] { return (node = FindTreeItemIn(program.info.hProcess, page, kImageName, &tree)); },
          kTimeoutMs);
  if (!node) {
    Fail("Step 1 does not list the image");
    return false;
  }
  HTREEITEM computer = TreeView_GetRoot(tree);
  SelectTreeItem(tree, computer);
  Sleep(500);
  Check(!ButtonEnabled(sheet, kNextButton), "Next on Step 1 stays disabled without a drive");
  Screenshot(sheet, L"wizard-1-no-drive.bmp");
  SelectTreeItem(tree, node);
  Check(WaitFor([&] { return ButtonEnabled(sheet, kNextButton); }, kTimeoutMs),
        "Next on Step 1 is enabled once the ready image is selected");
  Screenshot(sheet, L"wizard-1-drive.bmp");
  return true;
}

// Step 2: a click on the group's check box.
bool ToggleGroup(const Program& program, HWND sheet, const std::wstring& group, bool checked) {
  HWND page = CurrentPage(sheet);
  HWND tree = GetDlgItem(page, kTypeTree);
  HTREEITEM item =
      tree ? FindTreeItem(program.info.hProcess, tree, TreeView_GetRoot(tree), group) : nullptr;
  if (!item) {
    Fail("Step 2 has no group \"" + Narrow(group) + "\"");
    return false;
  }
  TreeView_EnsureVisible(tree, item);
  const RECT rect = TreeItemTextRect(program.info.hProcess, tree, item);
  // The check box stands just left of the item's text.
  ClickAt(tree, rect.left - 8, (rect.top + rect.bottom) / 2);
  const UINT want = checked ? INDEXTOSTATEIMAGEMASK(2) : INDEXTOSTATEIMAGEMASK(1);
  const bool done = WaitFor(
      [&] {
        return (TreeView_GetItemState(tree, item, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) ==
               want;
      },
      5000);
  Check(done, "a click on the check box of \"" + Narrow(group) + "\" changes it");
  return done;
}

// Steps 5 and 7: the scan starts by itself and ends with the page idle again.
bool WaitForScan(HWND sheet, const char* what) {
  HWND page = CurrentPage(sheet);
  const bool ended = WaitFor(
      [&] {
        return ItemTextOf(page, kScanStatus) == L"Idle" && ButtonEnabled(sheet, kNextButton) &&
               ItemTextOf(page, kScanLog).find(L"Analysis completed.") != std::wstring::npos;
      },
      kScanTimeoutMs);
  Check(ended, std::string(what) + " ends with \"Status: Idle\" and Next enabled");
  return ended;
}

int Count(HWND page, int id) { return _wtoi(ItemTextOf(page, id).c_str()); }

// The item with the text in a tree of the page, once the image's drive is found and every item
// below it opened (the tree fills a folder when it opens); null after the time-out.
HTREEITEM WaitForItemBelowDrive(const Program& program, HWND page, const std::wstring& text,
                                HWND* tree) {
  HTREEITEM found = nullptr;
  WaitFor(
      [&] {
        HTREEITEM drive = FindTreeItemIn(program.info.hProcess, page, kImageName, tree);
        if (drive) ExpandAll(*tree, drive);
        return (found = FindTreeItemIn(program.info.hProcess, page, text, tree)) != nullptr;
      },
      kTimeoutMs);
  return found;
}

bool SameBytes(const std::wstring& recovered, const std::wstring& original) {
  const std::vector<char> a = ReadFileBytes(recovered), b = ReadFileBytes(original);
  return !b.empty() && a == b;
}

// Step 6: the deleted photo, selected in the file list of its folder, recovered by Recover.
void RecoverOneDeletedFile(const Program& program, HWND sheet, const Fixture& fixture,
                           const std::wstring& destination) {
  const DWORD process = program.info.dwProcessId;
  HWND page = CurrentPage(sheet);
  HWND tree = nullptr;
  HTREEITEM photos = WaitForItemBelowDrive(program, page, L"Photos", &tree);
  if (!photos) {
    std::string texts;
    for (HWND any : Descendants(page, WC_TREEVIEWW))
      CollectTreeTexts(program.info.hProcess, any, TreeView_GetRoot(any), 0, texts);
    return Fail("Step 6 shows no folder \"Photos\"; its tree:\n" + texts);
  }
  Screenshot(sheet, L"wizard-6-found.bmp");
  SelectTreeItem(tree, photos);
  const auto& [shown, original] = fixture.deleted.front();  // Photos\_arden.jpg
  const std::wstring name = shown.substr(shown.find_last_of(L'\\') + 1);
  HWND list = nullptr;
  int row = -1;
  WaitFor([&] { return (row = FindListRow(program.info.hProcess, page, name, &list)) >= 0; },
          kTimeoutMs);
  if (row < 0) return Fail("the file list of \"Photos\" has no row \"" + Narrow(name) + "\"");
  const RECT rect = ListRowRect(program.info.hProcess, list, row);
  ClickAt(list, rect.left + 4, (rect.top + rect.bottom) / 2);
  Sleep(500);
  Screenshot(sheet, L"wizard-6-selected.bmp");
  Click(page, kRecoverButton);
  HWND dialog = nullptr;
  WaitFor([&] { return (dialog = FindTopWindow(process, L"#32770", L"Recover")) != nullptr; },
          kTimeoutMs);
  if (!dialog) return Fail("Recover on Step 6 shows no Recover dialog");
  Screenshot(dialog, L"wizard-6-recover.bmp");
  Click(dialog, IDOK);
  const std::wstring target = destination + shown;
  const bool written =
      WaitFor([&] { return SameBytes(target, fixture.files + original); }, kTimeoutMs);
  Check(written, "the deleted photo is recovered byte for byte to " + Narrow(target));
  // The progress dialog stays open at the end of the run with its result and OK.
  HWND progress = nullptr;
  WaitFor([&] { return (progress = FindTopWindow(process, L"#32770", L"Recovering files...")); },
          kTimeoutMs);
  if (!progress) return Fail("Recover shows no progress dialog");
  HWND ok = GetDlgItem(progress, IDOK);
  Check(WaitFor([&] { return IsWindowVisible(ok) != FALSE; }, kTimeoutMs),
        "the progress dialog ends with OK");
  Screenshot(progress, L"wizard-6-recovered.bmp");
  Click(progress, IDOK);
  Check(WaitFor([&] { return !IsWindow(progress); }, kTimeoutMs), "OK closes the progress dialog");
}

// Back on Step 5 asks text 223; Yes goes to Step 2, and entering Step 5 again scans anew while
// Step 6 still shows the objects of the first scan: it lets go of them before they are freed
// and shows the new ones.
bool StartAgainFromStep2(const Program& program, HWND sheet) {
  const DWORD process = program.info.dwProcessId;
  Press(sheet, PSBTN_BACK);
  if (!WaitForPageIndex(sheet, Step5)) {
    Fail("Back on Step 6 does not lead to Step 5");
    return false;
  }
  for (const int answer : {IDNO, IDYES}) {
    Press(sheet, PSBTN_BACK);
    HWND question = WaitForMessageBox(process, L"Confirmation", kStartFromBeginning, kTimeoutMs);
    if (!question) {
      Fail("Back on Step 5 does not ask text 223");
      return false;
    }
    if (answer == IDNO) Screenshot(question, L"wizard-5-back-question.bmp");
    Answer(question, answer);
    if (answer == IDNO) {
      Sleep(500);
      Check(PageIndexOf(sheet) == Step5, "No stays on Step 5");
    }
  }
  if (!WaitForPageIndex(sheet, Step2)) {
    Fail("Yes does not lead back to Step 2");
    return false;
  }
  if (!Next(sheet, Step3, "Step 3") || !Next(sheet, Step4, "Step 4") ||
      !Next(sheet, Step5, "Step 5 again"))
    return false;
  HWND page = CurrentPage(sheet);
  if (!WaitForScan(sheet, "the second file-system scan")) return false;
  const std::wstring log = ItemTextOf(page, kScanLog);
  const size_t first = log.find(L"Beginning file system analysis.");
  Check(first != std::wstring::npos &&
            log.find(L"Beginning file system analysis.", first + 1) == std::wstring::npos,
        "the progress log was emptied and shows the new scan once");
  if (!Next(sheet, Step6, "Step 6 again")) return false;
  page = CurrentPage(sheet);
  HWND tree = nullptr;
  HTREEITEM photos = WaitForItemBelowDrive(program, page, L"Photos", &tree);
  Check(photos != nullptr, "Step 6 shows the folders of the new scan");
  Screenshot(sheet, L"wizard-6-again.bmp");
  return true;
}

// ---- scenario 1: by hand

void WalkByHand(const std::wstring& programPath, const Fixture& fixture) {
  const std::wstring destination = NewTempFolder(L"lumenard wizard by hand ");
  if (!PrepareSettings(destination, false)) return Fail("the settings could not be written");
  Program program;
  if (!program.Start(programPath)) return Fail("lumenard.exe could not be started");
  const DWORD process = program.info.dwProcessId;
  HWND sheet = WaitForWizard(process);
  if (!sheet) return Fail("the wizard did not appear");
  Check(PageIndexOf(sheet) == Welcome, "the default start shows the Welcome page");
  Check(!ItemTextOf(CurrentPage(sheet), kVersionText).empty(),
        "the Welcome page shows the version");
  Screenshot(sheet, L"wizard-0-welcome.bmp");

  if (!Next(sheet, Step1, "Step 1") || !LoadImageOnStep1(program, sheet, fixture) ||
      !ChooseTheImage(program, sheet))
    return;
  if (!Next(sheet, Step2, "Step 2")) return;
  if (!ToggleGroup(program, sheet, L"Documents", false)) return;
  Screenshot(sheet, L"wizard-2-types.bmp");
  if (!Next(sheet, Step3, "Step 3")) return;
  Screenshot(sheet, L"wizard-3-scope.bmp");
  if (!Next(sheet, Step4, "Step 4")) return;
  Check(ItemTextOf(CurrentPage(sheet), kDestinationEdit)
                .rfind(destination.substr(0, destination.size() - 1), 0) == 0,
        "Step 4 shows the destination folder");
  Screenshot(sheet, L"wizard-4-destination.bmp");

  if (!Next(sheet, Step5, "Step 5")) return;
  HWND page = CurrentPage(sheet);
  if (!WaitForScan(sheet, "the file-system scan")) return;
  // The deleted document is of the unchecked group: the listing leaves it out too.
  Check(Count(page, kFilesFound) == 5,
        "Step 5 counts the 5 files of the checked types: " + Narrow(ItemTextOf(page, kFilesFound)));
  Check(ItemTextOf(page, kScanLog).find(L"Found 2 folder(s) and 5 file(s).") != std::wstring::npos,
        "Step 5's progress log has the analysis's lines");
  Screenshot(sheet, L"wizard-5-scanned.bmp");

  if (!Next(sheet, Step6, "Step 6")) return;
  RecoverOneDeletedFile(program, sheet, fixture, destination);
  if (!StartAgainFromStep2(program, sheet)) return;
  if (!Next(sheet, Step7, "Step 7 (no question after a recovery)")) return;
  page = CurrentPage(sheet);
  if (!WaitForScan(sheet, "the sector scan")) return;
  Check(Count(page, kFilesFound) == 1,
        "Step 7 finds the lost photo and not the lost document of the unchecked group: " +
            Narrow(ItemTextOf(page, kFilesFound)));
  Screenshot(sheet, L"wizard-7-scanned.bmp");

  if (!Next(sheet, Step8, "Step 8")) return;
  page = CurrentPage(sheet);
  HWND tree = nullptr;
  HTREEITEM lost = WaitForItemBelowDrive(program, page, L"Lost files", &tree);
  Check(lost != nullptr, "Step 8 shows \"Lost files\"");
  if (lost) {
    TreeView_Expand(tree, lost, TVE_EXPAND);
    Sleep(500);
    Check(FindTreeItem(program.info.hProcess, tree, TreeView_GetChild(tree, lost), L"Images") !=
              nullptr,
          "the lost photo is under \"Lost files\\Images\"");
    Check(FindTreeItem(program.info.hProcess, tree, TreeView_GetChild(tree, lost), L"Documents") ==
              nullptr,
          "no lost document: its group was unchecked");
  }
  Screenshot(sheet, L"wizard-8-lost.bmp");
  // Recover pressed and its dialog cancelled recovers nothing: leaving still asks.
  Click(page, kRecoverButton);
  HWND recover = nullptr;
  WaitFor([&] { return (recover = FindTopWindow(process, L"#32770", L"Recover")) != nullptr; },
          kTimeoutMs);
  Check(recover != nullptr, "Recover on Step 8 shows the Recover dialog");
  if (recover) {
    Click(recover, IDCANCEL);
    WaitFor([&] { return !IsWindow(recover); }, kTimeoutMs);
  }
  Press(sheet, PSBTN_NEXT);
  HWND question = WaitForMessageBox(process, L"Confirmation", kLeaveSectorsPage, kTimeoutMs);
  Check(question != nullptr, "leaving Step 8 without a recovery asks text 222");
  if (question) {
    Screenshot(question, L"wizard-8-question.bmp");
    Answer(question, IDNO);
    Sleep(500);
    Check(PageIndexOf(sheet) == Step8, "No stays on Step 8");
    Press(sheet, PSBTN_NEXT);
    question = WaitForMessageBox(process, L"Confirmation", kLeaveSectorsPage, kTimeoutMs);
    if (question) Answer(question, IDYES);
  }
  if (!WaitForPageIndex(sheet, Finish)) return Fail("Yes does not lead to the Finish page");
  page = CurrentPage(sheet);
  Check(Count(page, kFinishFound) == 6,
        "the Finish page counts 5 + 1 files found: " + Narrow(ItemTextOf(page, kFinishFound)));
  Check(Count(page, kFinishRecovered) == 1, "the Finish page counts the 1 file recovered: " +
                                                Narrow(ItemTextOf(page, kFinishRecovered)));
  Screenshot(sheet, L"wizard-9-finish.bmp");
  Click(page, kAnotherDrive);
  Check(WaitForPageIndex(sheet, Step1), "\"Process Another Drive\" returns to Step 1");
  Screenshot(sheet, L"wizard-1-another-drive.bmp");

  PostMessageW(sheet, WM_CLOSE, 0, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "the program ends when the wizard closes");
}

// ---- scenario 2: AutoPilot

void AutoPilot(const std::wstring& programPath, const Fixture& fixture) {
  const std::wstring destination = NewTempFolder(L"lumenard wizard autopilot ");
  if (!PrepareSettings(destination, true)) return Fail("the settings could not be written");
  Program program;
  if (!program.Start(programPath)) return Fail("lumenard.exe could not be started");
  HWND sheet = WaitForWizard(program.info.dwProcessId);
  if (!sheet) return Fail("the wizard did not appear");
  if (!Next(sheet, Step1, "Step 1") || !LoadImageOnStep1(program, sheet, fixture) ||
      !ChooseTheImage(program, sheet))
    return;
  if (!Next(sheet, Step2, "Step 2")) return;
  // The first walk unchecked "Documents" and the program kept it: checked again here.
  ToggleGroup(program, sheet, L"Documents", true);
  if (!Next(sheet, Step3, "Step 3") || !Next(sheet, Step4, "Step 4")) return;
  HWND page = CurrentPage(sheet);
  Check(IsWindowEnabled(GetDlgItem(page, kAutoPilotBox)) &&
            SendMessageW(GetDlgItem(page, kAutoPilotBox), BM_GETCHECK, 0, 0) == BST_CHECKED,
        "Step 4's AutoPilot check box is enabled and checked");
  Screenshot(sheet, L"wizard-autopilot-4.bmp");
  Press(sheet, PSBTN_NEXT);
  // The pages pass by themselves; on a small drive each shows for a moment only.
  const bool finished = WaitForPageIndex(sheet, Finish, 2 * kScanTimeoutMs);
  if (!finished)
    return Fail("AutoPilot did not reach the Finish page; it stays on page " +
                std::to_string(PageIndexOf(sheet)));
  Screenshot(sheet, L"wizard-autopilot-9-finish.bmp");
  for (const auto& [shown, original] : fixture.deleted)
    Check(SameBytes(destination + shown, fixture.files + original),
          "AutoPilot recovered the deleted " + Narrow(shown) + " byte for byte");
  Check(GetFileAttributesW((destination + L"Lost files\\Images\\image_8388608.JPG").c_str()) !=
            INVALID_FILE_ATTRIBUTES,
        "AutoPilot recovered the lost photo too");
  Check(GetFileAttributesW((destination + L"Lost files\\Documents\\adobe_10485760.PDF").c_str()) !=
            INVALID_FILE_ATTRIBUTES,
        "AutoPilot recovered the lost document of the group checked again");
  page = CurrentPage(sheet);
  Check(Count(page, kFinishRecovered) == static_cast<int>(fixture.deleted.size()) + 2,
        "the Finish page counts the files AutoPilot recovered: " +
            Narrow(ItemTextOf(page, kFinishRecovered)));
  PostMessageW(sheet, WM_CLOSE, 0, 0);
  Check(program.WaitForExit(kTimeoutMs) == 0, "the program ends when the wizard closes");
}

}  // namespace

int wmain() {
  const std::wstring path = gui_testing::ProgramBesideTest();
  if (path.empty()) return 1;
  Fixture fixture;
  if (!LoadFixture(fixture)) {
    std::printf("skipped: no wizard fixture (./run fixtures)\n");
    return 0;
  }
  if (gui_testing::AnotherProgramRunning()) return 1;
  WalkByHand(path, fixture);
  const int byHand = g_failures;
  AutoPilot(path, fixture);
  if (g_failures == 0)
    std::printf("lumenard.exe: the wizard walked by hand and by AutoPilot\n");
  else
    std::fprintf(stderr, "%d failure(s) by hand, %d with AutoPilot\n", byHand, g_failures - byHand);
  return g_failures == 0 ? 0 : 1;
}
