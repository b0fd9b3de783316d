// The drive tree, its right panes, the local pages and the drive-image dialogs of lumenard.exe
// inside one process, hosted in a test window: a second thread plays the user, typing into the
// file dialogs and pressing their buttons, and everything is read back through Win32 (tree
// items, list rows, window texts). Screenshots go to $LUMENARD_ARTIFACTS.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "inprocess_host.h"
#include "platform/text.h"
#include "resources/explorer_dialogs.h"
#include "support/test_support.h"
#include "ui/dialogs/drive_image_dialogs.h"
#include "ui/dialogs/range_bar.h"
#include "ui/dialogs/volume_image_create_dlg.h"
#include "ui/dialogs/volume_virtual_dlg.h"
#include "ui/explorer/html_pane.h"
#include "ui/explorer/html_text.h"
#include "ui/explorer/recycle_bin_view.h"
#include "ui/explorer/volume_explore_view.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"
#include "volumes/computer.h"
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

using inprocess_testing::ExpectNoFailures;
using inprocess_testing::FindThreadWindow;
using inprocess_testing::ListItemText;
using inprocess_testing::PrepareInterfaceThread;
using inprocess_testing::Press;
using inprocess_testing::Pump;
using inprocess_testing::Screenshot;
using inprocess_testing::TextOf;
using inprocess_testing::WaitFor;
using testing_support::FixturePath;
using testing_support::ReadWholeFile;
using testing_support::TempFolder;

constexpr wchar_t kHostClass[] = L"LumenardViewsTestHost";

std::wstring Wide(const std::u16string& text) { return platform::W(text.c_str()); }

// The visible window of the thread with the caption; null after the time-out.
HWND WaitForDialog(DWORD thread, const std::wstring& caption) {
  HWND dialog = nullptr;
  WaitFor([&] {
    dialog = FindThreadWindow(thread, [&](HWND window) { return TextOf(window) == caption; });
    return dialog != nullptr;
  });
  return dialog;
}

// Replaces an edit's text the way a user does: select all, then type each character.
void TypeInto(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

// The file name box: the first visible edit field of the dialog (inside its combo box).
HWND FileNameBox(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(
      dialog,
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (lstrcmpiW(className, L"Edit") != 0 || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Types the path into the file dialog with the caption and presses its OK button.
const char* ChooseFile(DWORD thread, const std::wstring& caption, const std::wstring& path,
                       std::wstring* defaultName = nullptr) {
  HWND dialog = WaitForDialog(thread, caption);
  if (!dialog) return "no file dialog";
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FileNameBox(dialog)) != nullptr; }, 10000))
    return "the file dialog has no name box";
  if (defaultName) *defaultName = TextOf(box);
  TypeInto(box, path);
  Press(dialog, IDOK);
  if (!WaitFor([&] { return !IsWindow(dialog); }, 20000)) return "the file dialog stayed open";
  return nullptr;
}

void ScreenshotDesktop(const wchar_t* name) { Screenshot(GetDesktopWindow(), name); }

// ---- the tree and the lists as a reader of the windows sees them

struct TreeNode {
  std::wstring text;
  int depth;
  bool selected;
};

void CollectTree(HWND tree, HTREEITEM item, int depth, std::vector<TreeNode>& nodes) {
  for (; item; item = TreeView_GetNextSibling(tree, item)) {
    wchar_t text[260] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_STATE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 260;
    data.stateMask = TVIS_SELECTED;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    nodes.push_back({text, depth, (data.state & TVIS_SELECTED) != 0});
    CollectTree(tree, TreeView_GetChild(tree, item), depth + 1, nodes);
  }
}

std::vector<TreeNode> TreeNodes(HWND tree) {
  std::vector<TreeNode> nodes;
  CollectTree(tree, TreeView_GetRoot(tree), 0, nodes);
  return nodes;
}

const TreeNode* FindNode(const std::vector<TreeNode>& nodes, const std::wstring& text) {
  for (const TreeNode& node : nodes)
    if (node.text == text) return &node;
  return nullptr;
}

// The value of the row whose first column is name, in a two-column list.
std::wstring ListValue(HWND list, const std::wstring& name) {
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row)
    if (ListItemText(list, row, 0) == name) return ListItemText(list, row, 1);
  return L"(no row " + name + L")";
}

HWND VisibleChild(HWND parent) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) return child;
  return nullptr;
}

// ---- the host: the tree on the left, the right-pane host on the right

class HostWindow : public ui::CCustomWindow {
 public:
  CVolumeExploreView view;
  HWND paneHost = nullptr;

  bool Open() {
    if (!Register({kHostClass})) return false;
    if (!Create(kHostClass, u"Lumenard views", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                0, {0, 0, 900, 560}, nullptr, nullptr))
      return false;
    return true;
  }

 protected:
  bool OnCreate(const CREATESTRUCTW&) override {
    if (!view.Create(Handle())) return false;
    paneHost = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 300, 0, 600, 560, Handle(),
                               nullptr, ui::CModule::Instance(), nullptr);
    view.SetRightPaneHost(paneHost);
    return true;
  }
  void OnSize(UINT, int width, int height) override {
    MoveWindow(view.Handle(), 0, 0, 300, height, TRUE);
    MoveWindow(paneHost, 300, 0, width > 300 ? width - 300 : 0, height, TRUE);
    view.LayoutRightPane();
  }
  bool OnNotify(const NMHDR& header, LRESULT& result) override {
    return view.OnNotify(header, result);
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == UM_CURRENT_OBJECT_CHANGED) {
      ++currentObjectChanges;
      result = 0;
      return true;
    }
    return view.OnMessage(message, wParam, lParam, result);
  }

 public:
  int currentObjectChanges = 0;
};

// Runs the user's part on a thread of its own while the GUI thread runs a dialog; failures of
// the user's part are collected and reported after both ended.
class User {
 public:
  explicit User(std::function<void(User&)> part)
      : guiThread_(GetCurrentThreadId()), thread_([this, part] { part(*this); }) {}
  ~User() {
    if (thread_.joinable()) thread_.join();
  }
  DWORD GuiThread() const { return guiThread_; }
  // Records the failure and closes the GUI thread's dialogs, so that its modal loop ends.
  void Fail(const std::string& what) {
    {
      std::lock_guard lock(lock_);
      failures_.push_back(what);
    }
    ScreenshotDesktop(L"gui-views-failure");
    EnumThreadWindows(
        guiThread_,
        [](HWND window, LPARAM) -> BOOL {
          wchar_t className[16] = {};
          GetClassNameW(window, className, 16);
          if (lstrcmpW(className, L"#32770") == 0) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
          return TRUE;
        },
        0);
  }
  void Check(bool condition, const std::string& what) {
    if (!condition) Fail(what);
  }
  std::vector<std::string> Finish() {
    thread_.join();
    return failures_;
  }

 private:
  DWORD guiThread_;
  std::mutex lock_;
  std::vector<std::string> failures_;
  std::thread thread_;
};

class ViewsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PrepareInterfaceThread();
    if (!g_pComputer) CreateLocalComputer();
  }

  void SetUp() override {
    ASSERT_TRUE(host.Open());
    ShowWindow(host.Handle(), SW_SHOW);
    Pump(200);
  }
  void TearDown() override {
    if (host.IsWindow()) host.Destroy();
  }

  // The image fixture, or skip.
  std::u16string Fixture(const char* name) {
    std::u16string path = FixturePath(name);
    return path;
  }

  HostWindow host;
};

// ---- the pages

TEST(HtmlText, PagesReadAsText) {
  const std::u16string text = HtmlToText(
      u"<html><head><title>T</title><style>p{}</style></head><body><h1>Title &amp; more</h1>"
      u"<p>One\n   two</p><ol><li>first</li><li>second</li></ol><ul><li>dot</li></ul></body>");
  EXPECT_EQ(text, u"Title & more\n\nOne two\n\n1. first\n2. second\n\n\x2022 dot");
  const std::vector<LegendEntry> entries = LegendEntries(
      u"<ul><li data-icon=\"folder\"><span class=\"x\"></span>Folder</li>"
      u"<li data-icon=\"lost-file\">Lost <b>file</b></li><li data-icon=\"broken\"");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Icon, u"folder");
  EXPECT_EQ(entries[0].Label, u"Folder");
  EXPECT_EQ(entries[1].Label, u"Lost file");
}

TEST_F(ViewsTest, StartPageAndLegendShowTheirTextWithoutAnHtmlEngine) {
  // The tests run with Wine's HTML engine switched off: the fallback is what a user sees.
  CHtmlPane start, legend;
  ASSERT_TRUE(start.Create(host.paneHost, u"index.html"));
  ASSERT_TRUE(legend.Create(host.paneHost, u"legend.html"));
  EXPECT_FALSE(start.ShowsBrowser());
  EXPECT_FALSE(legend.ShowsBrowser());
  const std::wstring text = TextOf(start.Handle());
  EXPECT_NE(text.find(L"Welcome to Lumenard"), std::wstring::npos) << "start page: " << text.size();
  EXPECT_NE(text.find(L"1. Choose the drive"), std::wstring::npos);
  EXPECT_EQ(text.find(L"<"), std::wstring::npos);

  HWND list = legend.Handle();
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  ASSERT_EQ(rows, 7);
  EXPECT_EQ(ListItemText(list, 1, 0), L"Folder");
  EXPECT_EQ(ListItemText(list, 5, 0), L"Deleted file");
  HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL);
  ASSERT_NE(images, nullptr);
  EXPECT_GE(ImageList_GetImageCount(images), 7);
  MoveWindow(list, 0, 0, 300, 200, TRUE);
  ShowWindow(start.Handle(), SW_HIDE);
  Pump(300);
  Screenshot(host.Handle(), L"gui-views-legend");
}

// ---- the drive tree with an image loaded through the dialog, and its copy

TEST_F(ViewsTest, LoadedImageJoinsTheTreeAndItsCopyIsIdentical) {
  const std::u16string source = Fixture("fat/fat12.img");
  if (source.empty()) GTEST_SKIP() << "no FAT fixtures (./run fixtures)";
  std::vector<TreeNode> nodes = TreeNodes(host.view.Handle());
  ASSERT_GE(nodes.size(), 2u);
  EXPECT_EQ(nodes.front().text, L"My Computer");
  EXPECT_TRUE(nodes.front().selected);
  EXPECT_EQ(nodes.back().text, L"Recycle Bin");
  EXPECT_EQ(nodes.back().depth, 0);
  EXPECT_EQ(host.view.CurrentRightPane(), RightPaneKind::MyComputer);

  User loader([&](User& user) {
    if (const char* why = ChooseFile(user.GuiThread(), L"Load Drive Image", Wide(source)))
      return user.Fail(std::string("the Load Drive Image dialog did not take the path: ") + why);
  });
  CVolume* loaded = RunLoadDriveImage(host.Handle());
  ExpectNoFailures(loader.Finish());
  ASSERT_NE(loaded, nullptr);

  nodes = TreeNodes(host.view.Handle());
  const TreeNode* node = FindNode(nodes, L"fat12.img");
  ASSERT_NE(node, nullptr) << "the image has no node";
  EXPECT_EQ(node->depth, 1) << "an image lies under My Computer";
  EXPECT_TRUE(node->selected);
  EXPECT_EQ(host.view.SelectedVolume(), loaded);
  EXPECT_EQ(host.view.CurrentRightPane(), RightPaneKind::DriveInfo);

  // The facts as the boot sector and the file tell them.
  const std::vector<uint8_t> bytes = ReadWholeFile(source);
  ASSERT_GT(bytes.size(), 0x36u);
  const std::string label(reinterpret_cast<const char*>(&bytes[0x2B]), 11);
  HWND info = VisibleChild(host.paneHost);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(ListValue(info, L"File system"), L"FAT12");
  const std::wstring size = ListValue(info, L"Size");
  wchar_t expectedSize[64];
  swprintf(expectedSize, 64, L"%zu", bytes.size());
  std::wstring grouped = expectedSize;
  for (size_t at = grouped.size(); at > 3; at -= 3) grouped.insert(at - 3, L",");
  EXPECT_EQ(size.rfind(grouped + L" bytes", 0), 0u) << size.size();
  std::wstring wideLabel(label.begin(), label.end());
  while (!wideLabel.empty() && wideLabel.back() == L' ') wideLabel.pop_back();
  EXPECT_EQ(ListValue(info, L"Label"), wideLabel);
  Pump(300);
  Screenshot(host.Handle(), L"gui-views-loaded-image");

  // Create Drive Image of that drive.
  TempFolder folder;
  const std::u16string copy = folder.File(u"copy of fat12.dsk");
  std::wstring defaultName, outcome, speed;
  User creator([&](User& user) {
    if (const char* why =
            ChooseFile(user.GuiThread(), L"Create Drive Image", Wide(copy), &defaultName))
      return user.Fail(std::string("the Create Drive Image dialog did not take the path: ") + why);
    HWND progress = WaitForDialog(user.GuiThread(), L"Creating Drive Image");
    if (!progress) return user.Fail("no progress dialog");
    HWND button = GetDlgItem(progress, IDCANCEL);
    user.Check(WaitFor([&] { return TextOf(button) == L"OK"; }), "the copy did not end");
    outcome = TextOf(GetDlgItem(progress, IDC_IMAGE_OUTCOME));
    speed = TextOf(GetDlgItem(progress, IDC_IMAGE_SPEED));
    user.Check(!IsWindowEnabled(GetDlgItem(progress, IDC_IMAGE_KEEP)),
               "a complete image offers to keep an incomplete one");
    Screenshot(progress, L"gui-views-image-created");
    Press(progress, IDCANCEL);
  });
  RunCreateDriveImage(host.Handle(), *loaded);
  ExpectNoFailures(creator.Finish());
  EXPECT_EQ(defaultName, L"Image from drive fat12");
  EXPECT_EQ(outcome, L"The image is complete: 2,880 sectors copied.");
  // A copy of 1.4 MB ends within the first second: no speed is shown then.
  EXPECT_TRUE(speed.empty() || speed.find(L" KB/s") != std::wstring::npos);
  EXPECT_EQ(ReadWholeFile(copy), bytes) << "the image differs from its drive";
  nodes = TreeNodes(host.view.Handle());
  node = FindNode(nodes, L"copy of fat12.dsk");
  ASSERT_NE(node, nullptr) << "the complete image was not loaded";
  EXPECT_TRUE(node->selected);

  // A virtual drive over the second half of the copy: the edits say Mb for a floppy.
  CVolume* image = host.view.SelectedVolume();
  ASSERT_NE(image, nullptr);
  RegisterRangeBar();
  std::wstring unit, size0, driveSize, sizeAfterDrag;
  User virtualUser([&](User& user) {
    HWND dialog = WaitForDialog(user.GuiThread(), L"Create Virtual Drive");
    if (!dialog) return user.Fail("no virtual-drive dialog");
    unit = TextOf(GetDlgItem(dialog, IDC_VIRTUAL_SIZE_UNIT));
    size0 = TextOf(GetDlgItem(dialog, IDC_VIRTUAL_SIZE));
    driveSize = TextOf(GetDlgItem(dialog, IDC_VIRTUAL_DRIVE_SIZE));
    // The range bar reports the first half of the drive.
    SendMessageW(dialog, UM_RANGE_CHANGED, 0, kVirtualRangeUnits / 2);
    sizeAfterDrag = TextOf(GetDlgItem(dialog, IDC_VIRTUAL_SIZE));
    SendMessageW(GetDlgItem(dialog, IDC_VIRTUAL_START_UNIT), CB_SETCURSEL, 2, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_VIRTUAL_START_UNIT, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VIRTUAL_START_UNIT)));
    SendMessageW(GetDlgItem(dialog, IDC_VIRTUAL_SIZE_UNIT), CB_SETCURSEL, 2, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_VIRTUAL_SIZE_UNIT, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VIRTUAL_SIZE_UNIT)));
    TypeInto(GetDlgItem(dialog, IDC_VIRTUAL_START), L"737.28");
    TypeInto(GetDlgItem(dialog, IDC_VIRTUAL_SIZE), L"737.28");
    const LRESULT range =
        SendMessageW(GetDlgItem(dialog, IDC_VIRTUAL_RANGE), kRangeBarGetRange, 0, 0);
    user.Check(LOWORD(range) == 500 && HIWORD(range) == 1000,
               "the range bar did not follow the edits");
    user.Check(IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE, "OK is disabled");
    Screenshot(dialog, L"gui-views-virtual-drive");
    Press(dialog, IDOK);
  });
  RunVirtualDriveDialog(host.Handle(), *image);
  ExpectNoFailures(virtualUser.Finish());
  EXPECT_EQ(unit, L"Mb");
  EXPECT_EQ(size0, L"1.4");
  EXPECT_EQ(driveSize, L"1.4 MB");
  EXPECT_EQ(sizeAfterDrag, L"0.7") << "the size edit must show the chosen half";
  CVolume* drive = host.view.SelectedVolume();
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(drive->Kind, VolumeKindPartition);
  EXPECT_EQ(drive->StartOffset, 737280u);
  EXPECT_EQ(drive->TotalBytes, 737280u);
  EXPECT_EQ(drive->Parent, image);
  nodes = TreeNodes(host.view.Handle());
  const TreeNode* virtualNode = nullptr;
  for (const TreeNode& each : nodes)
    if (each.selected) virtualNode = &each;
  ASSERT_NE(virtualNode, nullptr);
  EXPECT_EQ(virtualNode->depth, 2) << "a virtual drive lies under its drive";
}

// ---- how a copy ends

// A drive that reads slowly and, on request, fails some sectors.
class TestDrive : public CVolume {
 public:
  uint32_t ReadSectors(void* buffer, uint64_t firstSector, uint64_t count) override {
    if (delayMs) Sleep(delayMs);
    // A chunk with the bad sector fails whole; read sector by sector, only that one does.
    if (firstSector <= badSector && badSector < firstSector + count) return 0;
    std::memset(buffer, 0x5A, static_cast<size_t>(count * kSectorSize));
    return static_cast<uint32_t>(count * kSectorSize);
  }
  DWORD delayMs = 0;
  uint64_t badSector = UINT64_MAX;
};

CVolume* AddTestDrive(const std::u16string& backing, uint64_t sectors, DWORD delayMs,
                      uint64_t badSector) {
  testing_support::WriteWholeFile(backing, std::vector<uint8_t>(512));
  auto drive = std::make_unique<TestDrive>();
  drive->Kind = VolumeKindImage;
  drive->DevicePath = backing;
  drive->TotalBytes = sectors * kSectorSize;
  drive->delayMs = delayMs;
  drive->badSector = badSector;
  drive->RootRecord.Flags = FoundDriveNode;
  CVolume* added = drive.get();
  g_pComputer->Volumes.Add(std::move(drive));
  return added;
}

TEST_F(ViewsTest, StoppedCopyTellsWhatTheFileHoldsAndLoadsNothing) {
  TempFolder folder;
  CVolume* slow = AddTestDrive(folder.File(u"backing.bin"), 200000, 100, UINT64_MAX);
  host.view.Refresh();
  const size_t before = g_pComputer->Volumes.Count();
  const std::u16string target = folder.File(u"stopped.dsk");
  std::wstring outcome;
  bool keepEnabled = false;
  User user([&](User& user) {
    if (const char* why = ChooseFile(user.GuiThread(), L"Create Drive Image", Wide(target)))
      return user.Fail(std::string("the save dialog did not take the path: ") + why);
    HWND progress = WaitForDialog(user.GuiThread(), L"Creating Drive Image");
    if (!progress) return user.Fail("no progress dialog");
    HWND speed = GetDlgItem(progress, IDC_IMAGE_SPEED);
    user.Check(WaitFor([&] { return TextOf(speed).find(L" KB/s") != std::wstring::npos; }, 20000),
               "no speed after a second");
    Press(progress, IDCANCEL);
    HWND button = GetDlgItem(progress, IDCANCEL);
    user.Check(WaitFor([&] { return TextOf(button) == L"OK"; }), "the stop did not end");
    outcome = TextOf(GetDlgItem(progress, IDC_IMAGE_OUTCOME));
    keepEnabled = IsWindowEnabled(GetDlgItem(progress, IDC_IMAGE_KEEP)) != FALSE;
    Screenshot(progress, L"gui-views-image-stopped");
    Press(progress, IDOK);
  });
  RunCreateDriveImage(host.Handle(), *slow);
  ExpectNoFailures(user.Finish());
  EXPECT_EQ(outcome.rfind(L"The copy was stopped after ", 0), 0u);
  EXPECT_NE(outcome.find(L"of 200,000 sectors. The image is incomplete."), std::wstring::npos);
  EXPECT_TRUE(keepEnabled);
  EXPECT_EQ(g_pComputer->Volumes.Count(), before) << "an incomplete image was loaded";
  const size_t written = ReadWholeFile(target).size();
  EXPECT_GT(written, 0u);
  EXPECT_EQ(written % (4096 * 512), 0u) << "the file holds whole chunks";
  EXPECT_LT(written, 200000u * 512);
}

TEST_F(ViewsTest, UnreadableSectorsAreReportedAndTheImageIsStillLoaded) {
  TempFolder folder;
  CVolume* faulty = AddTestDrive(folder.File(u"backing.bin"), 5000, 0, 4100);
  host.view.Refresh();
  const std::u16string target = folder.File(u"zeros.dsk");
  std::wstring outcome;
  User user([&](User& user) {
    if (const char* why = ChooseFile(user.GuiThread(), L"Create Drive Image", Wide(target)))
      return user.Fail(std::string("the save dialog did not take the path: ") + why);
    HWND progress = WaitForDialog(user.GuiThread(), L"Creating Drive Image");
    if (!progress) return user.Fail("no progress dialog");
    user.Check(WaitFor([&] { return TextOf(GetDlgItem(progress, IDCANCEL)) == L"OK"; }),
               "the copy did not end");
    outcome = TextOf(GetDlgItem(progress, IDC_IMAGE_OUTCOME));
    Press(progress, IDOK);
  });
  RunCreateDriveImage(host.Handle(), *faulty);
  ExpectNoFailures(user.Finish());
  EXPECT_EQ(outcome,
            L"The image is complete, but 1 sectors could not be read and were written as zeros.");
  const std::vector<uint8_t> written = ReadWholeFile(target);
  ASSERT_EQ(written.size(), 5000u * 512);
  EXPECT_EQ(written[4100 * 512], 0);
  EXPECT_EQ(written[4099 * 512], 0x5A);
  const std::vector<TreeNode> nodes = TreeNodes(host.view.Handle());
  const TreeNode* node = FindNode(nodes, L"zeros.dsk");
  ASSERT_NE(node, nullptr) << "the complete image was not loaded";
}

TEST(ImageDialogTexts, SpeedWaitsForASecondAndReadsKilobytesPerSecond) {
  EXPECT_EQ(ImageSpeedText(10 * 1024 * 1024, 999), u"");
  EXPECT_EQ(ImageSpeedText(2048 * 1024, 2000), u"1,024 KB/s");
  EXPECT_EQ(ImageElapsedText(3723000), u"1:02:03");
  EXPECT_EQ(ImageOutcomeText(ImageOutcome::WriteFailed, 4096, 10000, 0),
            u"Writing the image failed at sector 4,096 of 10,000. The image is incomplete.");
  EXPECT_FALSE(CanKeepIncompleteImage(ImageOutcome::Stopped, 0));
  EXPECT_TRUE(CanKeepIncompleteImage(ImageOutcome::WriteFailed, 1));
  EXPECT_EQ(InitialVirtualDriveUnit(999), SizeUnit::Kb);
  EXPECT_EQ(InitialVirtualDriveUnit(9'999'999'999ull), SizeUnit::Gb);
}

// ---- the Recycle Bin node

TEST_F(ViewsTest, RecycleBinNodeListsTheBin) {
  // A file deleted to the bin, as Explorer deletes it.
  TempFolder folder;
  const std::u16string doomed = folder.File(u"lumenard bin test.txt");
  ASSERT_TRUE(testing_support::WriteWholeFile(doomed, {'b', 'i', 'n'}));
  std::wstring from = Wide(doomed);
  from.push_back(L'\0');  // the list of paths ends with an empty one
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  const bool binned = SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;

  HTREEITEM bin = TreeView_GetNextSibling(host.view.Handle(), TreeView_GetRoot(host.view.Handle()));
  ASSERT_NE(bin, nullptr);
  TreeView_SelectItem(host.view.Handle(), bin);
  EXPECT_EQ(host.view.CurrentRightPane(), RightPaneKind::RecycleBin);
  EXPECT_EQ(host.view.SelectedVolume(), nullptr);
  EXPECT_EQ(g_pComputer->SelectedVolume, &g_pComputer->ComputerNode) << "no drive is selected";
  HWND summary = nullptr, list = nullptr;
  for (HWND child = GetWindow(host.paneHost, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (!IsWindowVisible(child)) continue;
    if (lstrcmpiW(className, L"Static") == 0) summary = child;
    if (lstrcmpiW(className, WC_LISTVIEWW) == 0) list = child;
  }
  ASSERT_NE(summary, nullptr);
  ASSERT_NE(list, nullptr);
  // The summary line says what the shell reports, the list what the bin's folder holds.
  EXPECT_EQ(TextOf(summary), Wide(CRecycleBinView::SummaryText()));
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  bool listed = false;
  for (int row = 0; row < rows; ++row)
    listed = listed || ListItemText(list, row, 0).find(L"lumenard bin test") != std::wstring::npos;
  if (binned)
    EXPECT_TRUE(listed) << "the deleted file is not in the list of " << rows << " items";
  else
    std::printf("note: the shell here deleted the file without a Recycle Bin\n");
  Pump(300);
  Screenshot(host.Handle(), L"gui-views-recycle-bin");
}

TEST_F(ViewsTest, TreeFollowsTheDriveList) {
  TempFolder folder;
  const std::vector<TreeNode> before = TreeNodes(host.view.Handle());
  const bool selectedBefore = FindNode(before, L"My Computer")->selected;
  CVolume* drive = AddTestDrive(folder.File(u"arrived.bin"), 100, 0, UINT64_MAX);
  // A found partition is announced without being selected; a medium change likewise.
  SendMessageW(host.Handle(), UM_FOUND_VOLUME_ADDED, reinterpret_cast<WPARAM>(drive), 0);
  std::vector<TreeNode> after = TreeNodes(host.view.Handle());
  const TreeNode* node = FindNode(after, L"arrived.bin");
  ASSERT_NE(node, nullptr);
  EXPECT_FALSE(node->selected);
  EXPECT_EQ(FindNode(after, L"My Computer")->selected, selectedBefore);
  // The user's own new drive is selected.
  SendMessageW(host.Handle(), UM_FOUND_VOLUME_ADDED, reinterpret_cast<WPARAM>(drive),
               kSelectAddedDrive);
  after = TreeNodes(host.view.Handle());
  EXPECT_TRUE(FindNode(after, L"arrived.bin")->selected);
  EXPECT_EQ(host.view.SelectedVolume(), drive);
  EXPECT_EQ(g_pComputer->SelectedVolume, drive);
  EXPECT_GT(host.currentObjectChanges, 0) << "the parent hears of the new selection";
  EXPECT_EQ(host.view.CurrentRightPane(), RightPaneKind::DriveInfo);
  // A medium change rebuilds the tree; the selected drive stays selected.
  SendMessageW(host.Handle(), UM_DEVICE_CHANGE, 0x8000, 0);
  after = TreeNodes(host.view.Handle());
  ASSERT_NE(FindNode(after, L"arrived.bin"), nullptr);
  EXPECT_TRUE(FindNode(after, L"arrived.bin")->selected);
  EXPECT_EQ(host.view.SelectedVolume(), drive);
}

}  // namespace
