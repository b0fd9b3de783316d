#include "ui/wizard/wizard_main.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "app/app.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/strings.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "resources/wizard_resources.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"
#include "ui/framework/window_target.h"
#include "ui/wizard/wizard_messages.h"
#include "ui/wizard/wizard_scan_page.h"
#include "volumes/computer.h"

namespace ui {

namespace {

constexpr UINT_PTR kSubclassId = 0x57495A;
constexpr int kLeftBarWidth = 170;
constexpr int kMargin = 7;
// The sheet's own controls that the layout moves around.
constexpr int kBottomLine = 12326;
constexpr int kHeaderLine = 12327;
constexpr int kBackButton = 12323;

// The templates the system gives the sheet: the window starts hidden (the application shows
// it when it is ready) and can be minimised, as a top-level window of its own.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
  if (message != PSCB_PRECREATE || !lParam) return 0;
  auto* words = reinterpret_cast<WORD*>(lParam);
  const bool extended = words[1] == 0xFFFF;
  DWORD* style = extended ? reinterpret_cast<DWORD*>(words + 6) : reinterpret_cast<DWORD*>(words);
  *style = (*style & ~WS_VISIBLE) | WS_MINIMIZEBOX | WS_SYSMENU;
  return 0;
}

RECT WindowRectIn(HWND parent, HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::u16string StepName(const CWizardPage& page) {
  // "Step 1 of 9: Select drive" shows as "Select drive" in the bar.
  const std::u16string& title = page.HeaderTitle();
  const size_t colon = title.find(u": ");
  return colon == std::u16string::npos ? title : title.substr(colon + 2);
}

// A stored placement is used only when it is whole and lies on a screen.
bool UsablePlacement(const WINDOWPLACEMENT& placement) {
  if (placement.length != sizeof(WINDOWPLACEMENT)) return false;
  const RECT& rect = placement.rcNormalPosition;
  if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
  if (rect.right - rect.left > 20000 || rect.bottom - rect.top > 20000) return false;
  return ::MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

}  // namespace

static_assert(sizeof(WINDOWPLACEMENT) == sizeof(SettingsRecord::WizardPlacement));

CWizardMode_Main* CWizardMode_Main::Open() { return Open(CreateWizardPages()); }

CWizardMode_Main* CWizardMode_Main::Open(WizardPageList pages) {
  if (pages.empty()) return nullptr;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LINK_CLASS | ICC_PROGRESS_CLASS |
                                                      ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  auto* sheet = new CWizardMode_Main(std::move(pages));
  if (!sheet->Create()) {
    // Without a window nothing refers to the object any more.
    if (!sheet->sheet_) delete sheet;
    return nullptr;
  }
  return sheet;
}

CWizardMode_Main::~CWizardMode_Main() {
  if (font_) ::DeleteObject(font_);
  if (headerBitmap_) ::DeleteObject(headerBitmap_);
}

bool CWizardMode_Main::Create() {
  std::vector<HPROPSHEETPAGE> handles;
  for (auto& page : pages_) {
    HPROPSHEETPAGE handle = page->CreatePage(*this);
    if (!handle) {
      for (HPROPSHEETPAGE made : handles) ::DestroyPropertySheetPage(made);
      return false;
    }
    handles.push_back(handle);
  }
  const std::u16string title = g_pApp ? g_pApp->GetTitle() : u"Lumenard";
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_MODELESS | PSH_USEICONID | PSH_USECALLBACK;
  header.hwndParent = nullptr;
  header.hInstance = CModule::Instance();
  header.pszIcon = MAKEINTRESOURCEW(IDR_MAINFRAME);
  header.pszCaption = platform::W(title.c_str());
  header.nPages = static_cast<UINT>(handles.size());
  header.phpage = handles.data();
  // Loaded here rather than by the system: some versions of the common controls skip a
  // header bitmap given by its resource number.
  headerBitmap_ =
      static_cast<HBITMAP>(::LoadImageW(CModule::Instance(), MAKEINTRESOURCEW(IDB_WIZARD_HEADER),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (headerBitmap_) {
    header.dwFlags |= PSH_USEHBMHEADER;
    header.hbmHeader = headerBitmap_;
  }
  header.pfnCallback = &SheetCallback;
  sheet_ = reinterpret_cast<HWND>(::PropertySheetW(&header));
  if (!sheet_ || reinterpret_cast<INT_PTR>(sheet_) == -1) {
    sheet_ = nullptr;
    return false;
  }
  ::SetWindowLongPtrW(sheet_, GWL_EXSTYLE,
                      ::GetWindowLongPtrW(sheet_, GWL_EXSTYLE) | WS_EX_APPWINDOW);
  ::SetWindowSubclass(sheet_, &CWizardMode_Main::SheetProcedure, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
  target_ = TargetForWindow(sheet_);
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->AddMessageFilter(this);
  // Lines carry no time in wizard mode; the wizard runs each pass on its own request.
  if (g_pLog) g_pLog->SetTimestamps(false);
  if (g_pApp) g_pApp->Settings.AutoSectorScan = 0;
  if (g_pComputer) tally_.Begin(g_pComputer->MainJob);
  if (LanguageSectionHook hook = GetLanguageSectionHook()) hook(sheet_, u"Wizard.Main");
  AddOwnControls();
  Layout();
  RestorePlacement();
  return true;
}

LRESULT CALLBACK CWizardMode_Main::SheetProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CWizardMode_Main*>(data);
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(window, &CWizardMode_Main::SheetProcedure, kSubclassId);
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    self->OnGone();
    return result;
  }
  LRESULT result = 0;
  try {
    if (self->OnSheetMessage(message, wParam, lParam, result)) return result;
  } catch (const std::exception& error) {
    LogProcedureException(u"Wizard window", message, &error);
    return 0;
  } catch (...) {
    LogProcedureException(u"Wizard window", message, nullptr);
    return 0;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

void CWizardMode_Main::AddOwnControls() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  HINSTANCE instance = CModule::Instance();
  const std::u16string menuText = LanguageString(169);
  menuButton_ =
      ::CreateWindowExW(0, L"BUTTON", platform::W(menuText.c_str()),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 80, 23, sheet_,
                        reinterpret_cast<HMENU>(IDC_WIZARD_MENU_BUTTON), instance, nullptr);
  link_ = ::CreateWindowExW(0, WC_LINK, L"<a>www.corvane.com</a>",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 140, 16, sheet_,
                            reinterpret_cast<HMENU>(IDC_WIZARD_WEB_LINK), instance, nullptr);
  std::vector<std::u16string> steps;
  for (const auto& page : pages_) steps.push_back(StepName(*page));
  leftBar_.Create(sheet_, std::move(steps));
  for (HWND control : {menuButton_, link_, leftBar_.Handle()})
    if (control && font_) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
}

// The sheet grows by the bar's width; everything the system placed moves right, and the two
// lines stretch over the new width. Done once: the pages keep their place from then on.
void CWizardMode_Main::Layout() {
  if (laidOut_ || !sheet_) return;
  laidOut_ = true;
  RECT window{};
  ::GetWindowRect(sheet_, &window);
  ::SetWindowPos(sheet_, nullptr, 0, 0, window.right - window.left + kLeftBarWidth,
                 window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT client = CWindow(sheet_).ClientRect();
  for (HWND child = ::GetWindow(sheet_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (child == menuButton_ || child == link_ || child == leftBar_.Handle()) continue;
    const RECT rect = WindowRectIn(sheet_, child);
    const int id = ::GetDlgCtrlID(child);
    if (IsPage(child)) {
      pagePlace_ = rect;
      ::OffsetRect(&pagePlace_, kLeftBarWidth, 0);
    }
    if (id == kBottomLine || id == kHeaderLine)
      ::MoveWindow(child, 0, rect.top, client.right, rect.bottom - rect.top, FALSE);
    else
      ::MoveWindow(child, rect.left + kLeftBarWidth, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, FALSE);
  }
  const RECT headerLine = WindowRectIn(sheet_, ::GetDlgItem(sheet_, kHeaderLine));
  const RECT bottomLine = WindowRectIn(sheet_, ::GetDlgItem(sheet_, kBottomLine));
  leftBar_.Move(
      {kMargin, headerLine.bottom + kMargin, kLeftBarWidth - kMargin, bottomLine.top - kMargin});
  const RECT back = WindowRectIn(sheet_, ::GetDlgItem(sheet_, kBackButton));
  const int rowTop = back.top > 0 ? back.top : bottomLine.bottom + kMargin;
  const int rowHeight = back.bottom > back.top ? back.bottom - back.top : 23;
  if (menuButton_) ::MoveWindow(menuButton_, kMargin, rowTop, 80, rowHeight, FALSE);
  if (link_)
    ::MoveWindow(link_, kMargin + 80 + kMargin, rowTop + (rowHeight - 16) / 2, 150, 16, FALSE);
  ::InvalidateRect(sheet_, nullptr, TRUE);
}

void CWizardMode_Main::CentreOnce() {
  if (centred_ || !sheet_) return;
  centred_ = true;
  RECT window{};
  ::GetWindowRect(sheet_, &window);
  const int width = window.right - window.left, height = window.bottom - window.top;
  RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int left = std::max<int>(area.left, area.left + (area.right - area.left - width) / 2);
  const int top = std::max<int>(area.top, area.top + (area.bottom - area.top - height) / 2);
  ::SetWindowPos(sheet_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWizardMode_Main::IsPage(HWND window) const {
  for (const auto& page : pages_)
    if (page->Handle() == window) return true;
  return false;
}

CWizardPage* CWizardMode_Main::Page(size_t index) const {
  return index < pages_.size() ? pages_[index].get() : nullptr;
}

CWizardPage* CWizardMode_Main::PageOf(int templateId) const {
  for (const auto& page : pages_)
    if (page->TemplateId() == templateId) return page.get();
  return nullptr;
}

CWizardPage* CWizardMode_Main::CurrentPage() const {
  if (!sheet_) return nullptr;
  HWND current = reinterpret_cast<HWND>(::SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (!current) return nullptr;
  for (const auto& page : pages_)
    if (page->Handle() == current) return page.get();
  return nullptr;
}

size_t CWizardMode_Main::IndexOf(const CWizardPage* page) const {
  for (size_t index = 0; index < pages_.size(); ++index)
    if (pages_[index].get() == page) return index;
  return pages_.size();
}

void CWizardMode_Main::SetWizButtons(DWORD buttons) const {
  // Posted as the system's own macro does: the page that asks may still be turning.
  if (sheet_) ::PostMessageW(sheet_, PSM_SETWIZBUTTONS, 0, buttons);
}

bool CWizardMode_Main::GoTo(int templateId) const {
  if (!sheet_ || !PageOf(templateId)) return false;
  return ::SendMessageW(sheet_, PSM_SETCURSELID, 0,
                        reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(templateId))) != 0;
}

void CWizardMode_Main::ResetScanPages() {
  for (auto& page : pages_) page->OnReset();
}

void CWizardMode_Main::OnPageInitialised(CWizardPage& page) {
  if (sheet_)
    ::SendMessageW(sheet_, UM_WIZARD_PAGE_INITIALISED, 0, reinterpret_cast<LPARAM>(page.Handle()));
}

void CWizardMode_Main::OnPageActivated(CWizardPage& page) {
  tally_.Observe();
  leftBar_.SetCurrent(IndexOf(&page));
  // The system places a page where the sheet had it before the bar was added: right of it.
  if (pagePlace_.right > pagePlace_.left && page.Handle())
    ::SetWindowPos(page.Handle(), nullptr, pagePlace_.left, pagePlace_.top,
                   pagePlace_.right - pagePlace_.left, pagePlace_.bottom - pagePlace_.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWizardMode_Main::RequestClose() {
  if (sheet_ && !closing_) ::PostMessageW(sheet_, WM_CLOSE, 0, 0);
}

bool CWizardMode_Main::PreTranslateMessage(MSG& message) {
  if (!sheet_) return false;
  if (message.hwnd != sheet_ && !::IsChild(sheet_, message.hwnd)) return false;
  return ::SendMessageW(sheet_, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&message)) != 0;
}

bool CWizardMode_Main::OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case UM_STATUS_TEXT:
      // Status texts are not shown in wizard mode.
      return true;
    case UM_FS_PASS_FINISHED:
    case UM_SECTOR_PASS_FINISHED:
      if (CVolume* drive = CWizardScanPage::CurrentDrive())
        g_pComputer->Analysis.StopAnalysis(*drive);
      for (auto& page : pages_) page->OnSheetMessage(message, wParam, lParam);
      return true;
    case UM_FOUND_OBJECT:
    case UM_FOUND_VOLUME_ADDED:
      // Every page with a view keeps it up to date, shown or not.
      for (auto& page : pages_) page->OnSheetMessage(message, wParam, lParam);
      return true;
    case UM_START_RECOVERY:
      tally_.Observe();
      if (CWizardPage* page = CurrentPage()) page->OnSheetMessage(message, wParam, lParam);
      return true;
    case UM_WIZARD_CHECK_DRIVE:
      if (CWizardPage* page = CurrentPage())
        ::PostMessageW(page->Handle(), UM_WIZARD_CHECK_DRIVE, wParam, lParam);
      return true;
    case UM_DEVICE_CHANGE:
      if (CWizardPage* page = CurrentPage()) page->OnSheetMessage(message, wParam, lParam);
      return true;
    case UM_WIZARD_PAGE_INITIALISED:
      CentreOnce();
      if (g_pApp) CWindow(sheet_).SetText(g_pApp->GetTitle());
      return true;
    case UM_WIZARD_RELAYOUT:
      Layout();
      return true;
    case UM_APP_NOTICE:
      if (g_pApp) g_pApp->OnCommand(static_cast<uint32_t>(wParam));
      return true;
    case WM_CLOSE:
      OnClose(wParam, lParam);
      return true;
    case WM_COMMAND:
      // The sheet's own buttons (Back, Next, Cancel) go on to the system.
      if (lParam && reinterpret_cast<HWND>(lParam) != menuButton_) return false;
      return OnSheetCommand(LOWORD(wParam));
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == link_ &&
          (header->code == NM_CLICK || header->code == NM_RETURN)) {
        if (g_pApp) g_pApp->OnCommand(CommandWebSite);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

bool CWizardMode_Main::OnSheetCommand(int id) {
  switch (id) {
    case IDC_WIZARD_MENU_BUTTON:
    case IDC_WIZARD_MENU_BUTTON_ALT:
      ShowMenu();
      return true;
    case ID_WIZARD_EXPLORER_MODE:
      if (g_pApp) g_pApp->SwitchMode(ModeExplorer);
      return true;
    case ID_WIZARD_SETTINGS:
    case CommandAbout:
    case CommandHelpContents:
    case CommandRecoveryGuide:
    case CommandHelpSearch:
    case CommandTestimonialsPage:
    case CommandWebSite:
    case CommandSupportPage:
      if (g_pApp && !g_pApp->OnCommand(static_cast<uint32_t>(id)) && g_pLog)
        g_pLog->LogInfo(u"This command is not available yet.");
      return true;
    default:
      return false;
  }
}

void CWizardMode_Main::ShowMenu() {
  HMENU menu = ::LoadMenuW(CModule::Instance(), MAKEINTRESOURCEW(IDR_WIZARD_MENU));
  if (!menu) return;
  HMENU popup = ::GetSubMenu(menu, 0);
  RECT button{};
  ::GetWindowRect(menuButton_, &button);
  if (popup)
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_LEFTBUTTON, button.left,
                     button.top, 0, sheet_, nullptr);
  ::DestroyMenu(menu);
}

void CWizardMode_Main::OnClose(WPARAM wParam, LPARAM lParam) {
  if (closing_) return;
  SavePlacement();
  closing_ = true;
  const bool quitting = !g_pApp || g_pApp->OnWindowClose(wParam, lParam);
  closing_ = false;
  if (quitting) ::DestroyWindow(sheet_);
}

void CWizardMode_Main::SavePlacement() const {
  if (!g_pApp || !sheet_) return;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!::GetWindowPlacement(sheet_, &placement)) return;
  std::memcpy(g_pApp->Settings.WizardPlacement, &placement, sizeof(placement));
}

void CWizardMode_Main::RestorePlacement() const {
  if (!g_pApp || !sheet_) return;
  WINDOWPLACEMENT placement{};
  std::memcpy(&placement, g_pApp->Settings.WizardPlacement, sizeof(placement));
  if (!UsablePlacement(placement)) return;
  // Only the position: the size is the one the pages need.
  ::SetWindowPos(sheet_, nullptr, placement.rcNormalPosition.left, placement.rcNormalPosition.top,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const_cast<CWizardMode_Main*>(this)->centred_ = true;
}

void CWizardMode_Main::OnGone() {
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->RemoveMessageFilter(this);
  if (g_pApp) g_pApp->ForgetWindow(target_);
  sheet_ = nullptr;
  delete this;
}

}  // namespace ui
