#include "ui/explorer/volume_info_view.h"

#include <commctrl.h>

#include "platform/text.h"
#include "ui/explorer/volume_facts.h"
#include "ui/framework/module.h"

namespace {

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  ListView_InsertColumn(list, index, &column);
}

}  // namespace

bool CVolumeInfoView::Create(HWND parent) {
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER,
                            0, 0, 0, 0, parent, nullptr, ui::CModule::Instance(), nullptr);
  if (!list_) return false;
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  AddColumn(list_, 0, L"Property", 160);
  AddColumn(list_, 1, L"Value", 360);
  return true;
}

void CVolumeInfoView::ShowVolume(CVolume* volume) {
  ListView_DeleteAllItems(list_);
  if (!volume) return;
  int row = 0;
  for (const VolumeFact& fact : VolumeFacts(*volume)) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(platform::W(fact.Name.c_str()));
    const int index = ListView_InsertItem(list_, &item);
    if (index < 0) continue;
    ListView_SetItemText(list_, index, 1, const_cast<wchar_t*>(platform::W(fact.Value.c_str())));
    ++row;
  }
}

void CVolumeInfoView::FitColumns() {
  RECT client;
  ::GetClientRect(list_, &client);
  const int names = ListView_GetColumnWidth(list_, 0);
  if (client.right > names + 40) ListView_SetColumnWidth(list_, 1, client.right - names);
}
