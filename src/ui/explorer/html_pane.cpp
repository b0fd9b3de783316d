#include "ui/explorer/html_pane.h"

#include <commctrl.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "platform/text.h"
#include "ui/explorer/html_text.h"
#include "ui/explorer/stock_icons.h"
#include "ui/framework/canvas.h"
#include "ui/framework/library.h"
#include "ui/framework/module.h"

namespace {

std::wstring ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring folder(path.data(), length);
      return folder.substr(0, folder.find_last_of(L"\\/"));
    }
    path.resize(path.size() * 2);
  }
}

std::wstring MediaPath(std::u16string_view page) {
  return ProgramFolder() + L"\\media\\" + std::wstring(page.begin(), page.end());
}

// The page's text as UTF-8 from the file; empty when it cannot be read.
std::u16string ReadPage(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  // The program's pages are a few kilobytes; a larger file is cut, not a reason to stall.
  while (bytes.size() < (1u << 20) && ::ReadFile(file, buffer, sizeof buffer, &read, nullptr) &&
         read != 0)
    bytes.append(buffer, read);
  ::CloseHandle(file);
  return platform::Utf8ToUtf16(bytes);
}

bool RunsUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool FolderExists(const wchar_t* path) {
  const DWORD attributes = ::GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Wine's HTML engine needs its Gecko package, and without it offers to download one.
bool WineHasGecko() {
  wchar_t windows[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring installed = std::wstring(windows) + L"\\system32\\gecko";
  return FolderExists(installed.c_str()) || FolderExists(L"Z:\\usr\\share\\wine\\gecko") ||
         FolderExists(L"Z:\\opt\\wine\\gecko");
}

// An HTML engine that can draw a page: mshtml loads and, under Wine, has its Gecko.
bool HtmlEngineAvailable() {
  static const bool available = [] {
    HMODULE mshtml = ::LoadLibraryW(L"mshtml.dll");
    if (!mshtml) return false;
    ::FreeLibrary(mshtml);
    return !RunsUnderWine() || WineHasGecko();
  }();
  return available;
}

// The ATL host window class "AtlAxWin", which creates a WebBrowser for a URL as its text.
bool RegisterBrowserHost() {
  static const bool registered = [] {
    HMODULE atl = ::LoadLibraryW(L"atl.dll");
    using InitFunction = BOOL(WINAPI*)();
    auto init = ui::LibraryFunction<InitFunction>(atl, "AtlAxWinInit");
    return init && init();
  }();
  return registered;
}

enum class IconLook { Plain, Deleted, Lost };

// A 16 x 16 picture of the icon on white: faded for deleted objects, with a red mark for lost.
HBITMAP LegendBitmap(HICON icon, IconLook look) {
  ui::CCanvas canvas(16, 16);
  if (!canvas.Ready()) return nullptr;
  HDC dc = canvas.Dc();
  if (icon) ::DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
  if (look == IconLook::Lost) {
    HBRUSH red = ::CreateSolidBrush(RGB(208, 48, 48));
    HGDIOBJ oldBrush = ::SelectObject(dc, red);
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::Ellipse(dc, 9, 9, 16, 16);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(red);
  }
  if (look == IconLook::Deleted) {
    std::span<uint8_t> pixels = canvas.Pixels();
    for (size_t i = 0; i < pixels.size(); ++i)
      if (i % 4 != 3) pixels[i] = static_cast<uint8_t>((pixels[i] + 510) / 3);
  }
  return canvas.TakeOpaqueBitmap();
}

struct IconChoice {
  ShellIcon shellIcon;
  IconLook look;
};

IconChoice IconFor(std::u16string_view name) {
  if (name == u"drive") return {ShellIcon::FixedDrive, IconLook::Plain};
  if (name == u"folder") return {ShellIcon::Folder, IconLook::Plain};
  if (name == u"deleted-folder") return {ShellIcon::Folder, IconLook::Deleted};
  if (name == u"lost-folder") return {ShellIcon::Folder, IconLook::Lost};
  if (name == u"deleted-file") return {ShellIcon::File, IconLook::Deleted};
  if (name == u"lost-file") return {ShellIcon::File, IconLook::Lost};
  return {ShellIcon::File, IconLook::Plain};
}

HWND CreateLegendList(HWND parent, std::u16string_view html) {
  HWND list = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHAREIMAGELISTS,
      0, 0, 0, 0, parent, nullptr, ui::CModule::Instance(), nullptr);
  if (!list) return nullptr;
  ::SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 400;
  ListView_InsertColumn(list, 0, &column);
  // One image list for every legend of the process; the list views share it.
  static HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32, 8, 8);
  int row = 0;
  for (const LegendEntry& entry : LegendEntries(html)) {
    const IconChoice choice = IconFor(entry.Icon);
    HICON icon = SmallShellIcon(choice.shellIcon);
    HBITMAP bitmap = LegendBitmap(icon, choice.look);
    if (icon) ::DestroyIcon(icon);
    const int image = bitmap ? ImageList_Add(images, bitmap, nullptr) : -1;
    if (bitmap) ::DeleteObject(bitmap);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row++;
    item.iImage = image;
    item.pszText = const_cast<wchar_t*>(platform::W(entry.Label.c_str()));
    ListView_InsertItem(list, &item);
  }
  ListView_SetImageList(list, images, LVSIL_SMALL);
  ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE);
  return list;
}

HWND CreateTextPage(HWND parent, std::u16string_view html) {
  std::u16string text = HtmlToText(html);
  // The edit control breaks lines at CR LF only.
  std::u16string shown;
  for (char16_t c : text) {
    if (c == u'\n') shown += u'\r';
    shown += c;
  }
  HWND edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", platform::W(shown.c_str()),
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0,
                                0, 0, 0, parent, nullptr, ui::CModule::Instance(), nullptr);
  if (edit) {
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   FALSE);
    ::SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(8, 8));
  }
  return edit;
}

}  // namespace

struct CHtmlPane::Browser {};

CHtmlPane::CHtmlPane() = default;
CHtmlPane::~CHtmlPane() = default;

bool CHtmlPane::Create(HWND parent, std::u16string_view page) {
  const std::wstring path = MediaPath(page);
  if (HtmlEngineAvailable() && RegisterBrowserHost()) {
    const std::wstring url = L"file://" + path;
    window_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"AtlAxWin", url.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                                nullptr, ui::CModule::Instance(), nullptr);
    if (window_) {
      browser_ = std::make_unique<Browser>();
      return true;
    }
  }
  std::u16string html = ReadPage(path);
  if (html.empty())
    html = u"<p>The page " + std::u16string(page) +
           u" was not found in the media folder beside the program.</p>";
  window_ = page == u"legend.html" && !LegendEntries(html).empty() ? CreateLegendList(parent, html)
                                                                   : CreateTextPage(parent, html);
  return window_ != nullptr;
}
