#include "ui/wizard/search_file_type_tree_view.h"

#include <string>

#include "platform/text.h"
#include "signatures/file_types.h"

namespace ui {

namespace {

constexpr int kCheckAll = 1;
constexpr int kUncheckAll = 2;
constexpr int kImageSize = 16;

// An item's place in the model: the group in the high word, the type + 1 in the low word
// (0 for the group's own item).
LPARAM PlaceOf(size_t group, size_t typePlusOne) {
  return static_cast<LPARAM>((group << 16) | typePlusOne);
}
size_t GroupOfPlace(LPARAM place) { return static_cast<size_t>(place) >> 16; }
size_t TypeOfPlace(LPARAM place) { return static_cast<size_t>(place) & 0xFFFF; }

int ImageOf(CheckState state) {
  switch (state) {
    case CheckState::Checked:
      return CSearchFileTypeTreeView::kCheckedImage;
    case CheckState::Partial:
      return CSearchFileTypeTreeView::kPartialImage;
    case CheckState::Unchecked:
      break;
  }
  return CSearchFileTypeTreeView::kUncheckedImage;
}

}  // namespace

HIMAGELIST CreateCheckStateImages() {
  HIMAGELIST images = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32, 4, 0);
  if (!images) return nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, kImageSize * 4, kImageSize);
  HGDIOBJ previous = ::SelectObject(dc, bitmap);
  RECT all{0, 0, kImageSize * 4, kImageSize};
  ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
  const UINT states[] = {DFCS_BUTTONCHECK | DFCS_FLAT, DFCS_BUTTONCHECK | DFCS_FLAT | DFCS_CHECKED,
                         DFCS_BUTTONCHECK | DFCS_FLAT | DFCS_CHECKED | DFCS_INACTIVE};
  for (int i = 0; i < 3; ++i) {
    RECT box{(i + 1) * kImageSize + 2, 2, (i + 2) * kImageSize - 1, kImageSize - 1};
    ::DrawFrameControl(dc, &box, DFC_BUTTON, states[i]);
  }
  ::SelectObject(dc, previous);
  ImageList_Add(images, bitmap, nullptr);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return images;
}

CSearchFileTypeTreeView::CSearchFileTypeTreeView() = default;

CSearchFileTypeTreeView::~CSearchFileTypeTreeView() {
  subclass_.Detach();
  if (stateImages_) ImageList_Destroy(stateImages_);
}

bool CSearchFileTypeTreeView::Attach(HWND tree, FileTypeDatabase& database) {
  if (!tree) return false;
  tree_ = tree;
  database_ = &database;
  stateImages_ = CreateCheckStateImages();
  if (stateImages_)
    ::SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(stateImages_));
  subclass_.Attach(tree_, [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return OnTreeMessage(message, wParam, lParam, result);
  });
  model_.Build(database);
  Fill();
  return true;
}

void CSearchFileTypeTreeView::Fill() {
  ::SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  groupItems_.clear();
  typeItems_.clear();
  auto insert = [this](HTREEITEM parent, std::u16string_view text, LPARAM place, bool children) {
    const std::u16string name(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(platform::W(name.c_str()));
    insert.item.lParam = place;
    insert.item.cChildren = children ? 1 : 0;
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  };
  const auto& groups = model_.Groups();
  for (size_t g = 0; g < groups.size(); ++g) {
    HTREEITEM groupItem =
        insert(TVI_ROOT, groups[g].Record->TitleText(), PlaceOf(g, 0), !groups[g].Types.empty());
    groupItems_.push_back(groupItem);
    std::vector<HTREEITEM>& types = typeItems_.emplace_back();
    for (size_t t = 0; t < groups[g].Types.size() && t + 1 < 0xFFFF; ++t)
      types.push_back(
          insert(groupItem, groups[g].Types[t]->DisplayName(), PlaceOf(g, t + 1), false));
  }
  ShowStates();
  ::SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(tree_, nullptr, TRUE);
}

void CSearchFileTypeTreeView::SetItemImage(HTREEITEM item, int image) const {
  if (!item) return;
  TVITEMW change{};
  change.mask = TVIF_STATE;
  change.hItem = item;
  change.stateMask = TVIS_STATEIMAGEMASK;
  change.state = INDEXTOSTATEIMAGEMASK(image);
  ::SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void CSearchFileTypeTreeView::ShowStates() {
  for (size_t g = 0; g < groupItems_.size(); ++g) {
    SetItemImage(groupItems_[g], ImageOf(model_.GroupState(g)));
    for (size_t t = 0; t < typeItems_[g].size(); ++t)
      SetItemImage(typeItems_[g][t], model_.IsTypeChecked(g, t) ? kCheckedImage : kUncheckedImage);
  }
}

void CSearchFileTypeTreeView::LoadTree() {
  model_.LoadTree();
  ShowStates();
}

void CSearchFileTypeTreeView::ApplyTree() {
  if (database_) model_.ApplyTree(*database_);
}

void CSearchFileTypeTreeView::SetAll(bool checked) {
  model_.SetAll(checked);
  ShowStates();
}

void CSearchFileTypeTreeView::Toggle(HTREEITEM item) {
  TVITEMW read{};
  read.mask = TVIF_PARAM;
  read.hItem = item;
  if (!::SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read))) return;
  const size_t group = GroupOfPlace(read.lParam);
  const size_t typePlusOne = TypeOfPlace(read.lParam);
  if (typePlusOne == 0)
    // A partly checked group becomes checked whole, as the shell's trees do.
    model_.SetGroupChecked(group, model_.GroupState(group) != CheckState::Checked);
  else
    model_.SetTypeChecked(group, typePlusOne - 1, !model_.IsTypeChecked(group, typePlusOne - 1));
  ShowStates();
}

HTREEITEM CSearchFileTypeTreeView::BoxAt(LPARAM clientPoint) const {
  TVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  ::SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  return (hit.flags & TVHT_ONITEMSTATEICON) ? hit.hItem : nullptr;
}

bool CSearchFileTypeTreeView::OnTreeMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                            LRESULT& result) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (HTREEITEM item = BoxAt(lParam)) {
        ::SetFocus(tree_);
        Toggle(item);
        result = 0;
        return true;
      }
      return false;
    case WM_KEYDOWN:
      if (wParam != VK_SPACE) return false;
      if (auto item =
              reinterpret_cast<HTREEITEM>(::SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0)))
        Toggle(item);
      result = 0;
      return true;
    case WM_CHAR:
      // The space of the key above: no search for an item starting with a blank.
      return wParam == L' ';
    case WM_CONTEXTMENU:
      ShowMenu(lParam);
      result = 0;
      return true;
    default:
      return false;
  }
}

void CSearchFileTypeTreeView::ShowMenu(LPARAM screenPoint) {
  POINT point{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  if (screenPoint == -1) {
    RECT rect{};
    ::GetWindowRect(tree_, &rect);
    point = {rect.left + 8, rect.top + 8};
  }
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  ::AppendMenuW(menu, MF_STRING, kCheckAll, L"Check All");
  ::AppendMenuW(menu, MF_STRING, kUncheckAll, L"Uncheck All");
  const int chosen = static_cast<int>(::TrackPopupMenu(
      menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, point.x, point.y, 0, tree_, nullptr));
  ::DestroyMenu(menu);
  if (chosen == kCheckAll) SetAll(true);
  if (chosen == kUncheckAll) SetAll(false);
}

}  // namespace ui
