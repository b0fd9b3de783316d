// The file list of the explorer window: the files and folders of one found folder in a report
// view with the columns Name, Size, Type and Date Modified. The list is virtual: it holds one
// pointer per row and the control asks for the texts of the rows it paints, so a folder of a
// million found files shows at once. A click on a column header sorts (folders first), a
// second click turns the order round; several rows may be selected.
//
// The owner passes the list's WM_NOTIFY messages to OnNotify (they arrive at the window the
// list was created in). The list posts UM_VIEW_KEY (wParam: the key, lParam: the list) for
// each key pressed in it and UM_VIEW_FOCUS (wParam: the list) when it gets the focus to its
// notify window, the top-level window by default.
//
// Records belong to the store given to Fill and stay valid until that store is cleared; call
// Clear before it is.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "filesystems/found_list_rows.h"

class FoundObjectStore;
class FoundTypeNames;
struct FoundObject;

class CFilesListView {
 public:
  CFilesListView();
  ~CFilesListView();
  CFilesListView(const CFilesListView&) = delete;
  CFilesListView& operator=(const CFilesListView&) = delete;

  // Creates the list as a hidden child of parent; notify gets the posted messages (null: the
  // top-level window of parent).
  bool Create(HWND parent, HWND notify = nullptr);
  HWND Handle() const { return list_; }

  // Shows the children of the folder, in the store's order or, after the user sorted, in the
  // sort's order. Filling the folder already shown keeps its selection, focus and scroll
  // position (the refresh while an analysis runs).
  void Fill(FoundObjectStore& store, int32_t folderId);
  // A new object of the folder shown: appended at the end. Ignored when it is listed already
  // or belongs to another folder.
  void Add(FoundObject* object);
  void Remove(const FoundObject* object);
  // Shows nothing and forgets the store.
  void Clear();
  // Repaints the rows (sizes or flags changed).
  void Invalidate();

  // The folder shown, and whether one is.
  bool ShowsFolder() const { return store_ != nullptr; }
  int32_t FolderId() const { return folderId_; }

  // The selected objects in the order shown.
  std::vector<FoundObject*> SelectedObjects() const;
  FoundObject* FocusedObject() const;
  // Selects and focuses the first row when no row is selected; false when the list is empty.
  bool SelectFirstIfNone();
  // Selects every row (Ctrl+A); the current object stays as it is.
  void SelectAll();
  size_t Count() const { return rows_.Size(); }
  FoundObject* ObjectAt(int row) const { return rows_.At(row); }

  // What a click on a column header does (0 Name, 1 Size, 2 Type, 3 Date Modified).
  void SortByColumn(int column);
  const FoundListRows& Rows() const { return rows_; }
  // The bytes the view holds for its rows (without the control's own bookkeeping).
  size_t MemoryBytes() const { return rows_.MemoryBytes(); }

  // Called with the object of a row the user selects (LVN_ITEMCHANGED with a valid item).
  std::function<void(FoundObject*)> OnCurrentChanged;

  // The list's notifications; true when handled, with the result.
  bool OnNotify(const NMHDR& header, LRESULT& result);

 private:
  struct Snapshot;

  void AddColumns();
  void ShowCount();
  void UpdateSortArrows();
  void GetDisplayInfo(NMLVDISPINFOW& info);
  LRESULT FindItem(const NMLVFINDITEMW& find);
  void ItemChanged(const NMLISTVIEW& change);
  void KeyDown(const NMLVKEYDOWN& key);
  Snapshot TakeSnapshot() const;
  void RestoreSnapshot(const Snapshot& snapshot);
  void ForgetSelection();
  void SelectRow(int row, bool select);

  HWND list_ = nullptr;
  HWND notify_ = nullptr;
  HIMAGELIST images_ = nullptr;
  FoundObjectStore* store_ = nullptr;
  int32_t folderId_ = 0;
  int32_t rootId_ = 0;
  FoundListRows rows_;
  std::unique_ptr<FoundTypeNames> typeNames_;
  // Set while the view changes the selection itself: those changes are not the user's.
  bool restoring_ = false;
};
