// Window smoke test: a top-level window with a tree view and a list view, as the explorer window
// has. It fills both, reads every text back through the controls' messages, and captures the
// window into a bitmap that it writes to $LUMENARD_ARTIFACTS/gui-smoke.bmp. Exit code 0 when all
// checks pass; each failed check is one line on stderr.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "screenshot.h"

namespace {

using gui_testing::ArtifactsFolder;
using gui_testing::Capture;
using gui_testing::CaptureArea;
using gui_testing::WriteBmp;

int g_failures = 0;

void Fail(const std::string& what) {
  std::fprintf(stderr, "gui_smoke: FAILED: %s\n", what.c_str());
  ++g_failures;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

void ExpectText(const char* where, const std::wstring& expected, const std::wstring& actual) {
  if (expected != actual)
    Fail(std::string(where) + ": expected \"" + Narrow(expected) + "\", read \"" + Narrow(actual) +
         "\"");
}

// Non-ASCII names on purpose: the controls must keep UTF-16 text unchanged.
const wchar_t* const kTreeTexts[] = {L"My Computer", L"Disk 1 (FAT32)", L"Lost folders",
                                     L"Lost files", L"Fotos \u00dcberlingen \u2013 2024"};
struct Row {
  const wchar_t* name;
  const wchar_t* size;
  const wchar_t* state;
};
const Row kRows[] = {{L"IMG_0001.JPG", L"2 412 544", L"Deleted"},
                     {L"Bericht \u00e4\u00f6\u00fc.docx", L"18 944", L"Existing"},
                     {L"\u0424\u043e\u0442\u043e.png", L"73 216", L"Lost"}};
const wchar_t kTitle[] = L"Lumenard window test";

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateFrame(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = FrameProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"LumenardGuiSmoke";
  if (!RegisterClassExW(&windowClass)) return nullptr;
  return CreateWindowExW(0, windowClass.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                         0, 720, 420, nullptr, nullptr, instance, nullptr);
}

std::vector<HTREEITEM> FillTree(HWND tree) {
  std::vector<HTREEITEM> items;
  HTREEITEM parent = TVI_ROOT;
  for (size_t i = 0; i < std::size(kTreeTexts); ++i) {
    TVINSERTSTRUCTW insert{};
    // My Computer > Disk 1 > the three folders below the disk.
    insert.hParent = i <= 2 ? parent : items[1];
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(kTreeTexts[i]);
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item) Fail("TVM_INSERTITEMW refused item " + std::to_string(i));
    items.push_back(item);
    if (i < 2) parent = item;
  }
  for (HTREEITEM item : {items[0], items[1]})
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items[1]));
  return items;
}

void CheckTree(HWND tree, const std::vector<HTREEITEM>& items) {
  auto count = SendMessageW(tree, TVM_GETCOUNT, 0, 0);
  if (count != static_cast<LRESULT>(std::size(kTreeTexts)))
    Fail("tree holds " + std::to_string(count) + " items");
  for (size_t i = 0; i < items.size(); ++i) {
    wchar_t buffer[128] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = items[i];
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
      Fail("TVM_GETITEMW failed on item " + std::to_string(i));
    ExpectText("tree item", kTreeTexts[i], item.pszText);
  }
  auto parent = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(items[4])));
  if (parent != items[1]) Fail("the last folder is not below the disk");
  auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected != items[1]) Fail("the disk is not the selected tree item");
}

void FillList(HWND list) {
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const wchar_t* const headers[] = {L"Name", L"Size", L"State"};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW lvColumn{};
    lvColumn.mask = LVCF_TEXT | LVCF_WIDTH;
    lvColumn.cx = column == 0 ? 180 : 90;
    lvColumn.pszText = const_cast<wchar_t*>(headers[column]);
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvColumn));
  }
  for (int row = 0; row < static_cast<int>(std::size(kRows)); ++row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(kRows[row].name);
    if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) != row)
      Fail("LVM_INSERTITEMW put row " + std::to_string(row) + " elsewhere");
    const wchar_t* cells[] = {kRows[row].size, kRows[row].state};
    for (int sub = 1; sub <= 2; ++sub) {
      item.iSubItem = sub;
      item.pszText = const_cast<wchar_t*>(cells[sub - 1]);
      SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
  }
}

void CheckList(HWND list) {
  auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
  if (count != static_cast<LRESULT>(std::size(kRows)))
    Fail("list holds " + std::to_string(count) + " rows");
  for (int row = 0; row < static_cast<int>(std::size(kRows)); ++row) {
    const wchar_t* expected[] = {kRows[row].name, kRows[row].size, kRows[row].state};
    for (int sub = 0; sub < 3; ++sub) {
      wchar_t buffer[128] = {};
      LVITEMW item{};
      item.iSubItem = sub;
      item.pszText = buffer;
      item.cchTextMax = static_cast<int>(std::size(buffer));
      auto length = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
      if (length != static_cast<LRESULT>(wcslen(expected[sub])))
        Fail("LVM_GETITEMTEXTW gave length " + std::to_string(length));
      ExpectText("list cell", expected[sub], buffer);
    }
  }
}

void PumpMessages(DWORD milliseconds) {
  DWORD start = GetTickCount();
  MSG message;
  while (GetTickCount() - start < milliseconds) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(20);
  }
}

// What the window itself shows, read from its own device context.
Capture CaptureWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  HDC windowDc = GetWindowDC(window);
  Capture capture;
  if (const char* failure = CaptureArea(windowDc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, capture))
    Fail(failure);
  ReleaseDC(window, windowDc);
  return capture;
}

// A painted window with text, grid lines and a selection has several colours; a blank or black
// capture has one or two.
void CheckCaptureShowsSomething(const Capture& capture) {
  std::set<uint32_t> colours;
  for (size_t i = 0; i + 2 < capture.pixels.size() && colours.size() < 64; i += 3)
    colours.insert(capture.pixels[i] | capture.pixels[i + 1] << 8 | capture.pixels[i + 2] << 16);
  if (colours.size() < 4)
    Fail("the captured window has only " + std::to_string(colours.size()) + " colours");
}

}  // namespace

int wmain() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
  if (!InitCommonControlsEx(&controls)) Fail("InitCommonControlsEx");
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND frame = CreateFrame(instance);
  if (!frame) {
    Fail("the top-level window could not be created (is there a display?)");
    return 1;
  }
  HWND tree = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
      WS_CHILD | WS_VISIBLE | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
      4, 4, 250, 370, frame, nullptr, instance, nullptr);
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 258, 4, 440,
                              370, frame, nullptr, instance, nullptr);
  if (!tree || !list) {
    Fail("the tree view or list view could not be created");
    return 1;
  }

  std::vector<HTREEITEM> items = FillTree(tree);
  FillList(list);
  ShowWindow(frame, SW_SHOW);
  UpdateWindow(frame);
  PumpMessages(500);

  CheckTree(tree, items);
  CheckList(list);
  wchar_t title[64] = {};
  GetWindowTextW(frame, title, static_cast<int>(std::size(title)));
  ExpectText("window title", kTitle, title);

  Capture capture = CaptureWindow(frame);
  CheckCaptureShowsSomething(capture);
  std::wstring folder = ArtifactsFolder();
  if (!folder.empty()) {
    std::wstring path = folder + L"\\gui-smoke.bmp";
    if (!WriteBmp(path, capture)) Fail("could not write " + Narrow(path));
  }

  DestroyWindow(frame);
  PumpMessages(50);
  if (g_failures == 0) std::printf("gui_smoke: all checks passed\n");
  return g_failures == 0 ? 0 : 1;
}
