// The folder tree of found objects, its check marks, the file list beside it and the keys, in
// the test's own process: a store is filled as an analysis fills it (its messages posted to a
// host window that passes them to the view), and the tree and the list are read back through
// Win32 as a user sees them.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/messages.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"
#include "filesystems/found_object_view.h"
#include "inprocess_host.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "resources/resource.h"
#include "support/test_support.h"
#include "ui/explorer/files_tree_view.h"
#include "ui/explorer/tree_marks.h"
#include "ui/explorer/volume_explore_view.h"
#include "ui/framework/container_window.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"
#include "ui/framework/window_target.h"
#include "volumes/computer.h"
// The engine's LoadImage, not the window system's macro of that name.
#undef LoadImage
#include "volumes/image.h"
#include "volumes/volume.h"

namespace {

using inprocess_testing::ListItemText;
using inprocess_testing::PrepareInterfaceThread;
using inprocess_testing::Pump;
using inprocess_testing::Screenshot;
using inprocess_testing::TreeItemText;

// ---- the marks over a tree in memory

class MemoryTree : public IMarkTree {
 public:
  struct Entry {
    Node parent = kNoNode;
    bool marked = false;
    int32_t below = 0;
    MarkState state = MarkState::Unchecked;
  };
  Node Add(Node parent) {
    entries_.push_back({parent});
    return static_cast<Node>(entries_.size());
  }
  const Entry& At(Node node) const { return entries_[node - 1]; }
  void Remove(Node node) { removed_.push_back(node); }

  Node ParentOf(Node node) const override { return At(node).parent; }
  void ChildrenOf(Node node, std::vector<Node>& out) const override {
    for (Node n = 1; n <= entries_.size(); ++n)
      if (At(n).parent == node && std::find(removed_.begin(), removed_.end(), n) == removed_.end())
        out.push_back(n);
  }
  bool IsMarked(Node node) const override { return At(node).marked; }
  void SetMarked(Node node, bool marked) override { entries_[node - 1].marked = marked; }
  int32_t MarkedBelow(Node node) const override { return At(node).below; }
  void SetMarkedBelow(Node node, int32_t count) override { entries_[node - 1].below = count; }
  void ShowState(Node node, MarkState state) override { entries_[node - 1].state = state; }

 private:
  std::vector<Entry> entries_;
  std::vector<Node> removed_;
};

TEST(TreeMarks, MarkingAFolderChecksItsSubfoldersAndShowsItsAncestorsPartly) {
  MemoryTree tree;
  const auto root = tree.Add(IMarkTree::kNoNode);
  const auto photos = tree.Add(root);
  const auto year = tree.Add(photos);
  const auto month = tree.Add(year);
  const auto docs = tree.Add(root);

  MarkNode(tree, photos);
  EXPECT_EQ(tree.At(photos).state, MarkState::Checked);
  EXPECT_EQ(tree.At(year).state, MarkState::Checked);
  EXPECT_EQ(tree.At(month).state, MarkState::Checked);
  EXPECT_TRUE(tree.At(month).marked);
  EXPECT_EQ(tree.At(photos).below, 2);
  EXPECT_EQ(tree.At(root).state, MarkState::Partly);
  EXPECT_EQ(tree.At(root).below, 3);
  EXPECT_FALSE(tree.At(root).marked);
  EXPECT_EQ(tree.At(docs).state, MarkState::Unchecked);

  // Unmarking the only marked branch returns the parent to unchecked.
  ToggleMark(tree, photos);
  EXPECT_EQ(tree.At(photos).state, MarkState::Unchecked);
  EXPECT_FALSE(tree.At(month).marked);
  EXPECT_EQ(tree.At(root).state, MarkState::Unchecked);
  EXPECT_EQ(tree.At(root).below, 0);
}

TEST(TreeMarks, UnmarkingInsideACheckedFolderLeavesItPartlyCheckedAndNoLongerWhole) {
  MemoryTree tree;
  const auto root = tree.Add(IMarkTree::kNoNode);
  const auto a = tree.Add(root);
  const auto b = tree.Add(root);
  const auto bInner = tree.Add(b);
  MarkNode(tree, root);
  EXPECT_EQ(tree.At(root).below, 3);

  UnmarkNode(tree, b);
  // The root no longer stands for everything below it: Recover must not take b through it.
  EXPECT_FALSE(tree.At(root).marked);
  EXPECT_EQ(tree.At(root).state, MarkState::Partly);
  EXPECT_EQ(tree.At(root).below, 1);
  EXPECT_TRUE(tree.At(a).marked);
  EXPECT_FALSE(tree.At(bInner).marked);

  // Two marked children: unmarking one keeps the parent partly checked until the other goes.
  MarkNode(tree, b);
  EXPECT_EQ(tree.At(root).below, 3);
  UnmarkNode(tree, a);
  EXPECT_EQ(tree.At(root).state, MarkState::Partly);
  UnmarkNode(tree, b);
  EXPECT_EQ(tree.At(root).state, MarkState::Unchecked);
  EXPECT_EQ(tree.At(root).below, 0);
}

TEST(TreeMarks, LaterChildrenTakeTheirParentsMarkAndRemovedOnesLeaveTheCounts) {
  MemoryTree tree;
  const auto root = tree.Add(IMarkTree::kNoNode);
  const auto folder = tree.Add(root);
  MarkNode(tree, folder);
  const auto late = tree.Add(folder);
  AdoptParentMark(tree, late);
  EXPECT_TRUE(tree.At(late).marked);
  EXPECT_EQ(tree.At(folder).below, 1);
  EXPECT_EQ(tree.At(root).below, 2);
  const auto unmarkedLate = tree.Add(root);
  AdoptParentMark(tree, unmarkedLate);
  EXPECT_FALSE(tree.At(unmarkedLate).marked);
  EXPECT_EQ(tree.At(root).below, 2);

  ForgetNode(tree, folder);
  tree.Remove(folder);
  EXPECT_EQ(tree.At(root).below, 0);
  EXPECT_EQ(tree.At(root).state, MarkState::Unchecked);
}

// ---- the view hosted in a window

constexpr wchar_t kHostClass[] = L"LumenardFoundViewsHost";
// Long enough for the view to take what was posted to it and repaint.
constexpr DWORD kSettleMs = 50;

class FoundHost : public ui::CCustomWindow {
 public:
  CVolumeExploreView view;
  // Passes the list's notifications on to this window, as the explorer window's pane does.
  ui::CContainerWindow paneHost;
  int currentChanges = 0;
  WPARAM lastCurrent = 0;
  int tryToOpen = 0;
  bool fileSystemPassEnded = false;

  bool Open() {
    if (!Register({kHostClass})) return false;
    return Create(kHostClass, u"Lumenard found folders",
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, {0, 0, 800, 500}, nullptr,
                  nullptr);
  }

 protected:
  bool OnCreate(const CREATESTRUCTW&) override {
    if (!view.Create(Handle())) return false;
    if (!paneHost.CreateChild(Handle())) return false;
    paneHost.SetSizeHandler([this](int, int) { view.LayoutRightPane(); });
    view.SetRightPaneHost(paneHost.Handle());
    return true;
  }
  void OnSize(UINT, int width, int height) override {
    MoveWindow(view.Handle(), 0, 0, 280, height, TRUE);
    MoveWindow(paneHost.Handle(), 280, 0, width > 280 ? width - 280 : 0, height, TRUE);
    view.LayoutRightPane();
  }
  bool OnNotify(const NMHDR& header, LRESULT& result) override {
    return view.OnNotify(header, result);
  }
  bool OnCommand(int id, int, HWND) override {
    if (id == ID_TRY_TO_OPEN) ++tryToOpen;
    return id == ID_TRY_TO_OPEN;
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == UM_FS_PASS_FINISHED) {
      fileSystemPassEnded = true;
      return true;
    }
    if (message == UM_CURRENT_OBJECT_CHANGED) {
      ++currentChanges;
      lastCurrent = wParam;
      result = 0;
      return true;
    }
    return view.OnMessage(message, wParam, lParam, result);
  }
};

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::wstring& text) {
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
       item = TreeView_GetNextSibling(tree, item))
    if (TreeItemText(tree, item) == text) return item;
  return nullptr;
}

std::vector<std::wstring> ChildTexts(HWND tree, HTREEITEM parent) {
  std::vector<std::wstring> texts;
  for (HTREEITEM item = TreeView_GetChild(tree, parent); item;
       item = TreeView_GetNextSibling(tree, item))
    texts.push_back(TreeItemText(tree, item));
  return texts;
}

std::vector<std::wstring> ListNames(HWND list) {
  std::vector<std::wstring> names;
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) names.push_back(ListItemText(list, row, 0));
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::u16string> NamesOf(const std::vector<FoundObject*>& objects) {
  std::vector<std::u16string> names;
  for (const FoundObject* object : objects) names.push_back(object->Name ? object->Name : u"");
  std::sort(names.begin(), names.end());
  return names;
}

int ImageOf(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_IMAGE;
  data.hItem = item;
  TreeView_GetItem(tree, &data);
  return data.iImage;
}

LPARAM KeyOf(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  TreeView_GetItem(tree, &data);
  return data.lParam;
}

class FoundViewsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    PrepareInterfaceThread();
    if (!g_pComputer) CreateLocalComputer();
  }

  void SetUp() override {
    static int drives = 0;
    auto drive = std::make_unique<CVolume>();
    drive->Kind = VolumeKindImage;
    drive->DevicePath = u"found" + platform::Format(u"%d", ++drives) + u".dsk";
    drive->DisplayName = drive->DevicePath;
    drive->RootRecord.Id = -900 - drives;
    drive->RootRecord.Flags = FoundDriveNode;
    volume = drive.get();
    g_pComputer->Volumes.Add(std::move(drive));
    ASSERT_TRUE(host.Open());
    target = ui::TargetForWindow(host.Handle());
    tree = host.view.Handle();
    StartStore();
  }
  void TearDown() override {
    if (host.IsWindow()) host.view.ResetVolume(*volume);
    volume->Store.Clear();
    if (host.IsWindow()) host.Destroy();
  }

  // What the analysis does before the analyser reports: the drive's record and the root.
  void StartStore() {
    volume->Store.Clear();
    volume->Store.SetRootId(IdRootFat32);
    volume->Store.Add(&volume->RootRecord, true);
    ResetFoundObject(rootFolder);
    rootFolder.Flags = FoundFolder | FoundNamed;
    rootFolder.Id = IdRootFat32;
    rootFolder.ParentId = volume->RootRecord.Id;
    rootFolder.Name = u".";
    volume->Store.Add(&rootFolder, true);
  }

  FoundObject* Add(const char16_t* name, int32_t id, int32_t parent, uint16_t flags,
                   IMessageTarget* to = reinterpret_cast<IMessageTarget*>(1)) {
    FoundObject record;
    ResetFoundObject(record);
    record.Flags = static_cast<uint16_t>(flags | FoundNamed);
    record.Id = id;
    record.ParentId = parent;
    record.Size = 1000;
    record.Name = name;
    return volume->Store.AddFileSystemObject(
        record, to == reinterpret_cast<IMessageTarget*>(1) ? target : to);
  }

  // Photos/2019, Docs and three files, one of them in a folder found only later.
  void AddSmallTree() {
    Add(u"c.txt", 300, IdRootFat32, 0);
    Add(u"Photos", 10, IdRootFat32, FoundFolder);
    Add(u"2019", 11, 10, FoundFolder);
    Add(u"Docs", 12, IdRootFat32, FoundFolder);
    Add(u"a.jpg", 100, 10, 0);
    Add(u"b.jpg", 101, 11, 0);
    Add(u"d.doc", 102, 12, FoundDeleted);
    Add(u"orphan.txt", 103, 50, 0);
    Pump(kSettleMs);
  }

  HTREEITEM DriveItem() { return host.view.FilesTree().ItemOfDrive(volume); }
  HTREEITEM RootItem() { return FindChild(tree, DriveItem(), L"."); }

  FoundHost host;
  CVolume* volume = nullptr;
  IMessageTarget* target = nullptr;
  HWND tree = nullptr;
  FoundObject rootFolder{};
};

TEST_F(FoundViewsTest, AnalysisOpensTheRootAndTheTreeFillsAsItIsExpanded) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();

  HTREEITEM root = RootItem();
  ASSERT_NE(root, nullptr) << "the root folder is shown below the drive";
  EXPECT_EQ(TreeView_GetSelection(tree), root) << "the first objects select the root";
  EXPECT_EQ(host.view.CurrentRightPane(), RightPaneKind::FolderFiles);
  EXPECT_EQ(ChildTexts(tree, DriveItem()), (std::vector<std::wstring>{L".", L"Lost folders"}));
  EXPECT_EQ(ChildTexts(tree, root), (std::vector<std::wstring>{L"Photos", L"Docs"}));
  // The list shows the root's files and folders as they arrived.
  EXPECT_EQ(ListNames(host.view.FileList()),
            (std::vector<std::wstring>{L"Docs", L"Photos", L"c.txt"}));
  EXPECT_EQ(host.lastCurrent, reinterpret_cast<WPARAM>(host.view.CurrentObject()));

  // Photos is not expanded: its subfolder comes when it is.
  HTREEITEM photos = FindChild(tree, root, L"Photos");
  EXPECT_EQ(TreeView_GetChild(tree, photos), nullptr);
  TreeView_Expand(tree, photos, TVE_EXPAND);
  EXPECT_EQ(ChildTexts(tree, photos), std::vector<std::wstring>{L"2019"});
  // A folder holding only files has no children in the tree; its deleted file, found after
  // it, changed its picture to a folder holding deleted objects.
  HTREEITEM docs = FindChild(tree, root, L"Docs");
  EXPECT_EQ(ImageOf(tree, docs), CFilesTreeView::kFoundImageBase + 4);
  EXPECT_EQ(ImageOf(tree, photos), CFilesTreeView::kFoundImageBase + 3) << "open folder";
  TreeView_Expand(tree, docs, TVE_EXPAND);
  EXPECT_EQ(TreeView_GetChild(tree, docs), nullptr);

  TreeView_SelectItem(tree, photos);
  EXPECT_EQ(ListNames(host.view.FileList()), (std::vector<std::wstring>{L"2019", L"a.jpg"}));
  ASSERT_NE(host.view.CurrentObject(), nullptr);
  EXPECT_EQ(std::u16string(host.view.CurrentObject()->Name), u"Photos");
  EXPECT_EQ(host.view.SelectedVolume(), nullptr) << "a found folder is no drive";
  EXPECT_EQ(host.view.CurrentVolume(), volume);

  // A folder added now goes straight below its expanded parent, and into the list shown.
  Add(u"2020", 13, 10, FoundFolder);
  Pump(kSettleMs);
  EXPECT_EQ(ChildTexts(tree, photos), (std::vector<std::wstring>{L"2019", L"2020"}));
  EXPECT_EQ(ListNames(host.view.FileList()),
            (std::vector<std::wstring>{L"2019", L"2020", L"a.jpg"}));
}

TEST_F(FoundViewsTest, PlaceholderFolderMovesFromLostFoldersToItsRealPlace) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();
  HTREEITEM lostFolders = FindChild(tree, DriveItem(), L"Lost folders");
  ASSERT_NE(lostFolders, nullptr);
  TreeView_Expand(tree, lostFolders, TVE_EXPAND);
  EXPECT_EQ(ChildTexts(tree, lostFolders), std::vector<std::wstring>{L"lost_folder_50"});
  HTREEITEM docs = FindChild(tree, RootItem(), L"Docs");
  TreeView_Expand(tree, docs, TVE_EXPAND);
  TreeView_SelectItem(tree, lostFolders);
  EXPECT_EQ(ListNames(host.view.FileList()), std::vector<std::wstring>{L"lost_folder_50"});

  // Folder 50 turns up in Docs: it leaves "Lost folders" and keeps its file.
  Add(u"Old", 50, 12, FoundFolder | FoundDeleted);
  Pump(kSettleMs);
  EXPECT_TRUE(ChildTexts(tree, lostFolders).empty());
  EXPECT_EQ(ListNames(host.view.FileList()), std::vector<std::wstring>{});
  HTREEITEM old = FindChild(tree, docs, L"Old");
  ASSERT_NE(old, nullptr);
  TreeView_SelectItem(tree, old);
  EXPECT_EQ(ListNames(host.view.FileList()), std::vector<std::wstring>{L"orphan.txt"});
}

TEST_F(FoundViewsTest, LostFilesOpenAtTheirFolderAndLostMessagesAreMadeUpByTheRefresh) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();
  volume->Store.EnablePositionIndex();
  FoundObject lost;
  ResetFoundObject(lost);
  lost.Flags = FoundLost | FoundDeleted;
  lost.Start = 1 << 20;
  lost.FileTypeId = 0;
  lost.ParentId = -115;
  lost.Name = u"image_1048576.jpg";
  volume->Store.AddLostObject(lost, target);
  // The store makes the group folder only for a known type; a group of its own stands in.
  FoundObject group;
  ResetFoundObject(group);
  group.Flags = FoundFolder | FoundHasDeleted | FoundNamed;
  group.Id = -115;
  group.ParentId = IdLostFiles;
  group.Name = u"Images";
  volume->Store.Add(&group, true);
  Pump(kSettleMs);
  HTREEITEM lostFiles = FindChild(tree, DriveItem(), L"Lost files");
  ASSERT_NE(lostFiles, nullptr);
  EXPECT_EQ(TreeView_GetSelection(tree), lostFiles) << "the first lost file opens its folder";
  host.view.RefreshFound();
  EXPECT_EQ(ChildTexts(tree, lostFiles), std::vector<std::wstring>{L"Images"});

  // Objects whose messages never came: the 2000 ms refresh shows them.
  Add(u"Music", 14, IdRootFat32, FoundFolder, nullptr);
  Add(u"e.txt", 301, IdRootFat32, 0, nullptr);
  TreeView_SelectItem(tree, RootItem());
  Add(u"f.txt", 302, IdRootFat32, 0, nullptr);
  host.view.RefreshFound();
  const std::vector<std::wstring> rootChildren = ChildTexts(tree, RootItem());
  EXPECT_NE(std::find(rootChildren.begin(), rootChildren.end(), L"Music"), rootChildren.end());
  const std::vector<std::wstring> names = ListNames(host.view.FileList());
  EXPECT_NE(std::find(names.begin(), names.end(), L"f.txt"), names.end());
  // The group folder is this test's own record.
  host.view.ResetVolume(*volume);
  volume->Store.Clear();
  StartStore();
}

TEST_F(FoundViewsTest, ResetRemovesTheDrivesFoldersAndRefusesWhatWasQueuedBefore) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();
  HTREEITEM photos = FindChild(tree, RootItem(), L"Photos");
  ASSERT_NE(photos, nullptr);
  const LPARAM staleKey = KeyOf(tree, photos);

  // A notification already queued when the user starts the analysis again: it names a record
  // that is not the store's any more. Had the view followed it, the folder would carry the
  // deleted-below flag now.
  FoundObject stale;
  ResetFoundObject(stale);
  stale.Flags = FoundFolder | FoundDeleted | FoundNamed;
  stale.Id = 77;
  stale.ParentId = IdRootFat32;
  stale.Name = u"stale";
  PostMessageW(host.Handle(), UM_FOUND_OBJECT, reinterpret_cast<WPARAM>(&stale), FoundAdded);
  host.view.ResetVolume(*volume);
  EXPECT_TRUE(ChildTexts(tree, DriveItem()).empty());
  EXPECT_EQ(host.view.CurrentObject(), nullptr);
  EXPECT_EQ(host.view.ShownFolder(), nullptr);
  StartStore();
  host.view.BeginAnalysis(*volume);
  Pump(kSettleMs);
  EXPECT_FALSE(stale.Flags & FoundHasDeleted) << "the queued notification was followed";
  EXPECT_TRUE(ChildTexts(tree, DriveItem()).empty());
  // A click on the check box of an item that is gone finds nothing.
  PostMessageW(host.Handle(), UM_TOGGLE_MARK, 0, staleKey);
  Pump(kSettleMs);
  EXPECT_EQ(host.view.FilesTree().NodeOfKey(static_cast<CFilesTreeView::Key>(staleKey)), nullptr);

  // What comes after the reset is shown.
  Add(u"New", 20, IdRootFat32, FoundFolder);
  Pump(kSettleMs);
  ASSERT_NE(RootItem(), nullptr);
  EXPECT_EQ(ChildTexts(tree, RootItem()), std::vector<std::wstring>{L"New"});
}

TEST_F(FoundViewsTest, RecoverTakesTheMarkedFoldersWhenAnyIsMarkedElseTheSelection) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();
  HTREEITEM root = RootItem();
  HTREEITEM photos = FindChild(tree, root, L"Photos");
  TreeView_Expand(tree, photos, TVE_EXPAND);
  HTREEITEM year = FindChild(tree, photos, L"2019");
  HTREEITEM docs = FindChild(tree, root, L"Docs");
  ASSERT_TRUE(photos && year && docs);

  // Nothing marked: the tree's selected folder (focus in the tree).
  TreeView_SelectItem(tree, docs);
  SendMessageW(host.Handle(), UM_VIEW_FOCUS, reinterpret_cast<WPARAM>(tree), 0);
  CRecovery job(*g_pComputer, CRecovery::Kind::Main);
  BuildRecoveryList(job, host.view.RecoverySelection());
  EXPECT_EQ(NamesOf(job.List), std::vector<std::u16string>{u"d.doc"});

  // Photos marked: it and its subfolder are checked, the root partly; Recover takes what is
  // below Photos whatever is selected.
  PostMessageW(host.Handle(), UM_TOGGLE_MARK, 0, KeyOf(tree, photos));
  Pump(kSettleMs);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, photos), MarkState::Checked);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, year), MarkState::Checked);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, root), MarkState::Partly);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, docs), MarkState::Unchecked);
  EXPECT_EQ(host.view.FilesTree().MarkedBelowOf(root), 2);
  BuildRecoveryList(job, host.view.RecoverySelection());
  std::vector<std::u16string> names = NamesOf(job.List);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"2019", u"Photos", u"a.jpg", u"b.jpg"}));

  // A folder expanded later under a marked one comes checked.
  Add(u"2021", 15, 10, FoundFolder);
  Pump(kSettleMs);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, FindChild(tree, photos, L"2021")),
            MarkState::Checked);

  // Unmarking 2019 inside it: Photos is no longer whole, 2019's file stays behind.
  PostMessageW(host.Handle(), UM_TOGGLE_MARK, 0, KeyOf(tree, year));
  Pump(kSettleMs);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, photos), MarkState::Partly);
  BuildRecoveryList(job, host.view.RecoverySelection());
  names = NamesOf(job.List);
  EXPECT_EQ(std::count(names.begin(), names.end(), u"b.jpg"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), u"2021"), 1);

  // Nothing marked any more: the list's selection again.
  PostMessageW(host.Handle(), UM_TOGGLE_MARK, 0, KeyOf(tree, FindChild(tree, photos, L"2021")));
  Pump(kSettleMs);
  EXPECT_EQ(CFilesTreeView::StateOfItem(tree, root), MarkState::Unchecked);
  TreeView_SelectItem(tree, root);
  HWND list = host.view.FileList();
  SendMessageW(host.Handle(), UM_VIEW_FOCUS, reinterpret_cast<WPARAM>(list), 0);
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    wchar_t text[64] = {};
    ListView_GetItemText(list, row, 0, text, 64);
    if (std::wstring(text) == L"c.txt")
      ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
  }
  BuildRecoveryList(job, host.view.RecoverySelection());
  EXPECT_EQ(NamesOf(job.List), std::vector<std::u16string>{u"c.txt"});
}

TEST_F(FoundViewsTest, ReturnBackspaceAndTabMoveThroughTheFolders) {
  host.view.BeginAnalysis(*volume);
  AddSmallTree();
  HTREEITEM root = RootItem();
  HWND list = host.view.FileList();
  ASSERT_NE(list, nullptr);
  auto focusRow = [&](const std::wstring& name) {
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
      wchar_t text[64] = {};
      ListView_GetItemText(list, row, 0, text, 64);
      if (std::wstring(text) == name) {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        return true;
      }
    }
    return false;
  };
  // Return on a folder opens it in the tree.
  ASSERT_TRUE(focusRow(L"Photos"));
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_RETURN, reinterpret_cast<LPARAM>(list));
  HTREEITEM photos = FindChild(tree, root, L"Photos");
  EXPECT_EQ(TreeView_GetSelection(tree), photos);
  EXPECT_EQ(ListNames(list), (std::vector<std::wstring>{L"2019", L"a.jpg"}));
  // Return on a file asks the window for Try To Open.
  ASSERT_TRUE(focusRow(L"a.jpg"));
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_RETURN, reinterpret_cast<LPARAM>(list));
  Pump(kSettleMs);
  EXPECT_EQ(host.tryToOpen, 1);
  ASSERT_NE(host.view.CurrentObject(), nullptr);
  EXPECT_EQ(std::u16string(host.view.CurrentObject()->Name), u"a.jpg");
  // Backspace goes up to the parent folder, from the list and from the tree.
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_BACK, reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(TreeView_GetSelection(tree), root);
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_BACK, reinterpret_cast<LPARAM>(tree));
  EXPECT_EQ(TreeView_GetSelection(tree), DriveItem());
  // A search result shown where it lives: its folder in the tree, its row in the list.
  FoundObject* deep = volume->Store.FindById(101);
  ASSERT_NE(deep, nullptr);
  EXPECT_TRUE(host.view.ShowFoundObject(*volume, *deep));
  EXPECT_EQ(TreeItemText(tree, TreeView_GetSelection(tree)), L"2019");
  EXPECT_EQ(host.view.CurrentObject(), deep);
  // Tab moves between the tree and the list, selecting a row when none was.
  TreeView_SelectItem(tree, root);
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  SetFocus(tree);
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_TAB, reinterpret_cast<LPARAM>(tree));
  EXPECT_EQ(GetFocus(), list);
  EXPECT_EQ(host.view.FocusedControl(), IRecoverySelection::Control::FileList);
  EXPECT_EQ(ListView_GetSelectedCount(list), 1u);
  SendMessageW(host.Handle(), UM_VIEW_KEY, VK_TAB, reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(GetFocus(), tree);
  EXPECT_EQ(host.view.FocusedControl(), IRecoverySelection::Control::FolderTree);

  // The tree as a user sees it.
  TreeView_Expand(tree, photos, TVE_EXPAND);
  PostMessageW(host.Handle(), UM_TOGGLE_MARK, 0, KeyOf(tree, photos));
  TreeView_SelectItem(tree, photos);
  Pump(400);
  Screenshot(host.Handle(), L"gui-views-found-tree");
}

// ---- a folder of a million found files

TEST_F(FoundViewsTest, FolderOfAMillionFilesExpandsAndShowsWithoutWalkingTwice) {
  constexpr int kFiles = 1000000;
  Add(u"Big", 10, IdRootFat32, FoundFolder, nullptr);
  Add(u"Inside", 11, 10, FoundFolder, nullptr);
  FoundObject record;
  ResetFoundObject(record);
  record.Flags = FoundNamed;
  record.ParentId = 10;
  record.Name = u"file.jpg";
  for (int i = 0; i < kFiles; ++i) {
    record.Id = 1000 + i;
    record.Size = i;
    volume->Store.AddFileSystemObject(record, nullptr);
  }
  host.view.BeginAnalysis(*volume);
  host.view.RefreshFound();
  HTREEITEM root = RootItem();
  ASSERT_NE(root, nullptr);
  TreeView_Expand(tree, root, TVE_EXPAND);
  HTREEITEM big = FindChild(tree, root, L"Big");
  ASSERT_NE(big, nullptr);

  LARGE_INTEGER frequency, start, expanded, shown, refreshed;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  TreeView_Expand(tree, big, TVE_EXPAND);
  QueryPerformanceCounter(&expanded);
  TreeView_SelectItem(tree, big);
  QueryPerformanceCounter(&shown);
  // The refresh of a running analysis: nothing changed, nothing is walked.
  host.view.RefreshFound();
  QueryPerformanceCounter(&refreshed);
  auto ms = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
  };
  std::printf("a folder of %d files: expand %.1f ms, show %.1f ms, refresh %.1f ms\n", kFiles,
              ms(start, expanded), ms(expanded, shown), ms(shown, refreshed));
  EXPECT_EQ(ChildTexts(tree, big), std::vector<std::wstring>{L"Inside"});
  EXPECT_EQ(ListView_GetItemCount(host.view.FileList()), kFiles + 1);
  host.view.ResetVolume(*volume);
}

// ---- a real analysis of a FAT32 image, through the store's own messages

struct ManifestEntry {
  bool folder;
  int64_t size;
  std::u16string path;
};

std::vector<ManifestEntry> ReadManifest(const std::u16string& path) {
  std::vector<ManifestEntry> entries;
  const std::vector<uint8_t> bytes = testing_support::ReadWholeFile(path);
  std::string text(bytes.begin(), bytes.end());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> fields;
    std::string line = text.substr(start, end - start);
    for (size_t at = 0;;) {
      const size_t tab = line.find('\t', at);
      fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    if (fields.size() >= 7)
      entries.push_back(
          {fields[1] == "folder", std::stoll(fields[2]), platform::Utf8ToUtf16(fields.back())});
    start = end + 1;
  }
  return entries;
}

// The rows of the list shown, as "name|size".
std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    wchar_t name[260] = {}, size[64] = {};
    ListView_GetItemText(list, row, 0, name, 260);
    ListView_GetItemText(list, row, 1, size, 64);
    rows.push_back(std::wstring(name) + L"|" + size);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST_F(FoundViewsTest, AnalysedFat32ImageShowsTheManifestsFoldersAndFiles) {
  const std::u16string image = testing_support::FixturePath("fat/fat32.img");
  const std::u16string manifest = testing_support::FixturePath("fat/fat32.manifest");
  if (image.empty() || manifest.empty()) GTEST_SKIP() << "no FAT fixtures (./run fixtures)";
  CVolume* drive = LoadImage(*g_pComputer, image);
  ASSERT_NE(drive, nullptr);
  static CApp* app = g_pApp ? g_pApp : (g_pApp = new CApp());
  app->SetMainWindowTarget(target);
  host.view.Refresh();
  host.view.ResetVolume(*drive);
  host.view.BeginAnalysis(*drive);
  g_pComputer->Analysis.StartFileSystemAnalysis(*drive);
  const ULONGLONG end = GetTickCount64() + 60000;
  while (!host.fileSystemPassEnded && GetTickCount64() < end) Pump(20);
  ASSERT_TRUE(host.fileSystemPassEnded);
  Pump(200);
  host.view.RefreshFound();

  // What the manifest says each folder holds, as the list shows it.
  std::map<std::wstring, std::vector<std::wstring>> expected;
  expected[L""];
  for (const ManifestEntry& entry : ReadManifest(manifest)) {
    const size_t slash = entry.path.rfind(u'/');
    const std::u16string folder = slash == std::u16string::npos ? u"" : entry.path.substr(0, slash);
    const std::u16string name =
        slash == std::u16string::npos ? entry.path : entry.path.substr(slash + 1);
    FoundObject record;
    ResetFoundObject(record);
    record.Size = entry.size;
    record.Flags = entry.folder ? FoundFolder : 0;
    expected[platform::W(folder.c_str())].push_back(std::wstring(platform::W(name.c_str())) + L"|" +
                                                    platform::W(FoundSizeText(record).c_str()));
    if (entry.folder) expected[platform::W(entry.path.c_str())];
  }
  for (auto& [folder, rows] : expected) std::sort(rows.begin(), rows.end());

  // Every folder of the tree, opened one after another, shows what the manifest lists.
  HTREEITEM driveItem = host.view.FilesTree().ItemOfDrive(drive);
  HTREEITEM root = FindChild(tree, driveItem, L".");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(TreeView_GetSelection(tree), root);
  std::map<std::wstring, std::vector<std::wstring>> shown;
  std::vector<std::pair<HTREEITEM, std::wstring>> pending{{root, L""}};
  while (!pending.empty()) {
    auto [item, path] = pending.back();
    pending.pop_back();
    TreeView_SelectItem(tree, item);
    TreeView_Expand(tree, item, TVE_EXPAND);
    shown[path] = ListRows(host.view.FileList());
    for (HTREEITEM child = TreeView_GetChild(tree, item); child;
         child = TreeView_GetNextSibling(tree, child))
      pending.push_back({child, path.empty() ? TreeItemText(tree, child)
                                             : path + L"/" + TreeItemText(tree, child)});
  }
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(FindChild(tree, driveItem, L"Lost folders"), nullptr);
  Pump(200);
  if (!gui_testing::ArtifactsFolder().empty()) {
    TreeView_SelectItem(tree, root);
    Pump(300);
    Screenshot(host.Handle(), L"gui-views-fat32-analysed");
  }
  host.view.ResetVolume(*drive);
  app->SetMainWindowTarget(nullptr);
}

}  // namespace
