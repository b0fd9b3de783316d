// Reading the controls of another process: window texts, the visible controls of a class,
// and tree items, list rows and status-bar panes, whose messages take pointers that must
// point into the program's own memory.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "program_driver.h"

namespace gui_testing {

// The text with anything beyond ASCII as '?', for failure messages.
inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// A window's text as WM_GETTEXT gives it (GetWindowText does not ask another process's
// controls); empty when the window does not answer within 5 seconds.
inline std::wstring TextOf(HWND window) {
  std::vector<wchar_t> text(65536, L'\0');
  SendMessageTimeoutW(window, WM_GETTEXT, text.size() - 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_BLOCK, 5000, nullptr);
  return text.data();
}

// The visible top-level window of the process with the class and (when given) the title.
inline HWND FindTopWindow(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
  struct Search {
    DWORD process;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
  } search{process, className, title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process || !IsWindowVisible(window)) return TRUE;
        if (ClassOf(window) != search->className) return TRUE;
        if (search->title && TextOf(window) != search->title) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND WaitForTopWindow(DWORD process, const wchar_t* className, const wchar_t* title,
                             DWORD timeoutMs) {
  HWND window = nullptr;
  WaitFor([&] { return (window = FindTopWindow(process, className, title)) != nullptr; },
          timeoutMs);
  return window;
}

// Replaces an edit's text the way a user does: select all, then type each character.
inline void TypeInto(HWND edit, const std::wstring& text) {
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

// The visible descendants of a class.
inline std::vector<HWND> Descendants(HWND parent, const wchar_t* className) {
  struct Found {
    const wchar_t* className;
    std::vector<HWND> windows;
  } found{className, {}};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* found = reinterpret_cast<Found*>(parameter);
        if (IsWindowVisible(window) && lstrcmpiW(ClassOf(window).c_str(), found->className) == 0)
          found->windows.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

// Memory in the program's process for the structures its controls fill.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t bytes)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  uint8_t* At(size_t offset) const { return static_cast<uint8_t*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t bytes) const {
    return address_ && WriteProcessMemory(process_, At(offset), data, bytes, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t bytes) const {
    return address_ && ReadProcessMemory(process_, At(offset), data, bytes, nullptr) != FALSE;
  }
  explicit operator bool() const { return address_ != nullptr; }

 private:
  HANDLE process_;
  void* address_;
};

// The structure a message fills sits at the start of the remote buffer, its text here.
constexpr size_t kRemoteTextOffset = 512;
constexpr int kRemoteTextChars = 512;

// The text the remote buffer's text part holds.
inline std::wstring RemoteText(const RemoteBuffer& remote) {
  std::vector<wchar_t> text(kRemoteTextChars + 1, L'\0');
  remote.Read(kRemoteTextOffset, text.data(), kRemoteTextChars * sizeof(wchar_t));
  return text.data();
}

// An item's text; empty when the tree does not know the item.
inline std::wstring TreeItemText(HANDLE process, HWND tree, HTREEITEM item) {
  RemoteBuffer remote(process, kRemoteTextOffset + kRemoteTextChars * sizeof(wchar_t));
  if (!remote) return {};
  TVITEMW data{};
  data.mask = TVIF_TEXT | TVIF_HANDLE;
  data.hItem = item;
  data.pszText = reinterpret_cast<wchar_t*>(remote.At(kRemoteTextOffset));
  data.cchTextMax = kRemoteTextChars;
  remote.Write(0, &data, sizeof(data));
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)))) return {};
  return RemoteText(remote);
}

// The item whose text is text, depth first below item and its siblings (among the items the
// tree has filled); null when none.
inline HTREEITEM FindTreeItem(HANDLE process, HWND tree, HTREEITEM item, const std::wstring& text) {
  for (; item; item = TreeView_GetNextSibling(tree, item)) {
    if (TreeItemText(process, tree, item) == text) return item;
    if (HTREEITEM found = FindTreeItem(process, tree, TreeView_GetChild(tree, item), text))
      return found;
  }
  return nullptr;
}

// The rectangle of an item's text in the tree's client area; empty when the tree does not know
// the item.
inline RECT TreeItemTextRect(HANDLE process, HWND tree, HTREEITEM item) {
  RECT rect{};
  RemoteBuffer remote(process, sizeof(RECT));
  if (!remote) return rect;
  // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
  std::memcpy(&rect, &item, sizeof(item));
  remote.Write(0, &rect, sizeof(rect));
  if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.At(0))))
    return RECT{};
  remote.Read(0, &rect, sizeof(rect));
  return rect;
}

inline std::wstring ListItemText(HANDLE process, HWND list, int row, int column) {
  RemoteBuffer remote(process, kRemoteTextOffset + kRemoteTextChars * sizeof(wchar_t));
  if (!remote) return {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.At(kRemoteTextOffset));
  item.cchTextMax = kRemoteTextChars;
  remote.Write(0, &item, sizeof(item));
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(remote.At(0)));
  return RemoteText(remote);
}

// A pane's text of a status bar; empty when it is longer than the buffer.
inline std::wstring StatusPaneText(HANDLE process, HWND bar, int pane) {
  RemoteBuffer remote(process, kRemoteTextOffset + kRemoteTextChars * sizeof(wchar_t));
  if (!remote) return {};
  const LRESULT length = SendMessageW(bar, SB_GETTEXTLENGTHW, pane, 0);
  if (LOWORD(length) >= kRemoteTextChars) return {};
  SendMessageW(bar, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(remote.At(kRemoteTextOffset)));
  return RemoteText(remote);
}

}  // namespace gui_testing
