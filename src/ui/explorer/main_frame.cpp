#include "ui/explorer/main_frame.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "resources/resource.h"
#include "ui/dialogs/drive_image_dialogs.h"
#include "ui/explorer/command_table.h"
#include "ui/explorer/command_update.h"
#include "ui/framework/grey_image.h"
#include "ui/framework/module.h"
#include "ui/framework/window_target.h"
#include "volumes/computer.h"

namespace ui {

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 680;
constexpr int kStatusTextWidth = 250;
constexpr int kLogPaneWidth = 200;
// Language strings of the pane titles; the string resource of the idle status text.
constexpr uint32_t kLegendTitle = 190;
constexpr uint32_t kViewerTitle = 369;
constexpr uint32_t kReadyText = 57345;

RECT CentredOnScreen(int width, int height) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  width = std::min(width, screenWidth);
  height = std::min(height, screenHeight);
  const int left = std::max(0, (screenWidth - width) / 2);
  const int top = std::max(0, (screenHeight - height) / 2);
  return {left, top, left + width, top + height};
}

std::u16string ReadyText() {
  const std::u16string text = StringResource(kReadyText);
  return text.empty() ? u"Ready" : text;
}

std::vector<ToolBarButton> MainToolBarButtons() {
  return {
      {ID_START_ANALYZING, IDI_ANALYZE, u"Analyze"},
      {ID_STOP_ANALYZING, IDI_STOP, u""},
      {ID_RESCAN_DRIVES, IDI_RESCAN, u"Rescan Drives"},
      {0, 0, u""},
      {ID_RECOVER, IDI_RECOVER, u"Recover"},
      {ID_SEARCH, IDI_FIND, u"Find"},
      {0, 0, u""},
      {ID_SETTINGS, IDI_SETTINGS, u""},
      {0, 0, u""},
      {ID_HELP_WEB_SITE, IDI_WEB_SITE, u""},
      {ID_HELP_CONTENTS, IDI_HELP, u""},
      {ID_APP_ABOUT, IDI_ABOUT, u""},
  };
}

struct MenuIcon {
  UINT command;
  int iconId;
};
constexpr MenuIcon kMenuIcons[] = {
    {ID_START_ANALYZING, IDI_ANALYZE}, {ID_STOP_ANALYZING, IDI_STOP},
    {ID_RECOVER, IDI_RECOVER},         {ID_SEARCH, IDI_FIND},
    {ID_SETTINGS, IDI_SETTINGS},       {ID_HELP_WEB_SITE, IDI_WEB_SITE},
    {ID_HELP_CONTENTS, IDI_HELP},      {ID_APP_ABOUT, IDI_ABOUT},
};

// Menus draw 32-bit item pictures with premultiplied alpha.
HBITMAP MenuBitmapOfIcon(int iconId) {
  const int size = ::GetSystemMetrics(SM_CXSMICON);
  HICON icon = static_cast<HICON>(
      ::LoadImageW(CModule::Instance(), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0));
  if (!icon) return nullptr;
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  HBITMAP bitmap = nullptr;
  if (IconPixels(icon, size, pixels)) {
    for (uint32_t& pixel : pixels) {
      const uint32_t alpha = pixel >> 24;
      auto scale = [alpha](uint32_t channel) { return (channel * alpha + 127) / 255; };
      pixel = (alpha << 24) | (scale((pixel >> 16) & 0xFF) << 16) |
              (scale((pixel >> 8) & 0xFF) << 8) | scale(pixel & 0xFF);
    }
    bitmap = BitmapOfPixels(pixels, size, size);
  }
  ::DestroyIcon(icon);
  return bitmap;
}

bool IsModeCommand(int id) {
  return id == ID_MODE_EXPLORER || id == ID_MODE_WIZARD || id == ID_MODE_EXPLORER_SECOND ||
         id == ID_MODE_EXPLORER_THIRD;
}

int32_t* ViewFlag(int id) {
  if (!g_pApp) return nullptr;
  SettingsRecord& settings = g_pApp->Settings;
  switch (id) {
    case ID_SHOW_LEGEND:
      return &settings.ShowLegend;
    case ID_VIEW_TOOLBAR:
      return &settings.ShowToolbar;
    case ID_VIEW_STATUS_BAR:
      return &settings.ShowStatusBar;
    case ID_SHOW_LOG:
      return &settings.ShowLog;
    default:
      return nullptr;
  }
}

bool ViewShown(int id) {
  const int32_t* flag = ViewFlag(id);
  return !flag || *flag != 0;
}

// Posted to the first explorer window of a run: the drives are listed once it shows.
constexpr UINT kListDrivesAtStart = WM_APP + 0x300;
bool g_drivesListed = false;

// Rescans the drives with the wait cursor; the tree is rebuilt by the caller.
void RescanDrives() {
  if (!g_pComputer) return;
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  g_pComputer->Volumes.RescanAndWait();
  g_drivesListed = true;
  ::SetCursor(previous);
}

bool AnalysisRunning() { return g_pApp && g_pApp->Status.Running.load() != 0; }

}  // namespace

CMainFrame* CMainFrame::Open(int32_t mode) {
  if (!Register({kClassName, CS_HREDRAW | CS_VREDRAW, IDR_MAINFRAME, COLOR_BTNFACE + 1}))
    return nullptr;
  HMENU menu = ::LoadMenuW(CModule::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  auto* frame = new CMainFrame(mode);
  if (!frame->Create(kClassName, u"Lumenard", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                     WS_EX_APPWINDOW, CentredOnScreen(kWidth, kHeight), nullptr, menu)) {
    if (menu && !::IsMenu(menu)) menu = nullptr;
    if (menu) ::DestroyMenu(menu);
    delete frame;
    return nullptr;
  }
  frame->created_ = true;
  return frame;
}

CSplitterWindow& CMainFrame::Splitter(int index) {
  return index == 1 ? splitter1_ : index == 2 ? splitter2_ : splitter3_;
}

bool CMainFrame::OnCreate(const CREATESTRUCTW&) {
  target_ = TargetForWindow(Handle());
  accelerators_ = ::LoadAcceleratorsW(CModule::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  if (!CreateBars() || !CreatePanes()) return false;
  SetMenuIcons();
  ApplyStoredViews();
  AttachPrompter();
  // Nothing is selected yet: the object commands wait for a found object.
  for (uint32_t command :
       {ID_RECOVER, ID_TRY_TO_OPEN, ID_RESET_SIZE, ID_SET_NEW_SIZE, ID_FILE_INFORMATION})
    states_.Enable(command, false);
  // The log lines from now on come to the status bar's list, this window's first one among them.
  if (g_pApp) g_pApp->SetLogWindow(log_.Target());
  if (g_pLog) g_pLog->LogInfo(u"Program running.");
  ::SetTimer(Handle(), kStatusTimer, 250, nullptr);
  ::SetTimer(Handle(), kRepaintTimer, 2000, nullptr);
  if (CMessageLoop* loop = CModule::MessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  UpdateCommands();
  UpdateStatus();
  Post(UM_ARRANGE);
  if (!g_drivesListed) Post(kListDrivesAtStart);
  return true;
}

bool CMainFrame::CreateBars() {
  if (!rebar_.Create(Handle())) return false;
  if (!toolbar_.Create(rebar_.Handle(), u"MainToolBar", MainToolBarButtons())) return false;
  states_.AddToolBar(toolbar_.Handle());
  rebar_.AddBand(toolbar_.Handle(), toolbar_.IdealSize(), false);

  if (!status_.Create(
          Handle(),
          {{kStatusPane, kStatusTextWidth}, {kProgressPane, 0}, {kLogPane, kLogPaneWidth}}))
    return false;
  // The controls inside the bar report to it; their commands belong to this window.
  HWND frame = Handle();
  statusSubclass_.Attach(status_.Handle(),
                         [frame](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
                           if (message != WM_COMMAND) return false;
                           result = ::SendMessageW(frame, message, wParam, lParam);
                           return true;
                         });
  progress_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0,
                                status_.Handle(), nullptr, CModule::Instance(), nullptr);
  if (progress_) ::SendMessageW(progress_, PBM_SETRANGE32, 0, 100);
  return progress_ && log_.Create(status_.Handle());
}

bool CMainFrame::CreatePanes() {
  if (!splitter1_.CreateChild(Handle()) || !splitter2_.CreateChild(splitter1_.Handle()) ||
      !splitter3_.CreateChild(splitter1_.Handle()))
    return false;
  if (!rightHost_.CreateChild(splitter2_.Handle(), WS_EX_CLIENTEDGE)) return false;
  if (!explorer_.Create(splitter2_.Handle())) return false;
  rightHost_.SetSizeHandler([this](int, int) { explorer_.LayoutRightPane(); });
  explorer_.SetRightPaneHost(rightHost_.Handle());
  splitter2_.SetPanes(explorer_.Handle(), rightHost_.Handle());

  if (!viewerPane_.CreateChild(splitter3_.Handle(), LanguageString(kViewerTitle)) ||
      !legendPane_.CreateChild(splitter3_.Handle(), LanguageString(kLegendTitle)))
    return false;
  if (legend_.Create(legendPane_.Handle(), u"legend.html")) legendPane_.SetClient(legend_.Handle());
  splitter3_.SetPanes(viewerPane_.Handle(), legendPane_.Handle());
  splitter1_.SetPanes(splitter2_.Handle(), splitter3_.Handle());
  return true;
}

void CMainFrame::SetMenuIcons() {
  HMENU menu = ::GetMenu(Handle());
  if (!menu) return;
  for (const MenuIcon& item : kMenuIcons) {
    HBITMAP bitmap = MenuBitmapOfIcon(item.iconId);
    if (!bitmap) continue;
    menuBitmaps_.push_back(bitmap);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_BITMAP;
    info.hbmpItem = bitmap;
    ::SetMenuItemInfoW(menu, item.command, FALSE, &info);
  }
}

void CMainFrame::ApplyStoredViews() {
  splitter3_.SetSinglePane(ViewShown(ID_SHOW_LEGEND) ? -1 : 0);
  splitter2_.SetSinglePane(ViewShown(ID_SHOW_LOG) ? -1 : 0);
  rebar_.ShowBand(kToolbarBand, ViewShown(ID_VIEW_TOOLBAR));
  ::ShowWindow(status_.Handle(), ViewShown(ID_VIEW_STATUS_BAR) ? SW_SHOWNA : SW_HIDE);
}

void CMainFrame::Arrange() {
  const int width = ClientRect().right;
  if (ArrangementOfMode(mode_) == 2) {
    // The second arrangement gives the drive tree a third of the window.
    splitter2_.SetPosition(width / 3);
    splitter1_.SetPosition(width - width / 5);
  } else {
    // The first gives the drives two thirds and the side column the rest.
    splitter1_.SetPosition(width - width / 3);
    splitter2_.SetPosition((width - width / 3) / 3);
  }
  splitter3_.SetPosition(ClientRect().bottom / 2);
  const RECT client = ClientRect();
  Post(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void CMainFrame::OnSize(UINT type, int, int) {
  if (type == SIZE_MINIMIZED) return;
  Layout();
}

void CMainFrame::Layout() {
  if (!splitter1_.Handle()) return;
  ::SendMessageW(rebar_.Handle(), WM_SIZE, 0, 0);
  status_.Layout();
  const RECT client = ClientRect();
  const int top = rebar_.Height();
  const int bottom = std::max<int>(top, client.bottom - status_.Height());
  splitter1_.Move(0, top, client.right, bottom - top);
  PlaceStatusControls();
}

void CMainFrame::PlaceStatusControls() {
  if (progressShown_) {
    RECT rect = status_.PaneRect(kProgressPane);
    ::InflateRect(&rect, -1, -1);
    ::MoveWindow(progress_, rect.left, rect.top, std::max<int>(0, rect.right - rect.left),
                 std::max<int>(0, rect.bottom - rect.top), TRUE);
  }
  ::ShowWindow(progress_, progressShown_ ? SW_SHOWNA : SW_HIDE);
  RECT rect = status_.PaneRect(kLogPane);
  // Clear of the size grip at the bar's right end.
  rect.right -= ::GetSystemMetrics(SM_CXVSCROLL);
  ::InflateRect(&rect, -1, -1);
  log_.Place(rect);
}

void CMainFrame::ShowProgress(bool show) {
  if (progressShown_ == show) return;
  progressShown_ = show;
  status_.SetPaneWidth(kProgressPane, show ? kProgressWidth : 0);
  Layout();
}

void CMainFrame::SetStatusText(const std::u16string& text) {
  if (text == statusText_) return;
  statusText_ = text;
  status_.SetPaneText(kStatusPane, text);
}

void CMainFrame::UpdateStatus() {
  if (!AnalysisRunning()) {
    ShowProgress(false);
    if (!menuOpen_) SetStatusText(ReadyText());
    return;
  }
  ShowProgress(true);
  const AnalysisStatus& status = g_pApp->Status;
  const CVolume* volume = status.Volume.load();
  const uint64_t done = status.ProgressPos.load();
  const uint64_t hundredth = status.ProgressTotal.load() / 100;
  if (volume && volume->State.load() == VolumeStateAnalysing && done != 0 && hundredth != 0)
    ::SendMessageW(progress_, PBM_SETPOS,
                   static_cast<WPARAM>(std::min<uint64_t>(done / hundredth, 100)), 0);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id == kStatusTimer) {
    UpdateStatus();
  } else if (id == kRepaintTimer && AnalysisRunning()) {
    // Objects whose notice could not be posted appear too: the views read the store again.
    explorer_.RefreshFound();
  }
}

int CMainFrame::OnIdle() {
  UpdateCommands();
  return 0;
}

void CMainFrame::UpdateCommands() {
  ExplorerCommandContext context;
  CVolume* drive = explorer_.SelectedVolume();
  context.driveSelected = drive != nullptr;
  context.objectSelected = explorer_.CurrentObject() != nullptr;
  context.analysisRunning = AnalysisRunning();
  if (g_pComputer) {
    context.recoveryRunning =
        g_pComputer->MainJob.IsRunning() || g_pComputer->TryOpenJob.IsRunning();
    CVolume* shown = drive ? drive : explorer_.CurrentVolume();
    context.driveHeldByRecovery = shown && g_pComputer->RecoveryHolds(*shown);
  }
  context.legendShown = ViewShown(ID_SHOW_LEGEND);
  context.toolbarShown = ViewShown(ID_VIEW_TOOLBAR);
  context.statusBarShown = ViewShown(ID_VIEW_STATUS_BAR);
  context.logShown = ViewShown(ID_SHOW_LOG);
  context.mode = mode_;
  UpdateExplorerCommands(context, states_);
  states_.ApplyToToolBars();
  states_.ApplyToMenu(::GetMenu(Handle()));
}

bool CMainFrame::PreTranslateMessage(MSG& message) {
  if (!accelerators_ || !Handle()) return false;
  if (message.hwnd != Handle() && !::IsChild(Handle(), message.hwnd)) return false;
  return ::TranslateAcceleratorW(Handle(), accelerators_, &message) != 0;
}

bool CMainFrame::OnCommand(int id, int code, HWND control) {
  if (control == log_.Combo()) return true;
  // A command that is disabled does nothing, whichever way it came (a key, a stale toolbar).
  if (FindExplorerCommand(static_cast<uint32_t>(id)) &&
      !states_.IsEnabled(static_cast<uint32_t>(id)))
    return true;
  if (IsModeCommand(id)) {
    // The switch runs a nested message loop in which this window closes and may be gone when
    // it returns: nothing of this object is touched after it.
    if (g_pApp) g_pApp->SwitchMode(id);
    return true;
  }
  switch (id) {
    case ID_APP_EXIT:
      Post(WM_CLOSE);
      return true;
    case ID_LOG_SAVE_AND_SHOW:
      if (g_pLog) g_pLog->SaveAndShow();
      return true;
    case ID_SHOW_LEGEND:
    case ID_VIEW_TOOLBAR:
    case ID_VIEW_STATUS_BAR:
    case ID_SHOW_LOG:
      ToggleView(id);
      return true;
    default:
      break;
  }
  if (RunDriveCommand(id) || RunFoundObjectCommand(id)) return true;
  return g_pApp && g_pApp->OnCommand(static_cast<uint32_t>(id));
}

bool CMainFrame::RunDriveCommand(int id) {
  CVolume* selected = explorer_.SelectedVolume();
  switch (id) {
    case ID_RESCAN_DRIVES:
      ForgetEnumeratedDrives();
      RescanDrives();
      explorer_.Refresh();
      return true;
    case ID_CREATE_DRIVE_IMAGE:
      if (selected) {
        RunCreateDriveImage(Handle(), *selected);
        explorer_.Refresh();
      }
      return true;
    case ID_LOAD_DRIVE_IMAGE:
      if (CVolume* image = RunLoadDriveImage(Handle())) {
        explorer_.Refresh();
        explorer_.SelectVolume(image);
      }
      return true;
    case ID_VIRTUAL_DRIVE:
      if (selected) {
        RunVirtualDriveDialog(Handle(), *selected);
        explorer_.Refresh();
      }
      return true;
    case ID_DRIVE_SELECT:
      if (selected && g_pComputer) g_pComputer->SelectedVolume = selected;
      return true;
    default:
      return false;
  }
}

void CMainFrame::ShowTreeMenu(LPARAM screenPoint) {
  HWND tree = explorer_.Handle();
  POINT point{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  if (screenPoint == -1) {
    // From the keyboard: below the selected node.
    RECT rect{};
    auto selected =
        reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    *reinterpret_cast<HTREEITEM*>(&rect) = selected;
    if (!selected || !::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)))
      return;
    point = {rect.left, rect.bottom};
    ::ClientToScreen(tree, &point);
  } else {
    // The node under the pointer becomes the selected one, as in the shell's trees.
    TVHITTESTINFO hit{};
    hit.pt = point;
    ::ScreenToClient(tree, &hit.pt);
    ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (!hit.hItem) return;
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit.hItem));
  }
  UpdateCommands();
  // Drive nodes have their own menu; other nodes get the File menu.
  HMENU loaded = nullptr;
  HMENU popup = nullptr;
  if (explorer_.SelectedVolume()) {
    loaded = ::LoadMenuW(CModule::Instance(), MAKEINTRESOURCEW(IDR_DRIVE_MENU));
    popup = loaded ? ::GetSubMenu(loaded, 0) : nullptr;
  } else {
    popup = ::GetSubMenu(::GetMenu(Handle()), 1);
  }
  if (popup) {
    states_.ApplyToMenu(popup);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, Handle(),
                     nullptr);
  }
  if (loaded) ::DestroyMenu(loaded);
}

void CMainFrame::ShowListMenu(LPARAM screenPoint) {
  HWND list = explorer_.FileList();
  POINT point{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  if (screenPoint == -1) {
    // From the keyboard: at the focused item, or the list's corner.
    RECT rect{LVIR_LABEL, 0, 0, 0};
    const auto item = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    if (item < 0 || !::SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect)))
      rect = {};
    point = {rect.left, rect.bottom};
    ::ClientToScreen(list, &point);
  }
  UpdateCommands();
  if (HMENU popup = ::GetSubMenu(::GetMenu(Handle()), 1)) {
    states_.ApplyToMenu(popup);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, Handle(),
                     nullptr);
  }
}

void CMainFrame::ToggleView(int id) {
  int32_t* flag = ViewFlag(id);
  if (!flag) return;
  *flag = *flag ? 0 : 1;
  ApplyStoredViews();
  Layout();
  UpdateCommands();
}

bool CMainFrame::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.code == TTN_GETDISPINFOW) {
    auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
    static std::u16string tooltip;
    tooltip = CommandTooltip(static_cast<uint32_t>(header.idFrom));
    info.lpszText = const_cast<wchar_t*>(platform::W(tooltip.c_str()));
    info.hinst = nullptr;
    result = 0;
    return true;
  }
  if (header.hwndFrom == rebar_.Handle() && header.code == RBN_HEIGHTCHANGE) {
    Layout();
    return true;
  }
  return explorer_.OnNotify(header, result);
}

void CMainFrame::OnClose(WPARAM wParam, LPARAM lParam) {
  // A running analysis stops before anything else closes.
  if (AnalysisRunning() && g_pComputer) {
    if (CVolume* volume = g_pApp->Status.Volume.load()) g_pComputer->Analysis.StopAnalysis(*volume);
  }
  // A mode switch replaces this window without quitting: neither the question about the copies
  // of Try To Open nor the exit question for it.
  const bool modeSwitch = wParam == kModeSwitchCloseWParam && lParam == kModeSwitchCloseLParam;
  if (!modeSwitch && g_pComputer) DeleteTemporaryFiles(g_pComputer->TryOpenJob);
  if (!g_pApp || g_pApp->OnWindowClose(wParam, lParam)) Destroy();
}

void CMainFrame::OnDestroy() {
  ::KillTimer(Handle(), kStatusTimer);
  ::KillTimer(Handle(), kRepaintTimer);
  DetachPrompter();
  if (CMessageLoop* loop = CModule::MessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  if (g_pApp) {
    g_pApp->ForgetWindow(target_);
    g_pApp->ForgetWindow(log_.Target());
  }
}

bool CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case UM_ARRANGE:
      Arrange();
      return true;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == explorer_.Handle()) {
        ShowTreeMenu(lParam);
        return true;
      }
      if (explorer_.FileList() && reinterpret_cast<HWND>(wParam) == explorer_.FileList()) {
        ShowListMenu(lParam);
        return true;
      }
      return false;
    case UM_START_RECOVERY:
      OnStartRecovery();
      return true;
    case kListDrivesAtStart:
      if (!g_drivesListed) {
        RescanDrives();
        explorer_.Refresh();
      }
      return true;
    case WM_INITMENUPOPUP:
      UpdateCommands();
      states_.ApplyToMenu(reinterpret_cast<HMENU>(wParam));
      return true;
    case WM_MENUSELECT: {
      const UINT flags = HIWORD(wParam);
      if (flags == 0xFFFF && !lParam) return true;
      menuOpen_ = true;
      if (!(flags & MF_POPUP) && !(flags & MF_SEPARATOR))
        SetStatusText(CommandStatusText(LOWORD(wParam)));
      return true;
    }
    case WM_EXITMENULOOP:
      menuOpen_ = false;
      UpdateStatus();
      return true;
    case UM_STATUS_TEXT:
      SetStatusText(StringResource(static_cast<uint32_t>(wParam)));
      return true;
    case UM_FS_PASS_FINISHED:
    case UM_SECTOR_PASS_FINISHED:
      // A pass faster than the refresh timer: what its notifications missed shows now.
      explorer_.RefreshFound();
      explorer_.RefreshDrivePane();
      return true;
    case UM_CURRENT_OBJECT_CHANGED:
      // The data viewers follow the current object once they exist.
      return true;
    case UM_ANALYSIS_FINISHED:
      if (g_pComputer) {
        // The next queued drive's analysis clears its store: its items go first.
        const std::vector<CVolume*> queued = g_pComputer->Analysis.Queue();
        explorer_.RefreshFound();
        explorer_.RefreshDrivePane();
        if (!queued.empty()) explorer_.ResetVolume(*queued.front());
        g_pComputer->Analysis.StartNextQueued();
      }
      return true;
    case WM_DEVICECHANGE:
      if (g_pComputer) g_pComputer->OnDeviceChange(wParam, lParam);
      result = TRUE;
      return true;
    default:
      return explorer_.OnMessage(message, wParam, lParam, result);
  }
}

void CMainFrame::OnFinalMessage() {
  if (accelerators_) ::DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  for (HBITMAP bitmap : menuBitmaps_) ::DeleteObject(bitmap);
  menuBitmaps_.clear();
  // A window that failed during creation is deleted by Open.
  if (created_) delete this;
}

}  // namespace ui
