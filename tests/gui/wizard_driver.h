// What the wizard's walk-through needs to drive lumenard.exe from the outside with Win32
// messages only: the wizard window and its current page, its buttons, the texts of controls,
// tree items and list rows read in the program's memory, the program's message boxes found by
// caption and text, clicks on rows, and the files it writes.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdint>
#include <string>
#include <vector>

#include "program_driver.h"
#include "remote_controls.h"
#include "test_files.h"

namespace wizard_testing {

using gui_testing::ClassOf;
using gui_testing::Descendants;
using gui_testing::FindTopWindow;
using gui_testing::FindTreeItem;
using gui_testing::FixturePath;
using gui_testing::ListItemText;
using gui_testing::Narrow;
using gui_testing::NewTempFolder;
using gui_testing::ReadFileBytes;
using gui_testing::RemoteBuffer;
using gui_testing::TextOf;
using gui_testing::TreeItemText;
using gui_testing::TreeItemTextRect;
using gui_testing::WaitFor;
using gui_testing::WindowsPath;

// The buttons of a wizard sheet.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

inline std::wstring ItemTextOf(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? TextOf(item) : std::wstring();
}

// ---- the wizard sheet

inline HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// The current page when it holds the control that only that page has.
inline HWND PageWith(HWND sheet, int controlId) {
  HWND page = CurrentPage(sheet);
  return page && GetDlgItem(page, controlId) ? page : nullptr;
}

inline HWND WaitForPage(HWND sheet, int controlId, DWORD timeoutMs) {
  HWND page = nullptr;
  WaitFor([&] { return (page = PageWith(sheet, controlId)) != nullptr; }, timeoutMs);
  return page;
}

inline bool ButtonEnabled(HWND sheet, int id) {
  HWND button = GetDlgItem(sheet, id);
  return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

inline void Press(HWND sheet, int button) { PostMessageW(sheet, PSM_PRESSBUTTON, button, 0); }

// A button of a page or dialog, as its click reaches the parent.
inline void Click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// ---- message boxes

// The message box of the process with the caption whose text is text; null when none shows.
inline HWND FindMessageBox(DWORD process, const wchar_t* caption, const std::wstring& text) {
  HWND box = FindTopWindow(process, L"#32770", caption);
  if (!box) return nullptr;
  // The text of a message box is its static control 0xFFFF.
  return ItemTextOf(box, 0xFFFF) == text ? box : nullptr;
}

inline HWND WaitForMessageBox(DWORD process, const wchar_t* caption, const std::wstring& text,
                              DWORD timeoutMs) {
  HWND box = nullptr;
  WaitFor([&] { return (box = FindMessageBox(process, caption, text)) != nullptr; }, timeoutMs);
  return box;
}

inline bool Answer(HWND box, int button) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000);
}

// ---- controls in the program's memory

// The item in any visible tree below window; its tree in tree.
inline HTREEITEM FindTreeItemIn(HANDLE process, HWND window, const std::wstring& text, HWND* tree) {
  for (HWND candidate : Descendants(window, WC_TREEVIEWW))
    if (HTREEITEM item = FindTreeItem(process, candidate, TreeView_GetRoot(candidate), text)) {
      if (tree) *tree = candidate;
      return item;
    }
  return nullptr;
}

// Opens item and every item below it (the view fills a folder's node when it opens).
inline void ExpandAll(HWND tree, HTREEITEM item, int depth = 0) {
  if (!item || depth > 16) return;
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  for (HTREEITEM child = TreeView_GetChild(tree, item); child;
       child = TreeView_GetNextSibling(tree, child))
    ExpandAll(tree, child, depth + 1);
}

// Every item's text below item, depth first (for failure messages).
inline void CollectTreeTexts(HANDLE process, HWND tree, HTREEITEM item, int depth,
                             std::string& out) {
  for (; item && depth < 8; item = TreeView_GetNextSibling(tree, item)) {
    out += std::string(2 * depth, ' ') + Narrow(TreeItemText(process, tree, item)) + "\n";
    CollectTreeTexts(process, tree, TreeView_GetChild(tree, item), depth + 1, out);
  }
}

// The row of the visible list below window whose first column is text; -1 when none.
inline int FindListRow(HANDLE process, HWND window, const std::wstring& text, HWND* list) {
  for (HWND candidate : Descendants(window, WC_LISTVIEWW)) {
    const int count = static_cast<int>(SendMessageW(candidate, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
      if (ListItemText(process, candidate, row, 0) == text) {
        if (list) *list = candidate;
        return row;
      }
  }
  return -1;
}

inline RECT ListRowRect(HANDLE process, HWND list, int row) {
  RECT rect{};
  RemoteBuffer remote(process, sizeof(RECT));
  if (!remote) return rect;
  rect.left = LVIR_LABEL;
  remote.Write(0, &rect, sizeof(rect));
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(remote.At(0)));
  remote.Read(0, &rect, sizeof(rect));
  return rect;
}

// A click with the left button at a point of a control's client area, as the mouse gives it
// (the control takes the focus and selects what lies there).
inline void ClickAt(HWND control, int x, int y) {
  const LPARAM at = MAKELPARAM(x, y);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(control, WM_LBUTTONUP, 0, at);
}

inline bool SelectTreeItem(HWND tree, HTREEITEM item) {
  return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

}  // namespace wizard_testing
