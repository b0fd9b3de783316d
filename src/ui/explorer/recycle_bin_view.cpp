#include "ui/explorer/recycle_bin_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "platform/text.h"
#include "ui/framework/module.h"

namespace {

constexpr int kSummaryHeight = 22;
constexpr UINT kRestoreCommand = 1;

void AddColumn(HWND list, int index, const wchar_t* title, int width, int format = LVCFMT_LEFT) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  ListView_InsertColumn(list, index, &column);
}

// The text of a shell answer, which comes in one of three forms; a string the shell allocated
// is freed.
std::wstring StrRetText(STRRET& text, PCUITEMID_CHILD item) {
  switch (text.uType) {
    case STRRET_WSTR: {
      std::wstring result = text.pOleStr ? text.pOleStr : L"";
      ::CoTaskMemFree(text.pOleStr);
      text.pOleStr = nullptr;
      return result;
    }
    case STRRET_CSTR: {
      wchar_t buffer[MAX_PATH] = {};
      ::MultiByteToWideChar(CP_ACP, 0, text.cStr, -1, buffer, MAX_PATH);
      return buffer;
    }
    case STRRET_OFFSET: {
      if (!item || text.uOffset >= item->mkid.cb) return {};
      const char* ansi = reinterpret_cast<const char*>(item) + text.uOffset;
      const int room = static_cast<int>(item->mkid.cb - text.uOffset);
      wchar_t buffer[MAX_PATH] = {};
      ::MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(strnlen(ansi, room)), buffer,
                            MAX_PATH - 1);
      return buffer;
    }
    default:
      return {};
  }
}

std::wstring DisplayName(IShellFolder* folder, PCUITEMID_CHILD item) {
  STRRET name{};
  if (FAILED(folder->GetDisplayNameOf(item, SHGDN_NORMAL, &name))) return {};
  return StrRetText(name, item);
}

// A detail column of the bin's own view (original location, date deleted, size), or empty.
std::wstring Detail(IShellFolder2* folder, PCUITEMID_CHILD item, UINT column) {
  if (!folder) return {};
  SHELLDETAILS details{};
  if (FAILED(folder->GetDetailsOf(item, column, &details))) return {};
  return StrRetText(details.str, item);
}

bool IsUndeleteVerb(IContextMenu* menu, UINT offset) {
  wchar_t verb[64] = {};
  if (FAILED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb), 64)))
    return false;
  return ::lstrcmpiW(verb, L"undelete") == 0;
}

}  // namespace

CRecycleBinView::~CRecycleBinView() {
  Clear();
  if (bin_) bin_->Release();
}

bool CRecycleBinView::Create(HWND parent) {
  HINSTANCE instance = ui::CModule::Instance();
  summary_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_CENTERIMAGE | SS_LEFTNOWORDWRAP, 0,
                               0, 0, 0, parent, nullptr, instance, nullptr);
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            0, 0, 0, 0, parent, nullptr, instance, nullptr);
  if (!summary_ || !list_) return false;
  const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
  ::SendMessageW(summary_, WM_SETFONT, font, FALSE);
  ::SendMessageW(list_, WM_SETFONT, font, FALSE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  AddColumn(list_, 0, L"Name", 200);
  AddColumn(list_, 1, L"Original Location", 220);
  AddColumn(list_, 2, L"Date Deleted", 140);
  AddColumn(list_, 3, L"Size", 90, LVCFMT_RIGHT);

  IShellFolder* desktop = nullptr;
  if (FAILED(::SHGetDesktopFolder(&desktop))) return true;
  PIDLIST_ABSOLUTE location = nullptr;
  if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &location))) {
    desktop->BindToObject(location, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&bin_));
    ::CoTaskMemFree(location);
  }
  desktop->Release();
  return true;
}

void CRecycleBinView::Move(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  ::MoveWindow(summary_, rect.left + 6, rect.top, width > 6 ? width - 6 : 0, kSummaryHeight, TRUE);
  ::MoveWindow(list_, rect.left, rect.top + kSummaryHeight, width,
               height > kSummaryHeight ? height - kSummaryHeight : 0, TRUE);
}

void CRecycleBinView::Show(bool show) {
  ::ShowWindow(summary_, show ? SW_SHOW : SW_HIDE);
  ::ShowWindow(list_, show ? SW_SHOW : SW_HIDE);
}

std::u16string CRecycleBinView::SummaryText() {
  SHQUERYRBINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(::SHQueryRecycleBinW(nullptr, &info)))
    return u"The Recycle Bin cannot be read on this computer.";
  if (info.i64NumItems == 0) return u"The Recycle Bin is empty.";
  return platform::Format(
      info.i64NumItems == 1 ? u"%I64d item, %I64d bytes" : u"%I64d items, %I64d bytes",
      static_cast<int64_t>(info.i64NumItems), static_cast<int64_t>(info.i64Size));
}

void CRecycleBinView::Clear() {
  ListView_DeleteAllItems(list_);
  for (PITEMID_CHILD item : items_) ::CoTaskMemFree(item);
  items_.clear();
}

int CRecycleBinView::Fill() {
  Clear();
  ::SetWindowTextW(summary_, platform::W(SummaryText().c_str()));
  if (!bin_) return 0;
  IEnumIDList* items = nullptr;
  if (bin_->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                        &items) != S_OK ||
      !items)
    return 0;
  IShellFolder2* details = nullptr;
  bin_->QueryInterface(IID_IShellFolder2, reinterpret_cast<void**>(&details));
  PITEMID_CHILD child = nullptr;
  while (items->Next(1, &child, nullptr) == S_OK) {
    std::wstring name = DisplayName(bin_, child);
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(items_.size());
    row.pszText = name.data();
    const int index = ListView_InsertItem(list_, &row);
    if (index < 0) {
      ::CoTaskMemFree(child);
      continue;
    }
    items_.push_back(child);
    for (UINT column = 1; column <= 3; ++column) {
      std::wstring text = Detail(details, child, column);
      ListView_SetItemText(list_, index, static_cast<int>(column), text.data());
    }
  }
  if (details) details->Release();
  items->Release();
  return static_cast<int>(items_.size());
}

bool CRecycleBinView::Restore(int index) {
  if (!bin_ || index < 0 || static_cast<size_t>(index) >= items_.size()) return false;
  PCUITEMID_CHILD item = items_[static_cast<size_t>(index)];
  IContextMenu* menu = nullptr;
  if (FAILED(bin_->GetUIObjectOf(::GetParent(list_), 1, &item, IID_IContextMenu, nullptr,
                                 reinterpret_cast<void**>(&menu))))
    return false;
  bool restored = false;
  HMENU popup = ::CreatePopupMenu();
  constexpr UINT kFirst = 1, kLast = 0x7FFF;
  if (popup && SUCCEEDED(menu->QueryContextMenu(popup, 0, kFirst, kLast, CMF_NORMAL))) {
    // The verb is looked for by name: the menu's captions are translated, its verbs are not.
    const int count = ::GetMenuItemCount(popup);
    for (int position = 0; position < count && !restored; ++position) {
      const UINT id = ::GetMenuItemID(popup, position);
      if (id == static_cast<UINT>(-1) || id < kFirst || id > kLast) continue;
      if (!IsUndeleteVerb(menu, id - kFirst)) continue;
      CMINVOKECOMMANDINFO invoke{};
      invoke.cbSize = sizeof(invoke);
      invoke.hwnd = ::GetParent(list_);
      invoke.lpVerb = MAKEINTRESOURCEA(id - kFirst);
      invoke.nShow = SW_SHOWNORMAL;
      restored = SUCCEEDED(menu->InvokeCommand(&invoke));
    }
  }
  if (popup) ::DestroyMenu(popup);
  menu->Release();
  if (restored) Fill();
  return restored;
}

void CRecycleBinView::ShowContextMenu() {
  const int index = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  if (index < 0) return;
  HMENU popup = ::CreatePopupMenu();
  if (!popup) return;
  ::AppendMenuW(popup, MF_STRING, kRestoreCommand, L"&Restore");
  POINT cursor;
  ::GetCursorPos(&cursor);
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
      popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, ::GetParent(list_), nullptr));
  ::DestroyMenu(popup);
  if (chosen == kRestoreCommand && !Restore(index))
    ::MessageBoxW(::GetParent(list_), L"The item could not be restored.", L"Recycle Bin",
                  MB_OK | MB_ICONERROR);
}

bool CRecycleBinView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != list_) return false;
  if (header.code == NM_RCLICK) {
    ShowContextMenu();
    result = 1;
    return true;
  }
  if (header.code == LVN_KEYDOWN &&
      reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_RETURN) {
    Restore(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
    return true;
  }
  return false;
}
