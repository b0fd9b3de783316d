// The explorer view: the folder tree on the left ("My Computer" with the disks, their lettered
// drives, partitions, found volumes and virtual drives below them, the loaded drive images, the
// Recycle Bin, and the found folders of analysed drives) and the right-pane host, which shows
// the pane of the selection: a drive's facts, the Recycle Bin's items, the start page, or the
// files of a found folder.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "recovery/recovery.h"
#include "ui/explorer/files_tree_view.h"

class CVolume;
struct FoundObject;
class CFilesListView;
class CExplorerSelection;

class CVolumeInfoView;
class CRecycleBinView;
class CMyComputerView;

// Which pane the right side shows.
enum class RightPaneKind : int {
  None = 0,
  FileList = 1,
  // The files of a found folder.
  FolderFiles = 2,
  VolumeInfo = 4,
  DriveInfo = 5,
  RecycleBin = 7,
  MyComputer = 8,
};

// The pane a drive of a kind is shown in.
RightPaneKind RightPaneForVolumeKind(int volumeKind);

class CVolumeExploreView {
 public:
  CVolumeExploreView();
  ~CVolumeExploreView();
  CVolumeExploreView(const CVolumeExploreView&) = delete;
  CVolumeExploreView& operator=(const CVolumeExploreView&) = delete;

  // Creates the tree as a child of parent, which receives UM_CURRENT_OBJECT_CHANGED on every
  // change of the selection and the commands the keys give (Try To Open). parent must pass
  // back to OnMessage what the view posts to it (UM_TOGGLE_MARK, UM_FOUND_OBJECT).
  bool Create(HWND parent);
  HWND Handle() const { return tree_; }
  // The drive of the selected node; null when none (or a pseudo-drive) is selected.
  CVolume* SelectedVolume() const;
  // Rebuilds the tree from the drive list, keeping the selected drive selected when it is still
  // listed.
  void Refresh();
  // The window in which the right-side panes are created and switched; they fill its client
  // area (call LayoutRightPane when it changes size).
  void SetRightPaneHost(HWND host);
  void LayoutRightPane();

  // Selects the node of a volume; false when it has none.
  bool SelectVolume(const CVolume* volume);
  RightPaneKind CurrentRightPane() const { return currentPane_; }

  // Found objects. The tree shows an analysed drive's found folders below its node, the file
  // list the files and folders of the selected folder.
  //
  // The drive whose found objects the selection belongs to (its node or one of its found
  // folders or files); null when none.
  CVolume* CurrentVolume() const;
  // The object selected in the file list, else the selected found folder; null on a drive node.
  FoundObject* CurrentObject() const;
  // The file list (a virtual list view); null until a folder was shown.
  HWND FileList() const;
  // What Recover copies: the marked objects of the current drive when any is marked, otherwise
  // the selection of the control that had the focus last. Valid while the view lives.
  IRecoverySelection& RecoverySelection();
  // Forgets every item that shows an object of the volume (tree items, the list, the current
  // object), so that its store can be cleared. Called on the interface thread before a new
  // analysis or a rescan frees the records.
  void ResetVolume(CVolume& volume);
  // A new analysis of the volume starts: its node is selected, and the first objects found
  // expand and select the root folder and, later, the lost-files folder.
  void BeginAnalysis(CVolume& volume);
  // Re-reads the store of the shown drive (the frame's 2000 ms timer while an analysis runs),
  // so that objects whose notification could not be posted appear too.
  void RefreshFound();
  // The facts of the selected drive are read again (its state changed: an analysis ended).
  void RefreshDrivePane();
  // Every object shown changed (sizes reset or set): repaint the list and the tree.
  void InvalidateObjects();

  // Shows a found object where it lives: its folder selected in the tree and, for an object in
  // a folder, its row selected and focused in the file list (Return in the search results).
  // False when its folder cannot be reached from the drive's node.
  bool ShowFoundObject(CVolume& volume, FoundObject& object);

  // The folder tree itself (its nodes, marks and items).
  CFilesTreeView& FilesTree() { return filesTree_; }
  // The found folder whose files the list shows; null when none.
  FoundObject* ShownFolder() const;
  // Building a recovery list failed part-way.
  bool ListIncomplete() const { return listIncomplete_; }
  IRecoverySelection::Control FocusedControl() const { return focused_; }

  // The tree's reactions to the messages the frame passes on: TVN_SELCHANGED and the
  // right-click menu of WM_NOTIFY, UM_FOUND_VOLUME_ADDED, UM_DEVICE_CHANGE, UM_FOUND_OBJECT,
  // UM_TOGGLE_MARK, UM_VIEW_KEY, UM_VIEW_FOCUS. True when handled.
  bool OnNotify(const NMHDR& header, LRESULT& result);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  void OnSelectionChanged(HTREEITEM item);
  void ShowFolderFiles(CVolume& volume, HTREEITEM item);
  void ShowRightPane(RightPaneKind kind, CVolume* volume);
  HTREEITEM InsertVolume(HTREEITEM parent, CVolume* volume);
  // The node of a drive just added to the list, below the node of the drive it was found on;
  // false when it cannot be placed.
  bool InsertAddedVolume(CVolume* volume);
  CVolume* VolumeOfItem(HTREEITEM item) const;
  HWND RightPaneWindow(RightPaneKind kind) const;
  void HidePane(RightPaneKind kind);
  bool EnsureFileList();
  void DetachList();

  // Found-object notifications.
  void StartGeneration();
  void PostBarrier();
  CVolume* NotifiedVolume() const;
  void OnFoundObject(WPARAM wParam, LPARAM kind);
  void OnFoundAdded(CVolume& volume, FoundObject& object);
  void OnLostAdded(CVolume& volume, FoundObject& object);
  void OnLostFolderAdded(CVolume& volume, FoundObject& folder);
  void OnLostFolderResolved(CVolume& volume, FoundObject& folder);
  void ShowFirstObjects(CVolume& volume);
  void SelectAndExpand(HTREEITEM item);
  bool ListShowsParentOf(const CVolume& volume, int32_t parentId) const;

  // Keys and the list.
  void OnViewKey(UINT key, HWND control);
  void OpenFromList();
  void SelectParentFolder();
  void MoveFocus(HWND from);
  std::vector<FoundObject*> SelectedOf(IRecoverySelection::Control control) const;

  HWND parent_ = nullptr;
  HWND tree_ = nullptr;
  HWND host_ = nullptr;
  CFilesTreeView filesTree_;
  std::unique_ptr<CFilesListView> fileList_;
  // Set while the tree is rebuilt: its selection notifications then mean nothing.
  bool refreshing_ = false;

  // The folder the list shows, kept as the tree's key: a key outlives nothing it names.
  CVolume* listVolume_ = nullptr;
  CFilesTreeView::Key listFolderKey_ = 0;
  // The object clicked in the list; cleared with the list.
  FoundObject* listObject_ = nullptr;
  IRecoverySelection::Control focused_ = IRecoverySelection::Control::FolderTree;
  bool listIncomplete_ = false;
  std::unique_ptr<CExplorerSelection> selection_;

  // Notifications posted before the last reset may name freed records: they are ignored until
  // the barrier posted at the reset comes through the queue behind them.
  uint32_t generation_ = 0;
  bool awaitingBarrier_ = false;
  bool barrierPosted_ = false;
  CVolume* analysisVolume_ = nullptr;
  bool firstObjectPending_ = false;
  bool firstLostPending_ = false;

  RightPaneKind currentPane_ = RightPaneKind::None;
  RightPaneKind previousPane_ = RightPaneKind::None;
  std::unique_ptr<CVolumeInfoView> infoView_;
  std::unique_ptr<CRecycleBinView> recycleBinView_;
  std::unique_ptr<CMyComputerView> myComputerView_;
};
