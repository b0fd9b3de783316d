#include "ui/framework/toolbar.h"

#include <vector>

#include "platform/text.h"
#include "ui/framework/grey_image.h"
#include "ui/framework/module.h"

namespace ui {

CToolBar::~CToolBar() {
  // The toolbar window goes with its parent; the image lists are the toolbar's owner's.
  if (images_) ImageList_Destroy(images_);
  if (disabledImages_) ImageList_Destroy(disabledImages_);
}

bool CToolBar::Create(HWND parent, std::u16string_view name,
                      const std::vector<ToolBarButton>& buttons) {
  const std::u16string title(name);
  toolbar_ = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, platform::W(title.c_str()),
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                   TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                                   CCS_NORESIZE | CCS_NOPARENTALIGN,
                               0, 0, 0, 0, parent, nullptr, CModule::Instance(), nullptr);
  if (!toolbar_) return false;
  ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  ::SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0,
                 TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_DRAWDDARROWS);
  images_ = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, 12, 4);
  disabledImages_ = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, 12, 4);
  ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
  ::SendMessageW(toolbar_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabledImages_));

  // Button texts given as pointers may be kept by the toolbar as they are: they live as long
  // as this object (reserved, so that adding does not move them).
  texts_.clear();
  texts_.reserve(buttons.size());
  std::vector<TBBUTTON> items;
  for (const ToolBarButton& button : buttons) {
    TBBUTTON item{};
    if (button.command == 0) {
      item.fsStyle = BTNS_SEP;
      items.push_back(item);
      continue;
    }
    item.iBitmap = AddIcon(button.iconId);
    item.idCommand = button.command;
    item.fsState = TBSTATE_ENABLED;
    item.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
    if (!button.text.empty()) {
      texts_.push_back(button.text);
      item.fsStyle |= BTNS_SHOWTEXT;
      item.iString = reinterpret_cast<INT_PTR>(platform::W(texts_.back().c_str()));
    }
    items.push_back(item);
  }
  ::SendMessageW(toolbar_, TB_ADDBUTTONSW, items.size(), reinterpret_cast<LPARAM>(items.data()));
  ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  return true;
}

int CToolBar::AddIcon(int iconId) {
  HICON icon = static_cast<HICON>(::LoadImageW(CModule::Instance(), MAKEINTRESOURCEW(iconId),
                                               IMAGE_ICON, kImageSize, kImageSize, 0));
  if (!icon) return I_IMAGENONE;
  const int index = ImageList_AddIcon(images_, icon);
  std::vector<uint32_t> pixels(kImageSize * kImageSize);
  bool added = false;
  if (IconPixels(icon, kImageSize, pixels)) {
    MakeGrey(pixels);
    if (HBITMAP grey = BitmapOfPixels(pixels, kImageSize, kImageSize)) {
      added = ImageList_Add(disabledImages_, grey, nullptr) >= 0;
      ::DeleteObject(grey);
    }
  }
  // The lists stay in step: without a grey copy the colour picture stands in.
  if (!added) ImageList_AddIcon(disabledImages_, icon);
  ::DestroyIcon(icon);
  return index;
}

SIZE CToolBar::IdealSize() const {
  SIZE size{};
  if (toolbar_) ::SendMessageW(toolbar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  return size;
}

}  // namespace ui
