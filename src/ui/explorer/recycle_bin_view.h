// The right pane of the Recycle Bin node: the items of the Windows Recycle Bin of every drive,
// read through the shell namespace, with a line that sums them up. Restore (the context menu,
// or Return) puts the chosen item back through its own "undelete" verb.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

class CRecycleBinView {
 public:
  CRecycleBinView() = default;
  ~CRecycleBinView();
  CRecycleBinView(const CRecycleBinView&) = delete;
  CRecycleBinView& operator=(const CRecycleBinView&) = delete;

  bool Create(HWND parent);
  // The summary line and the list, stacked; both are laid out by Move.
  HWND Handle() const { return list_; }
  void Move(const RECT& rect);
  void Show(bool show);
  // Lists the bin again; the number of items.
  int Fill();
  // Restores the item at index; true when the shell did.
  bool Restore(int index);
  // The list's notifications (the right-click menu, Return); true when handled.
  bool OnNotify(const NMHDR& header, LRESULT& result);

  // The summary of SHQueryRecycleBinW for all drives: "3 items, 12,345 bytes".
  static std::u16string SummaryText();

 private:
  void Clear();
  void ShowContextMenu();

  HWND summary_ = nullptr;
  HWND list_ = nullptr;
  IShellFolder* bin_ = nullptr;
  // The items' identifiers relative to the bin, in list order.
  std::vector<PITEMID_CHILD> items_;
};
