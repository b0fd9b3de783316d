#include "ui/wizard/wizard_step1.h"

#include <commctrl.h>

#include <algorithm>

#include "app/messages.h"
#include "resources/resource.h"
#include "resources/wizard_resources.h"
#include "ui/dialogs/drive_image_dialogs.h"
#include "ui/explorer/volume_explore_view.h"
#include "ui/framework/module.h"
#include "ui/wizard/wizard_main.h"
#include "ui/wizard/wizard_messages.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace ui {

namespace {

constexpr int kTreeWidth = 120;
// A drive's state changes on the threads that query it: Next follows it while the page shows.
constexpr UINT_PTR kReadyTimer = 324;
constexpr UINT kReadyPollMs = 500;

}  // namespace

CWizardMode_Step1::CWizardMode_Step1() : CWizardPage(IDD_WIZARD_STEP1, 144, u"Wizard.Step1") {}
CWizardMode_Step1::~CWizardMode_Step1() = default;

void CWizardMode_Step1::OnInit() {
  CreateView();
  if (view_) view_->Refresh();
}

void CWizardMode_Step1::CreateView() {
  // The view lives in a holder over the placeholder, which passes the tree's notifications
  // on to this page: the tree on the left, the selected drive's pane on the right.
  if (!holder_.CreateChild(Handle())) return;
  if (!rightHost_.CreateChild(holder_.Handle(), WS_EX_CLIENTEDGE)) return;
  view_ = std::make_unique<CVolumeExploreView>();
  if (!view_->Create(holder_.Handle())) {
    view_.reset();
    return;
  }
  rightHost_.SetSizeHandler([this](int, int) {
    if (view_) view_->LayoutRightPane();
  });
  view_->SetRightPaneHost(rightHost_.Handle());
  holder_.SetSizeHandler([this](int width, int height) {
    if (!view_) return;
    const int tree = std::min(kTreeWidth, width);
    ::MoveWindow(view_->Handle(), 0, 0, tree, height, TRUE);
    rightHost_.Move(tree, 0, width - tree, height);
  });
  Layout();
}

void CWizardMode_Step1::Layout() {
  HWND placeholder = Item(IDC_WIZARD_VIEW_PLACEHOLDER);
  if (!placeholder || !holder_.IsWindow()) return;
  RECT rect{};
  ::GetWindowRect(placeholder, &rect);
  ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
  ::InflateRect(&rect, -1, -1);
  ::SetWindowPos(holder_.Handle(), HWND_TOP, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, 0);
}

void CWizardMode_Step1::OnSetActive() {
  if (view_) view_->Refresh();
  // The sheet counts this page as the current one only once the turn is over.
  nextOffered_ = ReadyDrive() != nullptr;
  EnableBackNext(true, nextOffered_);
  ::SetTimer(Handle(), kReadyTimer, kReadyPollMs, nullptr);
}

void CWizardMode_Step1::OnKillActive() { ::KillTimer(Handle(), kReadyTimer); }

void CWizardMode_Step1::OnTimer(UINT_PTR id) {
  if (id != kReadyTimer) return;
  const bool ready = ReadyDrive() != nullptr;
  if (ready != nextOffered_) UpdateButtons();
}

CVolume* CWizardMode_Step1::ReadyDrive() const {
  CVolume* volume = view_ ? view_->SelectedVolume() : nullptr;
  return volume && volume->State.load() == VolumeStateReady ? volume : nullptr;
}

void CWizardMode_Step1::UpdateButtons() {
  if (!IsActive()) return;
  nextOffered_ = ReadyDrive() != nullptr;
  EnableBackNext(true, nextOffered_);
}

bool CWizardMode_Step1::SelectDrive() {
  CVolume* drive = ReadyDrive();
  if (!drive || !g_pComputer) return false;
  g_pComputer->SelectedVolume = drive;
  return true;
}

PageTurn CWizardMode_Step1::OnWizardNext() {
  return SelectDrive() ? PageTurn::Default() : PageTurn::Stay();
}

bool CWizardMode_Step1::OnCommand(int id, int, HWND) {
  switch (id) {
    case ID_DRIVE_SELECT:
      if (SelectDrive()) ::PostMessageW(Sheet().Handle(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
      return true;
    case ID_RESCAN_DRIVES:
      if (g_pComputer) g_pComputer->Volumes.RescanAndWait();
      if (view_) view_->Refresh();
      UpdateButtons();
      return true;
    case ID_LOAD_DRIVE_IMAGE:
      if (CVolume* image = RunLoadDriveImage(Sheet().Handle())) {
        if (view_) {
          view_->Refresh();
          view_->SelectVolume(image);
        }
      }
      UpdateButtons();
      return true;
    default:
      return false;
  }
}

bool CWizardMode_Step1::OnNotify(const NMHDR& header, LRESULT& result) {
  if (!view_ || header.hwndFrom != view_->Handle()) return false;
  if (header.code == NM_DBLCLK) {
    if (ReadyDrive()) OnCommand(ID_DRIVE_SELECT, 0, nullptr);
    result = 1;
    return true;
  }
  if (header.code == NM_RCLICK) {
    ShowDriveMenu(static_cast<LPARAM>(::GetMessagePos()));
    result = 1;
    return true;
  }
  const bool handled = view_->OnNotify(header, result);
  if (header.code == TVN_SELCHANGEDW || header.code == TVN_SELCHANGEDA) UpdateButtons();
  return handled;
}

bool CWizardMode_Step1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message == UM_WIZARD_CHECK_DRIVE) {
    UpdateButtons();
    return true;
  }
  if (!view_) return false;
  LRESULT viewResult = 0;
  if (!view_->OnMessage(message, wParam, lParam, viewResult)) return false;
  result = viewResult;
  UpdateButtons();
  return true;
}

bool CWizardMode_Step1::OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message != UM_DEVICE_CHANGE && message != UM_FOUND_VOLUME_ADDED) || !view_) return false;
  LRESULT ignored = 0;
  view_->OnMessage(message, wParam, lParam, ignored);
  view_->Refresh();
  UpdateButtons();
  return true;
}

void CWizardMode_Step1::ShowDriveMenu(LPARAM screenPoint) {
  HWND tree = view_->Handle();
  TVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  const POINT screen = hit.pt;
  ::ScreenToClient(tree, &hit.pt);
  ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  // The node under the pointer becomes the selected one, as in the shell's trees.
  if (hit.hItem)
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit.hItem));
  HMENU loaded = ::LoadMenuW(CModule::Instance(), MAKEINTRESOURCEW(IDR_DRIVE_MENU));
  HMENU popup = loaded ? ::GetSubMenu(loaded, 0) : nullptr;
  if (popup) {
    // The wizard offers only what it can do with a drive here.
    const bool ready = ReadyDrive() != nullptr;
    ::EnableMenuItem(popup, ID_DRIVE_SELECT, MF_BYCOMMAND | (ready ? MF_ENABLED : MF_GRAYED));
    ::DeleteMenu(popup, ID_CREATE_DRIVE_IMAGE, MF_BYCOMMAND);
    ::DeleteMenu(popup, ID_DRIVE_PROPERTIES, MF_BYCOMMAND);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, Handle(),
                     nullptr);
  }
  if (loaded) ::DestroyMenu(loaded);
}

}  // namespace ui
