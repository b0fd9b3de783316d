#include "ui/explorer/files_list_view.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

#include "app/messages.h"
#include "app/strings.h"
#include "filesystems/found_object_store.h"
#include "filesystems/found_object_view.h"
#include "filesystems/found_type_names.h"
#include "platform/text.h"
#include "ui/explorer/found_icons.h"
#include "ui/framework/module.h"

namespace {

constexpr uint32_t kFirstColumnTitle = 164;  // "Name", then "Size", "Type", "Date Modified"

struct ColumnLayout {
  int width;
  int format;
};
constexpr ColumnLayout kColumns[] = {
    {200, LVCFMT_LEFT}, {100, LVCFMT_RIGHT}, {100, LVCFMT_LEFT}, {120, LVCFMT_LEFT}};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

// More selected rows than this are not carried over a re-sort one by one: the focused row is.
constexpr size_t kMaxKeptSelection = 10000;

// The shell asks for a path; a made-up name with the record's extension is all it needs, and
// keeps names from the drive (any length, any characters) away from the shell.
constexpr size_t kMaxExtensionUnits = 64;

std::u16string ShellTypeNameOf(std::u16string_view name, uint16_t attributes) {
  std::u16string probe = u"file";
  const size_t dot = name.rfind(u'.');
  // In lower case, as the cache keys it: the first name of an extension must not decide how
  // the type reads for all the others.
  if (dot != std::u16string_view::npos)
    probe +=
        platform::AsciiLower(name.substr(dot, std::min(kMaxExtensionUnits, name.size() - dot)));
  // Separators and wildcards in a name from the drive mean nothing to the type.
  std::replace_if(
      probe.begin(), probe.end(),
      [](char16_t c) {
        return c < 32 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?';
      },
      u'_');
  SHFILEINFOW info{};
  const DWORD fileAttributes = (attributes & ~FILE_ATTRIBUTE_DIRECTORY)
                                   ? (attributes & ~FILE_ATTRIBUTE_DIRECTORY)
                                   : FILE_ATTRIBUTE_NORMAL;
  if (!::SHGetFileInfoW(reinterpret_cast<const wchar_t*>(probe.c_str()), fileAttributes, &info,
                        sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
    return {};
  return std::u16string(reinterpret_cast<const char16_t*>(info.szTypeName));
}

// Copies as much of the text as the control's buffer holds, never splitting a surrogate pair.
void CopyText(std::u16string_view text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  size_t count = std::min(text.size(), static_cast<size_t>(capacity) - 1);
  if (count < text.size() && count > 0 && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF)
    --count;
  std::copy_n(text.data(), count, reinterpret_cast<char16_t*>(buffer));
  buffer[count] = L'\0';
}

FoundListColumn ColumnOf(int column) {
  switch (column) {
    case 1:
      return FoundListColumn::Size;
    case 2:
      return FoundListColumn::Type;
    case 3:
      return FoundListColumn::Date;
    default:
      return FoundListColumn::Name;
  }
}

}  // namespace

// Which objects were selected and focused, to be found again after their rows moved.
struct CFilesListView::Snapshot {
  std::vector<int> rows;                     // the selected rows
  std::vector<const FoundObject*> selected;  // their objects, ordered by address
  bool all = false;
  bool tooMany = false;  // more than are carried over one by one
  const FoundObject* focused = nullptr;
};

CFilesListView::CFilesListView() : typeNames_(std::make_unique<FoundTypeNames>(&ShellTypeNameOf)) {}

CFilesListView::~CFilesListView() {
  if (list_ && ::IsWindow(list_)) ::DestroyWindow(list_);
  if (images_) ImageList_Destroy(images_);
}

bool CFilesListView::Create(HWND parent, HWND notify) {
  list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA |
                                LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                            0, 0, 0, 0, parent, nullptr, ui::CModule::Instance(), nullptr);
  if (!list_) return false;
  notify_ = notify ? notify : ::GetAncestor(parent, GA_ROOT);
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  ListView_SetExtendedListViewStyle(list_,
                                    LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  images_ = CreateFoundImageList();
  if (images_) ListView_SetImageList(list_, images_, LVSIL_SMALL);
  AddColumns();
  return true;
}

void CFilesListView::AddColumns() {
  for (int index = 0; index < kColumnCount; ++index) {
    const std::u16string title = LanguageString(kFirstColumnTitle + static_cast<uint32_t>(index));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = kColumns[index].format;
    column.cx = kColumns[index].width;
    column.iSubItem = index;
    column.pszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(title.c_str()));
    ListView_InsertColumn(list_, index, &column);
  }
}

void CFilesListView::Fill(FoundObjectStore& store, int32_t folderId) {
  const bool sameFolder = store_ == &store && folderId_ == folderId;
  Snapshot snapshot;
  if (sameFolder) snapshot = TakeSnapshot();
  std::vector<FoundObject*> children;
  bool rowsKept = false;
  {
    auto guard = store.Lock();
    store.Children(folderId, children);
    rootId_ = store.RootId();
    rowsKept = rows_.Assign(std::move(children));
  }
  store_ = &store;
  folderId_ = folderId;
  if (!sameFolder) ForgetSelection();
  ShowCount();
  if (sameFolder && !rowsKept) RestoreSnapshot(snapshot);
  if (!sameFolder && !rows_.Objects().empty()) ListView_EnsureVisible(list_, 0, FALSE);
  UpdateSortArrows();
  Invalidate();
}

void CFilesListView::Add(FoundObject* object) {
  if (!object || !store_) return;
  {
    auto guard = store_->Lock();
    if (object->ParentId != folderId_ || !rows_.Append(object)) return;
  }
  ShowCount();
}

void CFilesListView::Remove(const FoundObject* object) {
  const ptrdiff_t row = rows_.Remove(object);
  if (row == FoundListRows::kNoRow) return;
  // The control moves the selection of the rows below up by one.
  restoring_ = true;
  if (!ListView_DeleteItem(list_, static_cast<int>(row))) ShowCount();
  restoring_ = false;
  Invalidate();
}

void CFilesListView::Clear() {
  ForgetSelection();
  rows_.Clear();
  store_ = nullptr;
  folderId_ = 0;
  ShowCount();
}

void CFilesListView::Invalidate() {
  if (list_) ::InvalidateRect(list_, nullptr, FALSE);
}

void CFilesListView::ShowCount() {
  // The control counts rows in an int.
  const size_t count = std::min<size_t>(rows_.Size(), static_cast<size_t>(INT_MAX));
  ListView_SetItemCountEx(list_, static_cast<int>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

std::vector<FoundObject*> CFilesListView::SelectedObjects() const {
  std::vector<FoundObject*> selected;
  const UINT count = ListView_GetSelectedCount(list_);
  if (count == 0) return selected;
  if (count >= rows_.Size()) return rows_.Objects();
  selected.reserve(count);
  for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
    if (FoundObject* object = rows_.At(row)) selected.push_back(object);
    if (selected.size() >= count) break;
  }
  return selected;
}

FoundObject* CFilesListView::FocusedObject() const {
  return rows_.At(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
}

bool CFilesListView::SelectFirstIfNone() {
  if (rows_.Size() == 0) return false;
  if (ListView_GetSelectedCount(list_) > 0) return true;
  ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list_, 0, FALSE);
  return true;
}

void CFilesListView::SortByColumn(int column) {
  const Snapshot snapshot = TakeSnapshot();
  if (store_) {
    auto guard = store_->Lock();
    rows_.SortByClick(ColumnOf(column));
  } else {
    rows_.SortByClick(ColumnOf(column));
  }
  RestoreSnapshot(snapshot);
  const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (focused >= 0) ListView_EnsureVisible(list_, focused, FALSE);
  UpdateSortArrows();
  Invalidate();
}

void CFilesListView::UpdateSortArrows() {
  HWND header = ListView_GetHeader(list_);
  if (!header) return;
  for (int index = 0; index < kColumnCount; ++index) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, index, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    switch (rows_.ArrowOf(ColumnOf(index))) {
      case SortArrow::Up:
        item.fmt |= HDF_SORTUP;
        break;
      case SortArrow::Down:
        item.fmt |= HDF_SORTDOWN;
        break;
      case SortArrow::None:
        break;
    }
    Header_SetItem(header, index, &item);
  }
}

// Row by row rather than for all rows at once: some list controls visit every row for that.
CFilesListView::Snapshot CFilesListView::TakeSnapshot() const {
  Snapshot snapshot;
  snapshot.focused = FocusedObject();
  const UINT count = ListView_GetSelectedCount(list_);
  if (count == 0) return snapshot;
  if (count >= rows_.Size()) {
    snapshot.all = true;
    return snapshot;
  }
  if (count > kMaxKeptSelection) {
    snapshot.tooMany = true;
    return snapshot;
  }
  for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
       row >= 0 && snapshot.rows.size() < count;
       row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
    snapshot.rows.push_back(row);
    if (FoundObject* object = rows_.At(row)) snapshot.selected.push_back(object);
  }
  std::sort(snapshot.selected.begin(), snapshot.selected.end());
  return snapshot;
}

// After the rows moved: the rows selected before are cleared and the rows now showing the
// selected objects are selected. A selection of every row stays as it is.
void CFilesListView::RestoreSnapshot(const Snapshot& snapshot) {
  if (snapshot.all) return;
  restoring_ = true;
  if (snapshot.tooMany) ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  for (int row : snapshot.rows) SelectRow(row, false);
  if (!snapshot.selected.empty()) {
    const std::vector<FoundObject*>& objects = rows_.Objects();
    for (size_t row = 0; row < objects.size(); ++row) {
      if (std::binary_search(snapshot.selected.begin(), snapshot.selected.end(), objects[row]))
        SelectRow(static_cast<int>(row), true);
    }
  }
  const ptrdiff_t focused = rows_.RowOf(snapshot.focused);
  if (focused != FoundListRows::kNoRow) {
    if (snapshot.tooMany) SelectRow(static_cast<int>(focused), true);
    ListView_SetItemState(list_, static_cast<int>(focused), LVIS_FOCUSED, LVIS_FOCUSED);
  }
  restoring_ = false;
}

void CFilesListView::ForgetSelection() {
  restoring_ = true;
  const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (focused >= 0) ListView_SetItemState(list_, focused, 0, LVIS_FOCUSED);
  // No rows, no selection; the count is set again by the caller.
  ListView_SetItemCountEx(list_, 0, LVSICF_NOSCROLL);
  if (ListView_GetSelectedCount(list_) > 0) ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  restoring_ = false;
}

void CFilesListView::SelectAll() {
  if (rows_.Size() == 0) return;
  restoring_ = true;
  ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
  restoring_ = false;
}

void CFilesListView::SelectRow(int row, bool select) {
  ListView_SetItemState(list_, row, select ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool CFilesListView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (!list_ || header.hwndFrom != list_) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW:
      GetDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
      result = 0;
      return true;
    case LVN_ODFINDITEMW:
      result = FindItem(reinterpret_cast<const NMLVFINDITEMW&>(header));
      return true;
    case LVN_COLUMNCLICK:
      SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      result = 0;
      return true;
    case LVN_ITEMCHANGED:
      ItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
      result = 0;
      return true;
    case LVN_KEYDOWN:
      KeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header));
      result = 0;
      return true;
    case NM_SETFOCUS:
      if (notify_) ::PostMessageW(notify_, UM_VIEW_FOCUS, reinterpret_cast<WPARAM>(list_), 0);
      result = 0;
      return true;
    default:
      return false;
  }
}

void CFilesListView::GetDisplayInfo(NMLVDISPINFOW& info) {
  LVITEMW& item = info.item;
  const FoundObject* object = rows_.At(item.iItem);
  if (!object || !store_) {
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) item.pszText[0] = L'\0';
    return;
  }
  // The writer may change sizes and flags while the list paints.
  FoundObject record;
  {
    auto guard = store_->Lock();
    record = *object;
  }
  if (item.mask & LVIF_IMAGE) item.iImage = FoundIconNumber(record, rootId_);
  if (!(item.mask & LVIF_TEXT)) return;
  switch (item.iSubItem) {
    case 0:
      CopyText(record.Name ? std::u16string_view(record.Name) : std::u16string_view(), item.pszText,
               item.cchTextMax);
      break;
    case 1:
      CopyText(FoundSizeText(record), item.pszText, item.cchTextMax);
      break;
    case 2:
      CopyText(FoundTypeText(record, typeNames_->AsLookup()), item.pszText, item.cchTextMax);
      break;
    case 3:
      CopyText(FoundDateText(record), item.pszText, item.cchTextMax);
      break;
    default:
      CopyText({}, item.pszText, item.cchTextMax);
      break;
  }
}

LRESULT CFilesListView::FindItem(const NMLVFINDITEMW& find) {
  const LVFINDINFOW& info = find.lvfi;
  if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL)) || !info.psz || !store_) return -1;
  const std::u16string_view text(reinterpret_cast<const char16_t*>(info.psz));
  const size_t start = find.iStart > 0 ? static_cast<size_t>(find.iStart) : 0;
  const bool wrap = (info.flags & LVFI_WRAP) != 0;
  const bool wholeName = (info.flags & LVFI_PARTIAL) == 0;
  auto guard = store_->Lock();
  return static_cast<LRESULT>(rows_.FindByName(text, start, wrap, wholeName));
}

void CFilesListView::ItemChanged(const NMLISTVIEW& change) {
  if (restoring_ || change.iItem < 0 || !(change.uChanged & LVIF_STATE)) return;
  const bool selectedNow =
      (change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0;
  if (!selectedNow) return;
  FoundObject* object = rows_.At(change.iItem);
  if (object && OnCurrentChanged) OnCurrentChanged(object);
}

void CFilesListView::KeyDown(const NMLVKEYDOWN& key) {
  if (key.wVKey == 'A' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
    SelectAll();
    return;
  }
  if (notify_) ::PostMessageW(notify_, UM_VIEW_KEY, key.wVKey, reinterpret_cast<LPARAM>(list_));
}
