#include "ui/log_window.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/log.h"
#include "app/messages.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "ui/framework/module.h"
#include "ui/framework/window_target.h"
#include "volumes/computer.h"

namespace ui {

namespace {

constexpr int kHeaderId = 1;
constexpr int kListId = 2;
constexpr int kHeaderHeight = 28;
constexpr int kMargin = 8;
constexpr int kWidth = 760;
constexpr int kHeight = 480;

HFONT DialogFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

RECT CentredOnScreen(int width, int height) {
  const int left = std::max(0, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  const int top = std::max(0, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2);
  return {left, top, left + width, top + height};
}

bool IsModeCommand(int id) {
  return id == ModeExplorer || id == ModeWizard || id == ModeExplorerSecond ||
         id == ModeExplorerThird;
}

}  // namespace

std::u16string ModeCaption(int32_t mode) {
  switch (KindOfMode(mode)) {
    case ModeKind::SignatureWizard:
      return u"New Signature Wizard mode";
    case ModeKind::Wizard:
      return u"Wizard mode";
    case ModeKind::Explorer:
      break;
  }
  return ArrangementOfMode(mode) == 2 ? u"Explorer mode, second arrangement" : u"Explorer mode";
}

CLogWindow* CLogWindow::Open(int32_t mode) {
  if (!Register({kClassName, CS_HREDRAW | CS_VREDRAW, IDR_MAINFRAME, COLOR_BTNFACE + 1}))
    return nullptr;
  HMENU menu = ::LoadMenuW(CModule::Instance(), MAKEINTRESOURCEW(IDR_LOG_WINDOW_MENU));
  auto* window = new CLogWindow(mode);
  if (!window->Create(kClassName, u"Lumenard", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      WS_EX_APPWINDOW, CentredOnScreen(kWidth, kHeight), nullptr, menu)) {
    if (menu) ::DestroyMenu(menu);
    delete window;
    return nullptr;
  }
  window->created_ = true;
  return window;
}

bool CLogWindow::OnCreate(const CREATESTRUCTW&) {
  target_ = TargetForWindow(Handle());
  accelerators_ = ::LoadAcceleratorsW(CModule::Instance(), MAKEINTRESOURCEW(IDR_LOG_WINDOW_MENU));
  CreateControls();
  if (!list_) return false;
  if (g_pLog) {
    // Lines carry no time from the first wizard window on, for the rest of the run; the
    // explorer window announces itself in the log.
    if (KindOfMode(mode_) == ModeKind::Wizard) g_pLog->SetTimestamps(false);
    if (KindOfMode(mode_) == ModeKind::Explorer) g_pLog->LogInfo(u"Program running.");
  }
  ShowEarlierLines();
  CheckModeCommand();
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->AddMessageFilter(this);
  return true;
}

void CLogWindow::CreateControls() {
  HINSTANCE instance = CModule::Instance();
  const std::u16string caption = ModeCaption(mode_);
  header_ = ::CreateWindowExW(
      0, L"STATIC", platform::W(caption.c_str()), WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 0, 0,
      0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHeaderId)), instance, nullptr);
  list_ =
      ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                            LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                        0, 0, 0, 0, Handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  if (!list_) return;
  ::SendMessageW(header_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = kWidth;
  ListView_InsertColumn(list_, 0, &column);
}

void CLogWindow::ShowEarlierLines() {
  if (!g_pLog) return;
  for (std::u16string& line : g_pLog->Lines()) {
    earlierLines_.push_back(std::move(line));
    lines_.push_back(earlierLines_.back().c_str());
  }
  ListView_SetItemCountEx(list_, static_cast<int>(lines_.size()), LVSICF_NOINVALIDATEALL);
}

void CLogWindow::AddLine(const char16_t* line) {
  lines_.push_back(line);
  const int count = static_cast<int>(lines_.size());
  ListView_SetItemCountEx(list_, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  ListView_EnsureVisible(list_, count - 1, FALSE);
}

void CLogWindow::CheckModeCommand() {
  HMENU menu = ::GetMenu(Handle());
  if (!menu) return;
  const UINT current = static_cast<UINT>(
      KindOfMode(mode_) == ModeKind::Explorer && ArrangementOfMode(mode_) == 1 ? ModeExplorer
                                                                               : mode_);
  ::CheckMenuRadioItem(menu, ID_MODE_EXPLORER, ID_MODE_EXPLORER_THIRD, current, MF_BYCOMMAND);
}

bool CLogWindow::PreTranslateMessage(MSG& message) {
  if (!accelerators_ || !Handle()) return false;
  if (message.hwnd != Handle() && !::IsChild(Handle(), message.hwnd)) return false;
  return ::TranslateAcceleratorW(Handle(), accelerators_, &message) != 0;
}

bool CLogWindow::OnCommand(int id, int code, HWND control) {
  if (IsModeCommand(id)) {
    // Runs a nested message loop in which this window closes; nothing of this object is used
    // after it returns.
    if (g_pApp) g_pApp->SwitchMode(id);
    return true;
  }
  switch (id) {
    case ID_LOG_SAVE_AND_SHOW:
      if (g_pLog) g_pLog->SaveAndShow();
      return true;
    case ID_APP_EXIT:
      Post(WM_CLOSE);
      return true;
    default:
      return g_pApp && g_pApp->OnCommand(static_cast<uint32_t>(id));
  }
}

bool CLogWindow::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != kListId || header.code != LVN_GETDISPINFOW) return false;
  auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
  if (!(info.item.mask & LVIF_TEXT)) return true;
  const int index = info.item.iItem;
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) return true;
  // The list view copies the text at once; the line stays where it is anyway.
  info.item.pszText = const_cast<wchar_t*>(platform::W(lines_[static_cast<size_t>(index)]));
  return true;
}

void CLogWindow::OnSize(UINT type, int width, int height) {
  if (type == SIZE_MINIMIZED) return;
  ::MoveWindow(header_, kMargin, 0, std::max(0, width - 2 * kMargin), kHeaderHeight, TRUE);
  const int listHeight = std::max(0, height - kHeaderHeight - kMargin);
  ::MoveWindow(list_, kMargin, kHeaderHeight, std::max(0, width - 2 * kMargin), listHeight, TRUE);
  const RECT client = CWindow(list_).ClientRect();
  ListView_SetColumnWidth(list_, 0, std::max<LONG>(client.right, 100));
}

void CLogWindow::OnClose(WPARAM wParam, LPARAM lParam) {
  // The application decides: it may ask (not for a mode switch), and it posts the quit that
  // ends this window's loop.
  if (!g_pApp || g_pApp->OnWindowClose(wParam, lParam)) Destroy();
}

void CLogWindow::OnDestroy() {
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->RemoveMessageFilter(this);
  if (g_pApp) g_pApp->ForgetWindow(target_);
}

bool CLogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case UM_LOG_LINE:
      if (wParam) AddLine(reinterpret_cast<const char16_t*>(wParam));
      break;
    case UM_ANALYSIS_FINISHED:
      // This window stands in for the main window: the next queued drive is analysed.
      if (g_pComputer) g_pComputer->Analysis.StartNextQueued();
      break;
    default:
      return false;
  }
  result = 0;
  return true;
}

void CLogWindow::OnFinalMessage() {
  if (accelerators_) ::DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  // A window that failed during creation is deleted by Open.
  if (created_) delete this;
}

}  // namespace ui
