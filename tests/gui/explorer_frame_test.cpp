// The explorer window inside the program's own process, with its resources linked in: the
// menus and accelerators as the resource compiler built them, the command table against them,
// the idle update's rules, the grey toolbar pictures, and a live CMainFrame whose menu,
// toolbar and status bar follow the selection, the analysis state, the view toggles and the
// kind of close. Menus are read here because another process cannot read them under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "app/log.h"
#include "explorer_dialogs.h"
#include "filesystems/found_object_store.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "signatures/file_types.h"
#include "ui/dialogs/found_object_info_dlg.h"
#include "ui/explorer/command_table.h"
#include "ui/explorer/command_update.h"
#include "ui/explorer/main_frame.h"
#include "ui/explorer/main_frame_log_view.h"
#include "ui/explorer/size_commands.h"
#include "ui/framework/command_states.h"
#include "ui/framework/grey_image.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/module.h"
#include "ui/framework/property_sheet.h"
#include "volumes/computer.h"
// The engine's LoadImage, not the Win32 macro of that name.
#undef LoadImage
#include "volumes/image.h"

namespace {

using ui::CommandPlace;

std::wstring MenuText(HMENU menu, UINT item, UINT flags) {
  wchar_t text[256] = {};
  ::GetMenuStringW(menu, item, text, 256, flags);
  return text;
}

std::wstring Wide(const char16_t* text) { return platform::W(text); }

void Pump(DWORD milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  do {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::Sleep(10);
  } while (::GetTickCount64() < end);
}

class ResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::CModule::Init(::GetModuleHandleW(nullptr)); }
};

// ---- resources

TEST_F(ResourcesTest, EveryMenuCommandSitsInItsPopupWithItsCaption) {
  HMENU menu = ::LoadMenuW(ui::CModule::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  ASSERT_NE(menu, nullptr);
  const wchar_t* popups[] = {L"&Disk", L"&File", L"&View", L"&Options", L"&Help"};
  ASSERT_EQ(::GetMenuItemCount(menu), 5);
  for (UINT index = 0; index < 5; ++index)
    EXPECT_EQ(MenuText(menu, index, MF_BYPOSITION), popups[index]);

  int placed = 0;
  for (const ui::CommandInfo& command : ui::ExplorerCommands()) {
    const int popup = static_cast<int>(command.place);
    if (command.place > CommandPlace::HelpMenu) {
      EXPECT_EQ(::GetMenuState(menu, command.id, MF_BYCOMMAND), static_cast<UINT>(-1))
          << command.id << " has no place in the main menu";
      continue;
    }
    HMENU submenu = ::GetSubMenu(menu, popup);
    EXPECT_NE(::GetMenuState(submenu, command.id, MF_BYCOMMAND), static_cast<UINT>(-1))
        << command.id << " belongs in " << popup;
    EXPECT_EQ(MenuText(submenu, command.id, MF_BYCOMMAND), Wide(command.caption)) << command.id;
    ++placed;
  }
  EXPECT_EQ(placed, 34);
  ::DestroyMenu(menu);
}

TEST_F(ResourcesTest, AcceleratorsReachTheirCommands) {
  HACCEL table = ::LoadAcceleratorsW(ui::CModule::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  ASSERT_NE(table, nullptr);
  std::vector<ACCEL> entries(static_cast<size_t>(::CopyAcceleratorTableW(table, nullptr, 0)));
  ::CopyAcceleratorTableW(table, entries.data(), static_cast<int>(entries.size()));
  std::set<std::tuple<int, int, int>> found;
  for (const ACCEL& entry : entries) found.insert({entry.fVirt & ~FNOINVERT, entry.key, entry.cmd});
  const std::set<std::tuple<int, int, int>> expected = {
      {FVIRTKEY | FCONTROL, 'I', ID_FILE_INFORMATION},
      {FVIRTKEY | FCONTROL, 'R', ID_RECOVER},
      {FVIRTKEY, VK_F1, ID_HELP_CONTENTS},
      {FVIRTKEY | FCONTROL, 'P', ID_SETTINGS},
      {FVIRTKEY, VK_F5, ID_RESCAN_DRIVES},
  };
  EXPECT_EQ(found, expected);
  ::DestroyAcceleratorTable(table);
}

TEST_F(ResourcesTest, DriveMenuOffersItsFiveCommandsInOrder) {
  HMENU menu = ::LoadMenuW(ui::CModule::Instance(), MAKEINTRESOURCEW(IDR_DRIVE_MENU));
  ASSERT_NE(menu, nullptr);
  HMENU popup = ::GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  const UINT ids[] = {ID_DRIVE_SELECT, ID_CREATE_DRIVE_IMAGE, ID_LOAD_DRIVE_IMAGE, ID_RESCAN_DRIVES,
                      ID_DRIVE_PROPERTIES};
  ASSERT_EQ(::GetMenuItemCount(popup), 5);
  for (int index = 0; index < 5; ++index) EXPECT_EQ(::GetMenuItemID(popup, index), ids[index]);
  EXPECT_EQ(MenuText(popup, ID_RESCAN_DRIVES, MF_BYCOMMAND), L"Rescan Drives\tF5");
  ::DestroyMenu(menu);
}

TEST_F(ResourcesTest, ToolbarAndMenuIconsAreTwentyFourPixelIcons) {
  for (int id : {IDI_ANALYZE, IDI_RECOVER, IDI_STOP, IDI_FIND, IDI_SETTINGS, IDI_ABOUT,
                 IDI_WEB_SITE, IDI_HELP, IDI_RESCAN}) {
    HICON icon = static_cast<HICON>(
        ::LoadImageW(ui::CModule::Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, 24, 24, 0));
    ASSERT_NE(icon, nullptr) << id;
    std::vector<uint32_t> pixels(24 * 24);
    EXPECT_TRUE(ui::IconPixels(icon, 24, pixels)) << id;
    int opaque = 0;
    for (uint32_t pixel : pixels) opaque += (pixel >> 24) > 128;
    EXPECT_GT(opaque, 100) << id << " draws something";
    ::DestroyIcon(icon);
  }
}

// ---- the command table and the idle update

TEST(CommandTable, EveryCommandHasItsTextsAndTheTableIsSorted) {
  uint32_t previous = 0;
  for (const ui::CommandInfo& command : ui::ExplorerCommands()) {
    EXPECT_GT(command.id, previous);
    previous = command.id;
    EXPECT_FALSE(ui::CommandStatusText(command.id).empty()) << command.id;
    EXPECT_FALSE(ui::CommandTooltip(command.id).empty()) << command.id;
    EXPECT_EQ(ui::FindExplorerCommand(command.id), &command);
  }
  // 134 is also a log line's format among the language strings: not a command text.
  EXPECT_EQ(ui::CommandStatusText(ID_LOG_SAVE_AND_SHOW), u"Save the log to its file and open it");
  EXPECT_EQ(ui::FindExplorerCommand(12345), nullptr);
}

TEST(CommandUpdate, DriveAndObjectSelectionsEnableOppositeCommands) {
  ui::CCommandStates states;
  ui::ExplorerCommandContext context;
  context.driveSelected = true;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_TRUE(states.IsEnabled(ID_START_ANALYZING));
  EXPECT_TRUE(states.IsEnabled(ID_CREATE_DRIVE_IMAGE));
  for (UINT id : {ID_RECOVER, ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE, ID_FILE_INFORMATION})
    EXPECT_FALSE(states.IsEnabled(id)) << id;

  context.driveSelected = false;
  context.objectSelected = true;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_FALSE(states.IsEnabled(ID_START_ANALYZING));
  EXPECT_FALSE(states.IsEnabled(ID_CREATE_DRIVE_IMAGE));
  for (UINT id : {ID_RECOVER, ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE, ID_FILE_INFORMATION})
    EXPECT_TRUE(states.IsEnabled(id)) << id;

  // Neither: the object commands keep what they had.
  context.objectSelected = false;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_TRUE(states.IsEnabled(ID_TRY_TO_OPEN));
  EXPECT_FALSE(states.IsEnabled(ID_DRIVE_SELECT));
}

TEST(CommandUpdate, RunningAnalysisKeepsOtherReadersOffTheDrive) {
  ui::CCommandStates states;
  ui::ExplorerCommandContext context;
  context.driveSelected = true;
  context.analysisRunning = true;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_FALSE(states.IsEnabled(ID_CREATE_DRIVE_IMAGE));
  EXPECT_FALSE(states.IsEnabled(ID_SEARCH_LOST_DRIVES));
  EXPECT_FALSE(states.IsEnabled(ID_START_ANALYZING));
  EXPECT_FALSE(states.IsEnabled(ID_RESCAN_DRIVES));
  EXPECT_FALSE(states.IsEnabled(ID_SEARCH));
  EXPECT_TRUE(states.IsEnabled(ID_STOP_ANALYZING));

  context.objectSelected = true;
  context.driveSelected = false;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_FALSE(states.IsEnabled(ID_RECOVER));
  EXPECT_TRUE(states.IsEnabled(ID_TRY_TO_OPEN));
}

TEST(CommandUpdate, ARecoveryThatStillCopiesKeepsOthersOffItsRunAndItsDrive) {
  ui::CCommandStates states;
  ui::ExplorerCommandContext context;
  context.objectSelected = true;
  context.recoveryRunning = true;
  context.driveHeldByRecovery = true;
  ui::UpdateExplorerCommands(context, states, false);
  // No second run, no sizes changed under the running one, no rescan that rebuilds its tree.
  for (UINT id : {ID_RECOVER, ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE, ID_RESCAN_DRIVES})
    EXPECT_FALSE(states.IsEnabled(id)) << id;
  EXPECT_TRUE(states.IsEnabled(ID_FILE_INFORMATION));

  // Its drive selected: not analysed (which would clear the records it copies) nor searched.
  context.objectSelected = false;
  context.driveSelected = true;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_FALSE(states.IsEnabled(ID_START_ANALYZING));
  EXPECT_FALSE(states.IsEnabled(ID_SEARCH_LOST_DRIVES));

  // Another drive while the run goes on; then the run is over.
  context.driveHeldByRecovery = false;
  ui::UpdateExplorerCommands(context, states, false);
  EXPECT_TRUE(states.IsEnabled(ID_START_ANALYZING));
  EXPECT_FALSE(states.IsEnabled(ID_RESCAN_DRIVES));
  context.recoveryRunning = false;
  context.driveSelected = false;
  context.objectSelected = true;
  ui::UpdateExplorerCommands(context, states, false);
  for (UINT id : {ID_RECOVER, ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE, ID_RESCAN_DRIVES})
    EXPECT_TRUE(states.IsEnabled(id)) << id;
}

// ---- the size commands over a store

class SizeCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    const int64_t starts[] = {1000, 5000, 12000};
    for (size_t index = 0; index < 3; ++index) {
      records[index].Id = static_cast<int32_t>(100 + index);
      records[index].ParentId = 2;
      records[index].Start = starts[index];
      records[index].Size = -1;
      records[index].Flags = FoundLost;
      store.Add(&records[index], true);
    }
    files = {&records[0], &records[1]};
  }
  static SizeAnswer Ok(int32_t option, int64_t custom = 0) {
    SizeAnswer answer;
    answer.End = SizeEnd::Ok;
    answer.Option = option;
    answer.CustomBytes = custom;
    return answer;
  }

  FoundObjectStore store{nullptr};
  FoundObject records[3]{};
  std::vector<FoundObject*> files;
};

TEST_F(SizeCommands, EachFileGetsTheSizeTheChosenOptionGivesIt) {
  // Each its own distance to the next object, not one size for all.
  EXPECT_EQ(ui::ApplySizeAnswer(store, files, Ok(kSizeNextAny), nullptr), 2);
  EXPECT_EQ(records[0].Size, 4000);
  EXPECT_EQ(records[1].Size, 7000);
  EXPECT_EQ(records[2].Size, -1) << "not selected";

  EXPECT_EQ(ui::ApplySizeAnswer(store, files, Ok(kSizeCustom, 3145728), nullptr), 2);
  EXPECT_EQ(records[0].Size, 3145728);
  EXPECT_EQ(records[1].Size, 3145728);

  ui::ResetSizes(store, files);
  EXPECT_EQ(records[0].Size, -1);
  EXPECT_EQ(records[1].Size, -1);
}

TEST_F(SizeCommands, AnAnswerWithoutASizeChangesNothing) {
  records[0].Size = 777;
  // No default size without a file-type database; no custom size of 0; no change on Cancel.
  EXPECT_EQ(ui::ApplySizeAnswer(store, files, Ok(kSizeDefault), nullptr), 0);
  EXPECT_EQ(ui::ApplySizeAnswer(store, files, Ok(kSizeCustom, 0), nullptr), 0);
  SizeAnswer cancelled = Ok(kSizeNextAny);
  cancelled.End = SizeEnd::Cancel;
  EXPECT_EQ(ui::ApplySizeAnswer(store, files, cancelled, nullptr), 0);
  EXPECT_EQ(records[0].Size, 777);
  EXPECT_EQ(records[1].Size, -1);
  // The question is about the first file, with its own figures.
  const SizeQuestion question = ui::FirstSizeQuestion(store, files, nullptr);
  EXPECT_EQ(question.Position, 1000);
  EXPECT_EQ(question.CurrentSize, 777);
  EXPECT_EQ(question.DistanceAny, 4000);
}

// ---- File Information

std::wstring DialogText(HWND dialog, int id) {
  wchar_t text[512] = {};
  ::GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

TEST_F(ResourcesTest, FileInformationShowsTheObjectsPropertiesUnderTheirLabels) {
  FileTypeDatabase types;
  CVolume volume;
  volume.Store.SetFileTypes(&types);
  volume.Kind = VolumeKindLogical;
  volume.Letter = u'E';
  volume.BytesPerCluster = 4096;
  volume.RootRecord.Id = -31;
  volume.RootRecord.Flags = FoundDriveNode;
  volume.Store.Add(&volume.RootRecord, true);
  volume.Store.SetRootId(2);
  volume.Store.EnsureRootFolder();
  FoundObject folder{};
  folder.Flags = FoundFolder;
  folder.Id = 9;
  folder.ParentId = 2;
  folder.Name = const_cast<char16_t*>(u"Photos");
  volume.Store.AddFileSystemObject(folder, nullptr);
  FoundObject record{};
  record.Flags = FoundDeleted;
  record.Id = 10;
  record.ParentId = 9;
  record.Start = 81920;
  record.Size = 5000;
  record.Name = const_cast<char16_t*>(u"a.jpg");
  FoundObject* file = volume.Store.AddFileSystemObject(record, nullptr);
  ASSERT_NE(file, nullptr);

  ui::CFoundObjectInfoDlg dialog(ui::PropertiesOfFoundObject(volume, *file));
  ASSERT_TRUE(dialog.Create(nullptr));
  HWND window = dialog.Handle();
  wchar_t caption[64] = {};
  ::GetWindowTextW(window, caption, 64);
  EXPECT_STREQ(caption, L"File Information");
  EXPECT_EQ(DialogText(window, IDC_INFO_NAME), L"a.jpg");
  EXPECT_EQ(DialogText(window, IDC_INFO_ID), L"10");
  EXPECT_EQ(DialogText(window, IDC_INFO_PARENT_ID), L"9");
  EXPECT_EQ(DialogText(window, IDC_INFO_OFFSET), L"81920");
  EXPECT_EQ(DialogText(window, IDC_INFO_SIZE), L"5000");
  EXPECT_EQ(DialogText(window, IDC_INFO_SIZE_ON_DISK), L"8192") << "two clusters of 4096";
  EXPECT_EQ(DialogText(window, IDC_INFO_STATUS), L"Deleted");
  EXPECT_EQ(DialogText(window, IDC_INFO_LOCATION), L"E:\\Photos\\");
  EXPECT_EQ(DialogText(window, IDC_INFO_CREATED), L"unknown");
  dialog.End(IDOK);
}

TEST(CommandUpdate, CommandsWithoutTheirWindowsStayDisabledAndModesAreChecked) {
  ui::CCommandStates states;
  ui::ExplorerCommandContext context;
  context.driveSelected = true;
  context.mode = ID_MODE_EXPLORER_SECOND;
  context.legendShown = false;
  ui::UpdateExplorerCommands(context, states);
  for (const ui::CommandInfo& command : ui::ExplorerCommands()) {
    if (!command.available) EXPECT_FALSE(states.IsEnabled(command.id)) << command.id;
  }
  EXPECT_TRUE(states.IsEnabled(ID_CREATE_DRIVE_IMAGE));
  EXPECT_TRUE(states.IsEnabled(ID_LOAD_DRIVE_IMAGE));
  EXPECT_TRUE(states.IsChecked(ID_MODE_EXPLORER_SECOND));
  EXPECT_FALSE(states.IsChecked(ID_MODE_EXPLORER));
  EXPECT_FALSE(states.IsChecked(ID_MODE_WIZARD));
  EXPECT_FALSE(states.IsChecked(ID_SHOW_LEGEND));
  EXPECT_TRUE(states.IsChecked(ID_VIEW_TOOLBAR));
}

// ---- grey pictures

TEST(GreyImage, NonBlackPixelsTakeTheirLuminanceAndKeepAlpha) {
  EXPECT_EQ(ui::GreyPixel(0xFF000000u), 0xFF000000u);
  EXPECT_EQ(ui::GreyPixel(0x00000000u), 0x00000000u);
  EXPECT_EQ(ui::GreyPixel(0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(ui::GreyPixel(0xFFFF0000u), 0xFF4C4C4Cu);  // red: 0.299 * 255 = 76
  EXPECT_EQ(ui::GreyPixel(0x8000FF00u), 0x80969696u);  // green: 0.587 * 255 = 150
  EXPECT_EQ(ui::GreyPixel(0x400000FFu), 0x401D1D1Du);  // blue: 0.114 * 255 = 29
  std::vector<uint32_t> pixels = {0xFF102030u, 0u};
  ui::MakeGrey(pixels);
  EXPECT_EQ(pixels[0], ui::GreyPixel(0xFF102030u));
  EXPECT_EQ(pixels[1], 0u);
}

// ---- the live window

class FrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ui::CModule::Init(::GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_COOL_CLASSES |
                                                        ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!ui::CModule::MessageLoop()) ui::CModule::AddMessageLoop(new ui::CMessageLoop());
    if (!g_pApp) g_pApp = new CApp();
    if (!g_pComputer) CreateLocalComputer();
  }

  void SetUp() override {
    SettingsRecord& settings = g_pApp->Settings;
    settings.ShowLegend = settings.ShowLog = settings.ShowStatusBar = settings.ShowToolbar = 1;
    settings.ConfirmExit = 1;
    g_pApp->Status.Running = 0;
    frame = ui::CMainFrame::Open(ID_MODE_EXPLORER);
    ASSERT_NE(frame, nullptr);
    window = frame->Handle();
    ::ShowWindow(window, SW_SHOW);
    Pump(300);
  }
  void TearDown() override {
    g_pApp->Status.Running = 0;
    if (::IsWindow(window)) ::DestroyWindow(window);
    Pump(50);
  }

  UINT MenuState(UINT command) const {
    return ::GetMenuState(::GetMenu(window), command, MF_BYCOMMAND);
  }
  bool MenuEnabled(UINT command) const { return !(MenuState(command) & (MF_GRAYED | MF_DISABLED)); }
  bool MenuChecked(UINT command) const { return (MenuState(command) & MF_CHECKED) != 0; }
  bool ToolEnabled(UINT command) const {
    return ::SendMessageW(frame->ToolBar(), TB_ISBUTTONENABLED, command, 0) != 0;
  }
  std::wstring StatusText(int pane) const {
    wchar_t text[256] = {};
    ::SendMessageW(frame->StatusBar(), SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(text));
    return text;
  }
  HWND Tree() const { return frame->ExploreView().Handle(); }

  ui::CMainFrame* frame = nullptr;
  HWND window = nullptr;
};

TEST_F(FrameTest, OpensWithItsBarsPanesAndFirstArrangement) {
  EXPECT_EQ(::SendMessageW(frame->ToolBar(), TB_BUTTONCOUNT, 0, 0), 12);
  wchar_t text[64] = {};
  ::SendMessageW(frame->ToolBar(), TB_GETBUTTONTEXTW, ID_START_ANALYZING,
                 reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Analyze");
  EXPECT_LE(::SendMessageW(frame->ToolBar(), TB_GETBUTTONTEXTW, ID_STOP_ANALYZING, 0), 0)
      << "Stop shows its picture alone";
  auto disabled =
      reinterpret_cast<HIMAGELIST>(::SendMessageW(frame->ToolBar(), TB_GETDISABLEDIMAGELIST, 0, 0));
  EXPECT_EQ(ImageList_GetImageCount(disabled), 9);

  EXPECT_EQ(StatusText(0), L"Ready");
  EXPECT_EQ(::SendMessageW(frame->StatusBar(), SB_GETPARTS, 0, 0), 3);
  EXPECT_FALSE(::IsWindowVisible(frame->ProgressBar()));

  const int width = frame->ClientRect().right;
  EXPECT_EQ(frame->Splitter(1).Position(), width - width / 3);
  EXPECT_TRUE(MenuChecked(ID_MODE_EXPLORER));
  EXPECT_FALSE(MenuChecked(ID_MODE_EXPLORER_SECOND));
  EXPECT_TRUE(MenuChecked(ID_SHOW_LEGEND));
  EXPECT_FALSE(MenuEnabled(ID_START_ANALYZING));
  EXPECT_FALSE(MenuEnabled(ID_HELP_CONTENTS));
  EXPECT_TRUE(MenuEnabled(ID_LOAD_DRIVE_IMAGE));
  EXPECT_TRUE(MenuEnabled(ID_APP_ABOUT));
}

TEST_F(FrameTest, DriveCommandsFollowTheTreeSelectionAndTheAnalysis) {
  // A drive image of the program's own making, so that the tree has a drive to select.
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"lumenard-frame-test.dsk";
  {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string zeros(64 * 1024, '\0');
    DWORD written = 0;
    ::WriteFile(file, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr);
    ::CloseHandle(file);
  }
  CVolume* volume = LoadImage(*g_pComputer, platform::U(path.c_str()));
  ASSERT_NE(volume, nullptr);
  frame->ExploreView().Refresh();
  ASSERT_TRUE(frame->ExploreView().SelectVolume(volume));
  Pump(100);
  frame->UpdateCommands();
  EXPECT_TRUE(MenuEnabled(ID_CREATE_DRIVE_IMAGE));
  EXPECT_TRUE(MenuEnabled(ID_RESCAN_DRIVES));
  EXPECT_FALSE(MenuEnabled(ID_RECOVER));

  // An analysis: the progress bar comes within a status update, the copy and rescan go.
  g_pApp->Status.Running = 1;
  ::SendMessageW(window, WM_TIMER, ui::CMainFrame::kStatusTimer, 0);
  frame->UpdateCommands();
  EXPECT_TRUE(::IsWindowVisible(frame->ProgressBar()));
  int edges[3] = {};
  ::SendMessageW(frame->StatusBar(), SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  EXPECT_EQ(edges[1] - edges[0], ui::CMainFrame::kProgressWidth);
  EXPECT_FALSE(MenuEnabled(ID_CREATE_DRIVE_IMAGE));
  EXPECT_FALSE(MenuEnabled(ID_RESCAN_DRIVES));
  EXPECT_FALSE(ToolEnabled(ID_RESCAN_DRIVES));
  g_pApp->Status.Running = 0;
  ::SendMessageW(window, WM_TIMER, ui::CMainFrame::kStatusTimer, 0);
  EXPECT_FALSE(::IsWindowVisible(frame->ProgressBar()));
  ::SendMessageW(frame->StatusBar(), SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  EXPECT_EQ(edges[1], edges[0]) << "the progress pane is 0 wide again";
  EXPECT_EQ(StatusText(0), L"Ready");

  // My Computer: no drive, no drive commands.
  auto root = reinterpret_cast<HTREEITEM>(::SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
  Pump(100);
  frame->UpdateCommands();
  EXPECT_FALSE(MenuEnabled(ID_CREATE_DRIVE_IMAGE));
  EXPECT_TRUE(ToolEnabled(ID_RESCAN_DRIVES));
  ::DeleteFileW(path.c_str());
}

TEST_F(FrameTest, ViewTogglesAreStoredAndShown) {
  ::SendMessageW(window, WM_COMMAND, ID_SHOW_LEGEND, 0);
  EXPECT_EQ(g_pApp->Settings.ShowLegend, 0);
  EXPECT_EQ(frame->Splitter(3).SinglePane(), 0);
  EXPECT_FALSE(::IsWindowVisible(frame->LegendPane()));
  EXPECT_FALSE(MenuChecked(ID_SHOW_LEGEND));
  ::SendMessageW(window, WM_COMMAND, ID_SHOW_LEGEND, 0);
  EXPECT_EQ(g_pApp->Settings.ShowLegend, 1);
  EXPECT_TRUE(::IsWindowVisible(frame->LegendPane()));

  ::SendMessageW(window, WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_EQ(g_pApp->Settings.ShowStatusBar, 0);
  EXPECT_FALSE(::IsWindowVisible(frame->StatusBar()));
  ::SendMessageW(window, WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
  EXPECT_TRUE(::IsWindowVisible(frame->StatusBar()));
}

TEST_F(FrameTest, DisabledCommandsDoNothingWhicheverWayTheyCome) {
  // F5 while an analysis runs: Rescan Drives is disabled, the key does nothing, and nothing
  // breaks; the About box would block here if the disabled Help command reached the shell.
  g_pApp->Status.Running = 1;
  frame->UpdateCommands();
  EXPECT_EQ(::SendMessageW(window, WM_COMMAND, ID_HELP_CONTENTS, 0), 0);
  EXPECT_EQ(::SendMessageW(window, WM_COMMAND, ID_RESCAN_DRIVES, 0), 0);
  EXPECT_TRUE(::IsWindow(window));
}

TEST_F(FrameTest, TheLogListTakesLinesInBatchesAndKeepsTheNewest) {
  HWND combo = nullptr;
  for (HWND child = ::GetWindow(frame->StatusBar(), GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (std::wstring(name) == L"ComboBox") combo = child;
  }
  ASSERT_NE(combo, nullptr);
  const size_t lines = ui::CLogView::kMaximumLines + 1500;
  for (size_t index = 0; index < lines; ++index)
    g_pLog->LogInfo(platform::U((L"frame test line " + std::to_wstring(index)).c_str()));
  // Nothing has gone into the list one line at a time: a batch waits for its moment.
  Pump(ui::CLogView::kBusyBatchDelayMs + 300);
  EXPECT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0),
            static_cast<LRESULT>(ui::CLogView::kMaximumLines));
  std::vector<wchar_t> top(512, L'\0');
  ::SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(top.data()));
  EXPECT_NE(std::wstring(top.data()).find(L"frame test line " + std::to_wstring(lines - 1)),
            std::wstring::npos)
      << "the newest line is on top";
  EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  // The log itself keeps every line.
  EXPECT_GE(g_pLog->LineCount(), lines);
}

TEST_F(FrameTest, ModeSwitchCloseClosesWithoutAskingARealCloseAsks) {
  // Without a window system to answer, the exit question counts as No.
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(window)) << "a declined exit keeps the window";
  ::SendMessageW(window, WM_CLOSE, kModeSwitchCloseWParam, kModeSwitchCloseLParam);
  EXPECT_FALSE(::IsWindow(window)) << "the close of a mode switch asks nothing";
}

}  // namespace

namespace {

// ---- the property sheet wrapper, with a page from the program's own templates

class RecordingPage : public ui::CPropertyPage {
 public:
  RecordingPage() : CPropertyPage(IDD_ABOUTBOX) {}
  int initialised = 0;
  int applied = 0;

 protected:
  void OnInit() override { ++initialised; }
  bool OnApply() override {
    ++applied;
    return true;
  }
};

// Presses a button of the sheet once it is up, from inside its modal loop.
UINT g_sheetButton = 0;
void CALLBACK PressSheetButton(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND sheet = ::FindWindowW(nullptr, L"Sheet Test");
  if (!sheet) return;
  ::KillTimer(nullptr, timer);
  ::PostMessageW(sheet, PSM_PRESSBUTTON, g_sheetButton, 0);
}

bool RunSheet(RecordingPage& page, UINT button) {
  g_sheetButton = button;
  ::SetTimer(nullptr, 0, 100, &PressSheetButton);
  ui::CPropertySheet sheet(u"Sheet Test");
  sheet.AddPage(page);
  return sheet.DoModal(nullptr);
}

TEST_F(ResourcesTest, PropertySheetAppliesItsPagesOnOkAndNotOnCancel) {
  RecordingPage cancelled;
  EXPECT_FALSE(RunSheet(cancelled, PSBTN_CANCEL));
  EXPECT_EQ(cancelled.initialised, 1);
  EXPECT_EQ(cancelled.applied, 0);

  RecordingPage accepted;
  RunSheet(accepted, PSBTN_OK);
  EXPECT_EQ(accepted.initialised, 1);
  EXPECT_EQ(accepted.applied, 1);
}

}  // namespace
