// The explorer's file list inside one process, hosted in a test window and read back through
// the list control as a user sees it: column titles, row texts and pictures, header clicks,
// selection, type-ahead and the keys it passes on. One test puts a million found files in one
// folder of a real store and prints the time to show and sort them and the bytes per object.
// Screenshots go to $LUMENARD_ARTIFACTS.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/messages.h"
#include "filesystems/found_object_store.h"
#include "inprocess_host.h"
#include "platform/text.h"
#include "ui/explorer/files_list_view.h"
#include "ui/explorer/found_icons.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"

namespace {

using inprocess_testing::ListItemText;
using inprocess_testing::PrepareInterfaceThread;
using inprocess_testing::Pump;
using inprocess_testing::Screenshot;

constexpr wchar_t kHostClass[] = L"LumenardFilesListTestHost";
constexpr int32_t kRootId = 5;
constexpr int32_t kOtherFolderId = 77;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

int ListImage(HWND list, int row) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// A click on a column header, as the mouse makes it.
void ClickHeader(HWND list, int column) {
  HWND header = ListView_GetHeader(list);
  RECT rect{};
  Header_GetItemRect(header, column, &rect);
  const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageW(header, WM_MOUSEMOVE, 0, point);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(header, WM_LBUTTONUP, 0, point);
}

int HeaderArrow(HWND list, int column) {
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  Header_GetItem(ListView_GetHeader(list), column, &item);
  if (item.fmt & HDF_SORTUP) return 1;
  if (item.fmt & HDF_SORTDOWN) return -1;
  return 0;
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters)))
    return 0;
  // Wine leaves the private bytes at 0; its committed bytes tell the same story here.
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the host: the list fills the window; what the list tells its owner is recorded

class HostWindow : public ui::CCustomWindow {
 public:
  CFilesListView list;
  std::vector<FoundObject*> currentObjects;
  std::vector<std::pair<WPARAM, LPARAM>> keys;
  std::vector<WPARAM> focuses;

  bool Open() {
    if (!Register({kHostClass})) return false;
    return Create(kHostClass, u"Lumenard file list", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                  {0, 0, 760, 520}, nullptr, nullptr);
  }

 protected:
  bool OnCreate(const CREATESTRUCTW&) override {
    if (!list.Create(Handle())) return false;
    list.OnCurrentChanged = [this](FoundObject* object) { currentObjects.push_back(object); };
    ShowWindow(list.Handle(), SW_SHOW);
    return true;
  }
  void OnSize(UINT, int width, int height) override {
    MoveWindow(list.Handle(), 0, 0, width, height, TRUE);
  }
  bool OnNotify(const NMHDR& header, LRESULT& result) override {
    return list.OnNotify(header, result);
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == UM_VIEW_KEY) {
      keys.emplace_back(wParam, lParam);
      return true;
    }
    if (message == UM_VIEW_FOCUS) {
      focuses.push_back(wParam);
      return true;
    }
    return false;
  }
};

class FilesListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PrepareInterfaceThread(); }
  void SetUp() override {
    store.SetRootId(kRootId);
    ASSERT_TRUE(host.Open());
    ShowWindow(host.Handle(), SW_SHOW);
    Pump(100);
  }
  void TearDown() override {
    host.list.Clear();
    if (host.IsWindow()) host.Destroy();
  }

  FoundObject* AddFile(std::u16string_view name, int64_t size, uint16_t flags = 0,
                       int32_t parent = kRootId, platform::FileTime created = 0) {
    FoundObject record;
    ResetFoundObject(record);
    record.Flags = static_cast<uint16_t>(flags | FoundNamed);
    const std::u16string copy(name);
    record.Name = copy.c_str();
    record.Size = size;
    record.Id = nextId++;
    record.ParentId = parent;
    record.Created = created;
    record.Start = int64_t{4096} * record.Id;
    return store.AddFileSystemObject(record, nullptr);
  }
  FoundObject* AddFolder(std::u16string_view name, uint16_t flags = 0) {
    return AddFile(name, -1, static_cast<uint16_t>(flags | FoundFolder));
  }
  HWND List() const { return host.list.Handle(); }

  FoundObjectStore store{nullptr};
  HostWindow host;
  int32_t nextId = 100;
};

// ---- what a user reads

TEST_F(FilesListTest, ColumnsRowsAndPicturesShowThePresentationOfEachObject) {
  HWND header = ListView_GetHeader(List());
  ASSERT_EQ(Header_GetItemCount(header), 4);
  const wchar_t* titles[] = {L"Name", L"Size", L"Type", L"Date Modified"};
  const int widths[] = {200, 100, 100, 120};
  for (int column = 0; column < 4; ++column) {
    wchar_t text[64] = {};
    LVCOLUMNW data{};
    data.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    data.pszText = text;
    data.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(List(), column, &data));
    EXPECT_STREQ(text, titles[column]);
    EXPECT_EQ(data.cx, widths[column]);
    EXPECT_EQ(data.fmt & LVCFMT_JUSTIFYMASK, column == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT);
  }

  AddFolder(u"Photos");
  AddFolder(u"Old", FoundDeleted);
  AddFile(u"holiday.JPG", 1025, 0, kRootId, platform::FileTime{132000000000000000});
  AddFile(u"gone.jpg", 1048577, FoundDeleted);
  AddFile(u"carved.doc", -1, FoundAlsoScanned);
  AddFile(u"exact.bin", 1024);
  // A long name from the drive, with characters beyond the basic plane at its end.
  std::u16string longName(590, u'n');
  longName += u"\U0001F600\U0001F600.txt";
  AddFile(longName, 3);
  AddFile(u"other folder's.txt", 3, 0, kOtherFolderId);

  host.list.Fill(store, kRootId);
  UpdateWindow(List());
  ASSERT_EQ(RowCount(List()), 7);
  ASSERT_EQ(host.list.Count(), 7u);
  EXPECT_EQ(ListItemText(List(), 0, 0), L"Photos");
  EXPECT_EQ(ListItemText(List(), 0, 1), L"");
  EXPECT_EQ(ListItemText(List(), 0, 2), L"Folder");
  EXPECT_EQ(ListItemText(List(), 2, 0), L"holiday.JPG");
  EXPECT_EQ(ListItemText(List(), 2, 1), L"1 KB");
  EXPECT_EQ(ListItemText(List(), 3, 1), L"1 MB");
  EXPECT_EQ(ListItemText(List(), 4, 1), L"unknown");
  EXPECT_EQ(ListItemText(List(), 5, 1), L"1024");
  EXPECT_EQ(ListItemText(List(), 2, 3), Wide(FoundDateText(*host.list.ObjectAt(2))));
  EXPECT_FALSE(ListItemText(List(), 2, 3).empty());
  EXPECT_EQ(ListItemText(List(), 3, 3), L"");
  // The shell's type name, the same for the same extension in any case.
  EXPECT_FALSE(ListItemText(List(), 2, 2).empty());
  EXPECT_EQ(ListItemText(List(), 2, 2), ListItemText(List(), 3, 2));
  EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(List(), LVSIL_SMALL)), kFoundIconCount);
  const int pictures[] = {2, 6, 0, 1, 10, 0, 0};
  for (int row = 0; row < 7; ++row) EXPECT_EQ(ListImage(List(), row), pictures[row]) << row;

  // The long name arrives cut to the control's buffer, never half a character pair.
  NMLVDISPINFOW info{};
  wchar_t small[596] = {};
  info.hdr = {List(), 0, static_cast<UINT>(LVN_GETDISPINFOW)};
  info.item.mask = LVIF_TEXT;
  info.item.iItem = 6;
  info.item.pszText = small;
  info.item.cchTextMax = 592;  // room for 590 units and the first half of the first pair
  LRESULT result = 0;
  ASSERT_TRUE(host.list.OnNotify(info.hdr, result));
  EXPECT_EQ(std::wstring(small), std::wstring(590, L'n'));
  EXPECT_EQ(ListItemText(List(), 6, 0), Wide(longName));
  // Rows that are not there read as nothing.
  info.item.iItem = 7;
  small[0] = L'x';
  host.list.OnNotify(info.hdr, result);
  EXPECT_EQ(small[0], L'\0');

  MoveWindow(host.Handle(), 0, 0, 760, 260, TRUE);
  Pump(200);
  Screenshot(host.Handle(), L"gui-files-list-rows");
}

TEST_F(FilesListTest, HeaderClicksSortFoldersFirstAndKeepTheSelectedObjects) {
  std::vector<FoundObject*> files;
  for (int i = 0; i < 300; ++i) {
    const std::u16string name =
        platform::Format(u"file_%03d.%s", (i * 37) % 300, i % 3 ? u"jpg" : u"doc");
    files.push_back(AddFile(name, (i * 7919) % 100000, i % 5 == 0 ? FoundDeleted : 0, kRootId,
                            platform::FileTime{131000000000000000} + i * 864000000000LL));
  }
  FoundObject* folder = AddFolder(u"zz folder");
  host.list.Fill(store, kRootId);
  ASSERT_EQ(host.list.Count(), 301u);
  EXPECT_EQ(host.list.ObjectAt(300), folder);  // the store's order until the user sorts

  // The user selects three files: each becomes the current object.
  for (int row : {10, 20, 30})
    ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ASSERT_EQ(host.currentObjects.size(), 3u);
  EXPECT_EQ(host.currentObjects[2], files[30]);
  std::vector<FoundObject*> chosen = {files[10], files[20], files[30]};

  ClickHeader(List(), 1);  // the first click: smallest first
  EXPECT_EQ(host.list.ObjectAt(0), folder);
  for (size_t row = 2; row < host.list.Count(); ++row)
    ASSERT_LE(host.list.ObjectAt(static_cast<int>(row) - 1)->Size,
              host.list.ObjectAt(static_cast<int>(row))->Size)
        << row;
  EXPECT_EQ(HeaderArrow(List(), 1), 1);
  EXPECT_EQ(HeaderArrow(List(), 0), 0);
  std::vector<FoundObject*> selected = host.list.SelectedObjects();
  std::vector<FoundObject*> expected = chosen;
  std::sort(expected.begin(), expected.end(),
            [](const FoundObject* a, const FoundObject* b) { return a->Size < b->Size; });
  EXPECT_EQ(selected, expected);
  EXPECT_EQ(host.list.FocusedObject(), files[30]);
  EXPECT_EQ(host.currentObjects.size(), 3u) << "a re-sort is not the user's selection";

  ClickHeader(List(), 1);  // largest first
  EXPECT_EQ(HeaderArrow(List(), 1), -1);
  EXPECT_GE(host.list.ObjectAt(1)->Size, host.list.ObjectAt(2)->Size);
  // One direction flag serves every column: the third click turns it on again, names descend.
  ClickHeader(List(), 0);
  EXPECT_EQ(HeaderArrow(List(), 0), -1);
  EXPECT_EQ(HeaderArrow(List(), 1), 0);
  EXPECT_EQ(ListItemText(List(), 0, 0), L"zz folder");
  EXPECT_EQ(ListItemText(List(), 1, 0), L"file_299.jpg");
  EXPECT_EQ(ListItemText(List(), 300, 0), L"file_000.doc");
  selected = host.list.SelectedObjects();
  ASSERT_EQ(selected.size(), 3u);
  EXPECT_GT(platform::CompareNoCase(selected[0]->Name, selected[1]->Name), 0);
  EXPECT_GT(platform::CompareNoCase(selected[1]->Name, selected[2]->Name), 0);

  ListView_EnsureVisible(List(), ListView_GetNextItem(List(), -1, LVNI_FOCUSED), FALSE);
  Pump(200);
  Screenshot(host.Handle(), L"gui-files-list-sorted");
}

TEST_F(FilesListTest, ObjectsComeAndGoWhileTheSelectionStaysOnItsObjects) {
  FoundObject* a = AddFile(u"a.txt", 1);
  FoundObject* b = AddFile(u"b.txt", 2);
  FoundObject* c = AddFile(u"c.txt", 3);
  host.list.Fill(store, kRootId);
  ListView_SetItemState(List(), 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

  // Found during the analysis: its notification, then the refill of the timer.
  FoundObject* d = AddFile(u"d.txt", 4);
  host.list.Add(d);
  host.list.Add(d);
  host.list.Fill(store, kRootId);
  host.list.Add(d);
  EXPECT_EQ(RowCount(List()), 4);
  EXPECT_EQ(host.list.SelectedObjects(), std::vector<FoundObject*>{c});
  // An object of another folder does not join the list.
  host.list.Add(AddFile(u"elsewhere.txt", 5, 0, kOtherFolderId));
  EXPECT_EQ(RowCount(List()), 4);

  host.list.Remove(b);
  EXPECT_EQ(RowCount(List()), 3);
  EXPECT_EQ(ListItemText(List(), 1, 0), L"c.txt");
  EXPECT_EQ(host.list.SelectedObjects(), std::vector<FoundObject*>{c});
  host.list.Remove(b);
  EXPECT_EQ(RowCount(List()), 3);

  // Sorted, a refill that brings b back still keeps c selected.
  ClickHeader(List(), 1);
  ClickHeader(List(), 1);  // largest first: d, c, a
  EXPECT_EQ(host.list.ObjectAt(0), d);
  host.list.Fill(store, kRootId);
  ASSERT_EQ(RowCount(List()), 4);
  EXPECT_EQ(ListItemText(List(), 2, 0), L"b.txt");
  EXPECT_EQ(host.list.SelectedObjects(), std::vector<FoundObject*>{c});
  EXPECT_EQ(host.list.FocusedObject(), c);

  // Another folder starts with nothing selected; SelectFirstIfNone picks its first row.
  AddFile(u"x.txt", 1, 0, kOtherFolderId);
  host.list.Fill(store, kOtherFolderId);
  EXPECT_TRUE(host.list.SelectedObjects().empty());
  const size_t changes = host.currentObjects.size();
  EXPECT_TRUE(host.list.SelectFirstIfNone());
  EXPECT_EQ(host.list.SelectedObjects().size(), 1u);
  EXPECT_EQ(host.currentObjects.size(), changes + 1);
  EXPECT_TRUE(host.list.SelectFirstIfNone());
  EXPECT_EQ(host.currentObjects.size(), changes + 1);

  host.list.Clear();
  EXPECT_EQ(RowCount(List()), 0);
  EXPECT_FALSE(host.list.ShowsFolder());
  EXPECT_FALSE(host.list.SelectFirstIfNone());
  host.list.Add(a);  // nothing shown: nothing to add to
  EXPECT_EQ(RowCount(List()), 0);
}

TEST_F(FilesListTest, KeysFocusAndTypeAheadReachTheOwner) {
  AddFile(u"alpha.txt", 1);
  AddFile(u"Report 2019.doc", 1);
  AddFile(u"readme.md", 1);
  AddFile(u"zebra.png", 1);
  host.list.Fill(store, kRootId);
  SetFocus(List());
  Pump(100);
  ASSERT_FALSE(host.focuses.empty());
  EXPECT_EQ(host.focuses.back(), reinterpret_cast<WPARAM>(List()));

  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_BACK}, WPARAM{VK_TAB}})
    SendMessageW(List(), WM_KEYDOWN, key, 0);
  Pump(100);
  std::vector<WPARAM> pressed;
  for (const auto& [key, control] : host.keys) {
    EXPECT_EQ(control, reinterpret_cast<LPARAM>(List()));
    pressed.push_back(key);
  }
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_BACK}, WPARAM{VK_TAB}})
    EXPECT_NE(std::find(pressed.begin(), pressed.end(), key), pressed.end()) << key;

  // Typing a name's first letters moves to it.
  for (wchar_t c : std::wstring(L"rea")) SendMessageW(List(), WM_CHAR, c, 1);
  EXPECT_EQ(ListItemText(List(), ListView_GetNextItem(List(), -1, LVNI_FOCUSED), 0), L"readme.md");
  for (wchar_t c : std::wstring(L"z")) SendMessageW(List(), WM_CHAR, c, 1);
  Pump(1200);  // the control starts a new search after a pause
  SendMessageW(List(), WM_CHAR, L'z', 1);
  EXPECT_EQ(ListItemText(List(), ListView_GetNextItem(List(), -1, LVNI_FOCUSED), 0), L"zebra.png");
}

// ---- a million found files in one folder

TEST_F(FilesListTest, AMillionFoundFilesShowAndSortAtOnce) {
  constexpr int kFiles = 1'000'000;
  static const char16_t* const kExtensions[] = {u"jpg", u"JPG", u"docx", u"txt", u"png", u"cr2"};
  for (int i = 0; i < 20; ++i) AddFolder(platform::Format(u"folder_%02d", i));
  for (int i = 0; i < kFiles; ++i) {
    const std::u16string name =
        platform::Format(u"IMG_%07d.%s", i, kExtensions[i % std::size(kExtensions)]);
    // Sizes spread over four orders of magnitude, unknown for every hundredth.
    const int64_t size = i % 100 == 99 ? -1 : (int64_t{i} * 2654435761u) % 50'000'000;
    AddFile(name, size, i % 7 == 0 ? FoundDeleted : 0, kRootId,
            platform::FileTime{130000000000000000} + int64_t{i} * 10'000'000);
  }
  ASSERT_EQ(store.ChildCount(kRootId), size_t{kFiles} + 20);

  const size_t privateBefore = PrivateBytes();
  auto start = std::chrono::steady_clock::now();
  host.list.Fill(store, kRootId);
  UpdateWindow(List());
  const double showSeconds = SecondsSince(start);
  const size_t privateAfter = PrivateBytes();
  ASSERT_EQ(RowCount(List()), kFiles + 20);
  EXPECT_EQ(ListItemText(List(), 0, 0), L"folder_00");
  EXPECT_EQ(ListItemText(List(), 20, 0), L"IMG_0000000.jpg");

  start = std::chrono::steady_clock::now();
  ClickHeader(List(), 1);  // smallest first
  UpdateWindow(List());
  const double sortSeconds = SecondsSince(start);
  EXPECT_EQ(HeaderArrow(List(), 1), 1);
  EXPECT_EQ(ListItemText(List(), 20, 1), L"unknown");
  for (int row = 21; row < kFiles + 20; row += 997)
    ASSERT_LE(host.list.ObjectAt(row - 1)->Size, host.list.ObjectAt(row)->Size) << row;

  start = std::chrono::steady_clock::now();
  ClickHeader(List(), 1);  // largest first
  UpdateWindow(List());
  const double reverseSeconds = SecondsSince(start);
  EXPECT_GE(host.list.ObjectAt(20)->Size, host.list.ObjectAt(kFiles + 19)->Size);

  start = std::chrono::steady_clock::now();
  ClickHeader(List(), 0);  // the shared flag is on again: names descend
  UpdateWindow(List());
  const double nameSeconds = SecondsSince(start);
  EXPECT_EQ(ListItemText(List(), 20, 0), L"IMG_0999999.txt");

  start = std::chrono::steady_clock::now();
  ListView_EnsureVisible(List(), kFiles + 19, FALSE);
  UpdateWindow(List());
  const double scrollSeconds = SecondsSince(start);
  EXPECT_EQ(ListItemText(List(), kFiles + 19, 0), L"IMG_0000000.jpg");

  // What Recover reads: a few rows selected at the end of the folder.
  for (int row : {kFiles + 5, kFiles + 12, kFiles + 19})
    ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED);
  start = std::chrono::steady_clock::now();
  const std::vector<FoundObject*> selected = host.list.SelectedObjects();
  const double selectedSeconds = SecondsSince(start);
  ASSERT_EQ(selected.size(), 3u);
  EXPECT_EQ(selected[2], host.list.ObjectAt(kFiles + 19));

  const double ownBytes = double(host.list.MemoryBytes()) / host.list.Count();
  const double privateBytes =
      privateAfter > privateBefore ? double(privateAfter - privateBefore) / host.list.Count() : 0;
  std::printf(
      "file list, %d objects in one folder:\n"
      "  show (fill and first paint)   %6.3f s\n"
      "  sort by size (header click)   %6.3f s\n"
      "  sort by size again (reverse)  %6.3f s\n"
      "  sort by name (header click)   %6.3f s\n"
      "  scroll to the last row        %6.3f s\n"
      "  read three selected rows      %6.3f s\n"
      "  view's rows                   %6.1f bytes per object\n"
      "  process private bytes (fill)  %6.1f bytes per object (%zu to %zu bytes)\n",
      kFiles + 20, showSeconds, sortSeconds, reverseSeconds, nameSeconds, scrollSeconds,
      selectedSeconds, ownBytes, privateBytes, privateBefore, privateAfter);
  // Generous bounds: the machine may be loaded; the figures above are what to read.
  EXPECT_LT(showSeconds, 5.0);
  EXPECT_LT(sortSeconds, 10.0);
  EXPECT_LT(ownBytes, 64.0);
  EXPECT_LT(privateBytes, 64.0);
  host.list.Clear();
}

}  // namespace
