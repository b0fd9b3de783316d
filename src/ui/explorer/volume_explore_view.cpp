#include "ui/explorer/volume_explore_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "app/app.h"
#include "app/messages.h"
#include "filesystems/found_object_store.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "resources/resource.h"
#include "ui/dialogs/drive_image_dialogs.h"
#include "ui/explorer/explorer_selection.h"
#include "ui/explorer/files_list_view.h"
#include "ui/explorer/my_computer_view.h"
#include "ui/explorer/recycle_bin_view.h"
#include "ui/explorer/volume_info_view.h"
#include "ui/framework/module.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

// The identifier the tree's notifications carry.
constexpr int kTreeId = 1001;
// The current object changed; lParam tells the data viewers it came from the tree.
constexpr LPARAM kFromTree = 256;

// The order of the drive pictures in the tree's image list.
enum DriveImage { ImageComputer, ImageDisk, ImageRemovable, ImageBin, ImageFile };

// The barrier a reset posts behind the notifications already queued; real events are 1 to 32.
constexpr LPARAM kBarrierBase = 0x7F000000;
constexpr LPARAM kBarrierMask = 0x00FFFFFF;

int ImageOf(const CVolume& volume) {
  switch (volume.Kind) {
    case VolumeKindComputer:
      return ImageComputer;
    case VolumeKindRecycleBin:
      return ImageBin;
    case VolumeKindImage:
      return ImageFile;
    case VolumeKindLogical:
      return volume.DriveType == DRIVE_REMOVABLE ? ImageRemovable : ImageDisk;
    default:
      return ImageDisk;
  }
}

std::u16string NodeText(CVolume& volume) {
  switch (volume.Kind) {
    case VolumeKindComputer:
      return u"My Computer";
    case VolumeKindRecycleBin:
      return u"Recycle Bin";
    default: {
      std::u16string name = volume.GetDisplayName();
      return name.empty() ? volume.GetDevicePath() : name;
    }
  }
}

// The drive a volume is shown under: its disk when the disk is listed too.
CVolume* ShownParent(CVolume& volume, const std::vector<CVolume*>& listed) {
  CVolume* parent = volume.Parent;
  if (!parent || parent == &volume) return nullptr;
  return std::find(listed.begin(), listed.end(), parent) != listed.end() ? parent : nullptr;
}

}  // namespace

RightPaneKind RightPaneForVolumeKind(int volumeKind) {
  switch (volumeKind) {
    case VolumeKindPhysical:
      return RightPaneKind::VolumeInfo;
    case VolumeKindLogical:
    case VolumeKindImage:
    case VolumeKindFound:
    // A virtual drive is a drive like any other: its facts, and it can be analysed.
    case VolumeKindPartition:
      return RightPaneKind::DriveInfo;
    case VolumeKindComputer:
      return RightPaneKind::MyComputer;
    case VolumeKindRecycleBin:
      return RightPaneKind::RecycleBin;
    default:
      return RightPaneKind::FileList;
  }
}

CVolumeExploreView::CVolumeExploreView() = default;

CVolumeExploreView::~CVolumeExploreView() = default;

bool CVolumeExploreView::Create(HWND parent) {
  parent_ = parent;
  if (!filesTree_.Create(parent, kTreeId, parent)) return false;
  tree_ = filesTree_.Handle();
  if (g_pComputer) {
    g_pComputer->ComputerNode.Kind = VolumeKindComputer;
    g_pComputer->RecycleBinNode.Kind = VolumeKindRecycleBin;
  }
  selection_ = std::make_unique<CExplorerSelection>(CExplorerSelection::Source{
      [this] { return CurrentVolume(); }, [this] { return focused_; },
      [this](IRecoverySelection::Control control) { return SelectedOf(control); },
      [this] { listIncomplete_ = true; }});
  Refresh();
  return true;
}

void CVolumeExploreView::SetRightPaneHost(HWND host) {
  host_ = host;
  if (currentPane_ == RightPaneKind::None) ShowRightPane(RightPaneKind::MyComputer, nullptr);
}

CVolume* CVolumeExploreView::VolumeOfItem(HTREEITEM item) const {
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(item);
  return node ? filesTree_.VolumeOf(*node) : nullptr;
}

CVolume* CVolumeExploreView::SelectedVolume() const {
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(TreeView_GetSelection(tree_));
  if (!node || node->Object) return nullptr;
  CVolume* volume = filesTree_.VolumeOf(*node);
  if (!volume || volume->Kind == VolumeKindComputer || volume->Kind == VolumeKindRecycleBin)
    return nullptr;
  return volume;
}

HTREEITEM CVolumeExploreView::InsertVolume(HTREEITEM parent, CVolume* volume) {
  return filesTree_.InsertDrive(parent, volume, NodeText(*volume), ImageOf(*volume));
}

bool CVolumeExploreView::InsertAddedVolume(CVolume* volume) {
  if (!tree_ || !g_pComputer || !volume || !g_pComputer->Volumes.IsListed(volume)) return false;
  if (filesTree_.ItemOfDrive(volume)) return true;
  const std::vector<CVolume*> listed = g_pComputer->Volumes.Items();
  CVolume* parent = ShownParent(*volume, listed);
  HTREEITEM parentItem = filesTree_.ItemOfDrive(parent ? parent : &g_pComputer->ComputerNode);
  if (!parentItem) return false;
  return InsertVolume(parentItem, volume) != nullptr;
}

void CVolumeExploreView::Refresh() {
  if (!tree_ || !g_pComputer) return;
  const CVolume* selected = VolumeOfItem(TreeView_GetSelection(tree_));
  // The found folders go with the items; what is queued about them is stale from here on.
  StartGeneration();
  DetachList();
  ::SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  refreshing_ = true;
  filesTree_.DeleteAll();

  HTREEITEM computer = InsertVolume(nullptr, &g_pComputer->ComputerNode);
  const std::vector<CVolume*> listed = g_pComputer->Volumes.Items();
  // Parents come before their children in the list, but a found volume may precede the
  // disk a rescan brought back: insert in rounds until nothing more can be placed.
  std::vector<CVolume*> pending = listed;
  while (!pending.empty()) {
    std::vector<CVolume*> later;
    for (CVolume* volume : pending) {
      CVolume* parent = ShownParent(*volume, listed);
      if (!parent) {
        InsertVolume(computer, volume);
      } else if (HTREEITEM parentItem = filesTree_.ItemOfDrive(parent)) {
        InsertVolume(parentItem, volume);
      } else {
        later.push_back(volume);
      }
    }
    if (later.size() == pending.size()) {
      for (CVolume* volume : later) InsertVolume(computer, volume);
      break;
    }
    pending = std::move(later);
  }
  InsertVolume(nullptr, &g_pComputer->RecycleBinNode);
  TreeView_Expand(tree_, computer, TVE_EXPAND);
  for (CVolume* volume : listed) {
    // An analysed drive shows its found folders again.
    filesTree_.ShowFoundTop(*volume);
    if (HTREEITEM item = filesTree_.ItemOfDrive(volume)) TreeView_Expand(tree_, item, TVE_EXPAND);
  }
  refreshing_ = false;
  ::SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);

  HTREEITEM again = filesTree_.ItemOfDrive(selected);
  HTREEITEM select = again ? again : computer;
  TreeView_SelectItem(tree_, select);
  // Selecting the item that was selected before sends no notification; the pane must still
  // show the drive as it is now.
  OnSelectionChanged(select);
}

bool CVolumeExploreView::SelectVolume(const CVolume* volume) {
  HTREEITEM item = filesTree_.ItemOfDrive(volume);
  if (!item) return false;
  TreeView_EnsureVisible(tree_, item);
  if (TreeView_GetSelection(tree_) == item)
    OnSelectionChanged(item);
  else
    TreeView_SelectItem(tree_, item);
  return true;
}

void CVolumeExploreView::OnSelectionChanged(HTREEITEM item) {
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(item);
  if (node && node->Object) {
    CVolume* volume = filesTree_.VolumeOf(*node);
    FoundObject* folder = filesTree_.ObjectOf(*node);
    if (!volume || !folder) return;
    if (g_pComputer) g_pComputer->SelectedVolume = &g_pComputer->ComputerNode;
    listObject_ = nullptr;
    ShowFolderFiles(*volume, item);
    if (parent_)
      ::SendMessageW(parent_, UM_CURRENT_OBJECT_CHANGED, reinterpret_cast<WPARAM>(folder),
                     kFromTree);
    return;
  }
  CVolume* volume = node ? filesTree_.VolumeOf(*node) : nullptr;
  const RightPaneKind kind =
      volume ? RightPaneForVolumeKind(volume->Kind) : RightPaneKind::MyComputer;
  if (g_pComputer) {
    const bool drive = kind == RightPaneKind::VolumeInfo || kind == RightPaneKind::DriveInfo;
    g_pComputer->SelectedVolume = drive ? volume : &g_pComputer->ComputerNode;
  }
  DetachList();
  ShowRightPane(kind, volume);
  // A drive node is no found object: the current object is cleared.
  if (parent_) ::SendMessageW(parent_, UM_CURRENT_OBJECT_CHANGED, 0, kFromTree);
}

void CVolumeExploreView::ShowFolderFiles(CVolume& volume, HTREEITEM item) {
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(item);
  if (!node || !EnsureFileList()) return;
  listVolume_ = &volume;
  listFolderKey_ = filesTree_.KeyOfItem(item);
  fileList_->Fill(volume.Store, node->ObjectId);
  ShowRightPane(RightPaneKind::FolderFiles, &volume);
}

FoundObject* CVolumeExploreView::ShownFolder() const {
  const CFilesTreeView::Node* node = filesTree_.NodeOfKey(listFolderKey_);
  return node ? filesTree_.ObjectOf(*node) : nullptr;
}

bool CVolumeExploreView::ListShowsParentOf(const CVolume& volume, int32_t parentId) const {
  if (listVolume_ != &volume || !fileList_) return false;
  const CFilesTreeView::Node* node = filesTree_.NodeOfKey(listFolderKey_);
  return node && filesTree_.ObjectOf(*node) && node->ObjectId == parentId;
}

HWND CVolumeExploreView::RightPaneWindow(RightPaneKind kind) const {
  switch (kind) {
    case RightPaneKind::VolumeInfo:
    case RightPaneKind::DriveInfo:
      return infoView_ ? infoView_->Handle() : nullptr;
    case RightPaneKind::RecycleBin:
      return recycleBinView_ ? recycleBinView_->Handle() : nullptr;
    case RightPaneKind::MyComputer:
      return myComputerView_ ? myComputerView_->Handle() : nullptr;
    case RightPaneKind::FileList:
    case RightPaneKind::FolderFiles:
      return fileList_ ? fileList_->Handle() : nullptr;
    default:
      return nullptr;
  }
}

void CVolumeExploreView::RefreshDrivePane() {
  const bool drivePane =
      currentPane_ == RightPaneKind::VolumeInfo || currentPane_ == RightPaneKind::DriveInfo;
  if (drivePane && infoView_) infoView_->ShowVolume(SelectedVolume());
}

void CVolumeExploreView::HidePane(RightPaneKind kind) {
  if (kind == RightPaneKind::RecycleBin && recycleBinView_) {
    recycleBinView_->Show(false);
    return;
  }
  if (HWND window = RightPaneWindow(kind)) ::ShowWindow(window, SW_HIDE);
}

void CVolumeExploreView::ShowRightPane(RightPaneKind kind, CVolume* volume) {
  if (!host_) {
    currentPane_ = kind;
    return;
  }
  switch (kind) {
    case RightPaneKind::VolumeInfo:
    case RightPaneKind::DriveInfo:
      if (!infoView_) {
        infoView_ = std::make_unique<CVolumeInfoView>();
        if (!infoView_->Create(host_)) infoView_.reset();
      }
      if (infoView_) infoView_->ShowVolume(volume);
      break;
    case RightPaneKind::RecycleBin:
      if (!recycleBinView_) {
        recycleBinView_ = std::make_unique<CRecycleBinView>();
        if (!recycleBinView_->Create(host_)) recycleBinView_.reset();
      }
      if (recycleBinView_) recycleBinView_->Fill();
      break;
    case RightPaneKind::FileList:
    case RightPaneKind::FolderFiles:
      EnsureFileList();
      break;
    case RightPaneKind::MyComputer:
      if (!myComputerView_) {
        myComputerView_ = std::make_unique<CMyComputerView>();
        if (!myComputerView_->Create(host_)) myComputerView_.reset();
      }
      break;
    default:
      break;
  }
  // The info pane serves kinds 4 and 5 alike: it is only hidden when the other kind is not it.
  if (currentPane_ != kind && RightPaneWindow(currentPane_) != RightPaneWindow(kind))
    HidePane(currentPane_);
  previousPane_ = currentPane_;
  currentPane_ = kind;
  LayoutRightPane();
  if (kind == RightPaneKind::RecycleBin && recycleBinView_)
    recycleBinView_->Show(true);
  else if (HWND window = RightPaneWindow(kind))
    ::ShowWindow(window, SW_SHOW);
}

void CVolumeExploreView::LayoutRightPane() {
  if (!host_) return;
  RECT client;
  ::GetClientRect(host_, &client);
  if (currentPane_ == RightPaneKind::RecycleBin && recycleBinView_) {
    recycleBinView_->Move(client);
    return;
  }
  if (HWND window = RightPaneWindow(currentPane_))
    ::MoveWindow(window, 0, 0, client.right, client.bottom, TRUE);
  if (infoView_ &&
      (currentPane_ == RightPaneKind::VolumeInfo || currentPane_ == RightPaneKind::DriveInfo))
    infoView_->FitColumns();
}

// ---- the file list

bool CVolumeExploreView::EnsureFileList() {
  if (fileList_) return true;
  if (!host_) return false;
  fileList_ = std::make_unique<CFilesListView>();
  // Its keys and focus come to the window the view was created in, as the tree's do.
  if (!fileList_->Create(host_, parent_)) {
    fileList_.reset();
    return false;
  }
  fileList_->OnCurrentChanged = [this](FoundObject* object) {
    if (!object || object == listObject_) return;
    listObject_ = object;
    if (parent_)
      ::SendMessageW(parent_, UM_CURRENT_OBJECT_CHANGED, reinterpret_cast<WPARAM>(object),
                     kFromTree);
  };
  return true;
}

void CVolumeExploreView::DetachList() {
  if (fileList_) fileList_->Clear();
  listVolume_ = nullptr;
  listFolderKey_ = 0;
  listObject_ = nullptr;
}

HWND CVolumeExploreView::FileList() const { return fileList_ ? fileList_->Handle() : nullptr; }

std::vector<FoundObject*> CVolumeExploreView::SelectedOf(
    IRecoverySelection::Control control) const {
  switch (control) {
    case IRecoverySelection::Control::FileList:
      if (fileList_ && listVolume_) return fileList_->SelectedObjects();
      return {};
    case IRecoverySelection::Control::FolderTree: {
      const CFilesTreeView::Node* node = filesTree_.NodeOfItem(TreeView_GetSelection(tree_));
      FoundObject* folder = node ? filesTree_.ObjectOf(*node) : nullptr;
      if (folder) return {folder};
      return {};
    }
    default:
      // The search results belong to the search bar.
      return {};
  }
}

// ---- what the selection names

CVolume* CVolumeExploreView::CurrentVolume() const {
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(TreeView_GetSelection(tree_));
  if (!node) return nullptr;
  CVolume* volume = filesTree_.VolumeOf(*node);
  if (!volume || volume->Kind == VolumeKindComputer || volume->Kind == VolumeKindRecycleBin)
    return nullptr;
  return volume;
}

FoundObject* CVolumeExploreView::CurrentObject() const {
  // The object clicked counts while its row is still listed.
  if (listObject_ && fileList_ && ShownFolder() && fileList_->Rows().Contains(listObject_))
    return listObject_;
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(TreeView_GetSelection(tree_));
  return node ? filesTree_.ObjectOf(*node) : nullptr;
}

IRecoverySelection& CVolumeExploreView::RecoverySelection() {
  listIncomplete_ = false;
  return *selection_;
}

void CVolumeExploreView::InvalidateObjects() {
  if (tree_) ::InvalidateRect(tree_, nullptr, FALSE);
  if (HWND list = FileList()) ::InvalidateRect(list, nullptr, FALSE);
}

// ---- resets and the analysis

void CVolumeExploreView::StartGeneration() {
  ++generation_;
  awaitingBarrier_ = true;
  barrierPosted_ = false;
  PostBarrier();
}

void CVolumeExploreView::PostBarrier() {
  // A full queue refuses the barrier; it is posted again when a notification makes room.
  if (!barrierPosted_ && parent_)
    barrierPosted_ = ::PostMessageW(parent_, UM_FOUND_OBJECT, 0,
                                    kBarrierBase | (generation_ & kBarrierMask)) != FALSE;
}

void CVolumeExploreView::ResetVolume(CVolume& volume) {
  StartGeneration();
  const CFilesTreeView::Node* node = filesTree_.NodeOfItem(TreeView_GetSelection(tree_));
  // The selection leaves the folders first, so that their removal selects nothing of them.
  if (node && node->Object && node->Volume == &volume) {
    if (HTREEITEM drive = filesTree_.ItemOfDrive(&volume)) TreeView_SelectItem(tree_, drive);
  }
  if (listVolume_ == &volume) DetachList();
  filesTree_.RemoveFoundOf(volume);
}

void CVolumeExploreView::BeginAnalysis(CVolume& volume) {
  analysisVolume_ = &volume;
  firstObjectPending_ = true;
  firstLostPending_ = true;
  SelectVolume(&volume);
}

CVolume* CVolumeExploreView::NotifiedVolume() const {
  if (!g_pComputer) return nullptr;
  CVolume* running = g_pApp ? g_pApp->Status.Volume.load() : nullptr;
  if (running && g_pComputer->Volumes.IsListed(running)) return running;
  return analysisVolume_ && g_pComputer->Volumes.IsListed(analysisVolume_) ? analysisVolume_
                                                                           : nullptr;
}

void CVolumeExploreView::RefreshFound() {
  if (awaitingBarrier_) PostBarrier();
  CVolume* volume = NotifiedVolume();
  if (!volume) return;
  filesTree_.RefreshVolume(*volume);
  ShowFirstObjects(*volume);
  // A notification lost on the way leaves the list short of the store: it is filled again.
  if (listVolume_ == volume && fileList_) {
    const CFilesTreeView::Node* node = filesTree_.NodeOfKey(listFolderKey_);
    FoundObject* folder = node ? filesTree_.ObjectOf(*node) : nullptr;
    if (folder && volume->Store.ChildCount(node->ObjectId) != fileList_->Count())
      fileList_->Fill(volume->Store, node->ObjectId);
  }
}

void CVolumeExploreView::SelectAndExpand(HTREEITEM item) {
  if (!item) return;
  TreeView_Expand(tree_, item, TVE_EXPAND);
  TreeView_EnsureVisible(tree_, item);
  if (TreeView_GetSelection(tree_) == item)
    OnSelectionChanged(item);
  else
    TreeView_SelectItem(tree_, item);
}

// The first objects of an analysis open the tree at the root folder, and the first lost file
// at "Lost files".
void CVolumeExploreView::ShowFirstObjects(CVolume& volume) {
  if (&volume != analysisVolume_) return;
  if (firstObjectPending_) {
    FoundObject* root = nullptr;
    {
      FoundObjectStore::Guard guard = volume.Store.Lock();
      root = volume.Store.FindFolderById(volume.Store.RootId());
      if (root && volume.Store.ChildCount(root->Id) == 0) root = nullptr;
    }
    if (root) {
      filesTree_.ShowFoundTop(volume);
      if (HTREEITEM item = filesTree_.ShowFolder(volume, *root)) {
        firstObjectPending_ = false;
        SelectAndExpand(item);
      }
    }
  }
  if (firstLostPending_ && volume.Store.ChildCount(IdLostFiles) > 0) {
    FoundObject* lostFiles = volume.Store.EnsureLostFilesNode();
    filesTree_.ShowFoundTop(volume);
    if (HTREEITEM item = lostFiles ? filesTree_.ShowFolder(volume, *lostFiles) : nullptr) {
      firstLostPending_ = false;
      SelectAndExpand(item);
    }
  }
}

void CVolumeExploreView::OnFoundObject(WPARAM wParam, LPARAM kind) {
  if (!wParam) {
    // The barrier of the last reset: what follows it was posted after the reset.
    if ((kind & ~kBarrierMask) == kBarrierBase &&
        (kind & kBarrierMask) == (generation_ & kBarrierMask))
      awaitingBarrier_ = false;
    return;
  }
  if (awaitingBarrier_) {
    PostBarrier();
    return;
  }
  CVolume* volume = NotifiedVolume();
  if (!volume) return;
  auto& object = *reinterpret_cast<FoundObject*>(wParam);
  switch (kind) {
    case FoundAdded:
      OnFoundAdded(*volume, object);
      break;
    case LostAdded:
      OnLostAdded(*volume, object);
      break;
    case LostMerged:
      // Its picture changes.
      if (HTREEITEM item = filesTree_.ItemOfObject(&object)) filesTree_.UpdateIcon(item);
      if (HWND list = FileList()) ::InvalidateRect(list, nullptr, FALSE);
      break;
    case LostFolderAdded:
      OnLostFolderAdded(*volume, object);
      break;
    case LostFolderResolved:
      OnLostFolderResolved(*volume, object);
      break;
    default:
      break;
  }
}

void CVolumeExploreView::OnFoundAdded(CVolume& volume, FoundObject& object) {
  bool folder = false;
  bool deleted = false;
  int32_t parentId = 0;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    folder = (object.Flags & FoundFolder) != 0;
    deleted = (object.Flags & FoundDeleted) != 0;
    parentId = object.ParentId;
  }
  if (deleted) volume.Store.MarkDeletedAncestors(object);
  ShowFirstObjects(volume);
  if (folder) filesTree_.ShowFolder(volume, object);
  if (deleted) filesTree_.UpdateAncestorIcons(volume, parentId);
  if (ListShowsParentOf(volume, parentId)) fileList_->Add(&object);
}

void CVolumeExploreView::OnLostAdded(CVolume& volume, FoundObject& object) {
  int32_t parentId = 0;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    parentId = object.ParentId;
  }
  if (FoundObject* lostFiles = volume.Store.EnsureLostFilesNode()) {
    filesTree_.ShowFolder(volume, *lostFiles);
    if (FoundObject* group = volume.Store.FindFolderById(parentId))
      filesTree_.ShowFolder(volume, *group);
  }
  ShowFirstObjects(volume);
  if (ListShowsParentOf(volume, parentId)) fileList_->Add(&object);
}

void CVolumeExploreView::OnLostFolderAdded(CVolume& volume, FoundObject& folder) {
  if (FoundObject* lostFolders = volume.Store.EnsureLostFoldersNode())
    filesTree_.ShowFolder(volume, *lostFolders);
  filesTree_.ShowFolder(volume, folder);
  if (ListShowsParentOf(volume, IdLostFolders)) fileList_->Add(&folder);
}

void CVolumeExploreView::OnLostFolderResolved(CVolume& volume, FoundObject& folder) {
  // The record already carries the real folder's fields; its item under "Lost folders" goes,
  // and the FoundAdded behind this message puts it where it belongs.
  if (ListShowsParentOf(volume, IdLostFolders)) fileList_->Remove(&folder);
  if (listObject_ == &folder) listObject_ = nullptr;
  HTREEITEM item = filesTree_.ItemOfObject(&folder);
  if (item && TreeView_GetSelection(tree_) == item) {
    // Its files are shown again from its new place.
    if (HTREEITEM lost = TreeView_GetParent(tree_, item)) TreeView_SelectItem(tree_, lost);
  }
  filesTree_.RemoveFolder(&folder);
}

// ---- keys and focus

void CVolumeExploreView::OnViewKey(UINT key, HWND control) {
  const bool fromList = control && control == FileList();
  switch (key) {
    case VK_RETURN:
      if (fromList) OpenFromList();
      break;
    case VK_BACK:
      if (fromList || control == tree_) SelectParentFolder();
      break;
    case VK_TAB:
      MoveFocus(control);
      break;
    default:
      break;
  }
}

void CVolumeExploreView::OpenFromList() {
  if (!fileList_ || !listVolume_ || !ShownFolder()) return;
  FoundObject* object = fileList_->FocusedObject();
  if (!object) return;
  bool folder = false;
  {
    FoundObjectStore::Guard guard = listVolume_->Store.Lock();
    folder = (object->Flags & FoundFolder) != 0;
  }
  if (!folder) {
    listObject_ = object;
    if (parent_) ::PostMessageW(parent_, WM_COMMAND, MAKEWPARAM(ID_TRY_TO_OPEN, 0), 0);
    return;
  }
  SelectAndExpand(filesTree_.RevealFolder(*listVolume_, *object));
}

bool CVolumeExploreView::ShowFoundObject(CVolume& volume, FoundObject& object) {
  FoundObject* folder = nullptr;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    folder = volume.Store.FindFolderById(object.ParentId);
    if (folder == &object) folder = nullptr;
  }
  HTREEITEM item = folder ? filesTree_.RevealFolder(volume, *folder) : nullptr;
  if (!item) return false;
  SelectAndExpand(item);
  HWND list = FileList();
  const ptrdiff_t row = fileList_ ? fileList_->Rows().RowOf(&object) : FoundListRows::kNoRow;
  if (!list || row == FoundListRows::kNoRow) return true;
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, static_cast<int>(row), FALSE);
  return true;
}

void CVolumeExploreView::SelectParentFolder() {
  HTREEITEM selected = TreeView_GetSelection(tree_);
  HTREEITEM parent = selected ? TreeView_GetParent(tree_, selected) : nullptr;
  if (parent) TreeView_SelectItem(tree_, parent);
}

void CVolumeExploreView::MoveFocus(HWND from) {
  HWND list = FileList();
  const bool listShown = list && ::IsWindowVisible(list);
  if (from == tree_ && listShown) {
    ::SetFocus(list);
    fileList_->SelectFirstIfNone();
    focused_ = IRecoverySelection::Control::FileList;
    return;
  }
  ::SetFocus(tree_);
  if (!TreeView_GetSelection(tree_))
    if (HTREEITEM first = TreeView_GetRoot(tree_)) TreeView_SelectItem(tree_, first);
  focused_ = IRecoverySelection::Control::FolderTree;
}

// ---- messages

bool CVolumeExploreView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (recycleBinView_ && recycleBinView_->OnNotify(header, result)) return true;
  if (fileList_ && header.hwndFrom == fileList_->Handle())
    return fileList_->OnNotify(header, result);
  if (header.hwndFrom != tree_) return false;
  if (filesTree_.OnNotify(header, result)) return true;
  switch (header.code) {
    case TVN_SELCHANGEDW:
      if (!refreshing_)
        OnSelectionChanged(reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem);
      result = 0;
      return true;
    case NM_SETFOCUS:
      focused_ = IRecoverySelection::Control::FolderTree;
      return false;
    case TVN_KEYDOWN: {
      const WORD key = reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey;
      if (key != VK_BACK && key != VK_TAB) return false;
      OnViewKey(key, tree_);
      // Not a letter of the tree's own type-ahead search.
      result = 1;
      return true;
    }
    case NM_RCLICK: {
      // The right button selects the node under it first, as Explorer does; the frame shows
      // the drive menu for it.
      TVHITTESTINFO hit{};
      ::GetCursorPos(&hit.pt);
      ::ScreenToClient(tree_, &hit.pt);
      if (HTREEITEM item = TreeView_HitTest(tree_, &hit)) TreeView_SelectItem(tree_, item);
      return false;
    }
    default:
      return false;
  }
}

bool CVolumeExploreView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case UM_DEVICE_CHANGE:
      Refresh();
      break;
    case UM_FOUND_VOLUME_ADDED:
      // The drive is listed already (the list posts after adding); its node joins the tree.
      // An analysis that finds a partition goes on filling the tree meanwhile: only when the
      // node cannot be placed is the tree built anew.
      if (!InsertAddedVolume(reinterpret_cast<CVolume*>(wParam))) Refresh();
      if (lParam == kSelectAddedDrive) SelectVolume(reinterpret_cast<const CVolume*>(wParam));
      break;
    case UM_FOUND_OBJECT:
      OnFoundObject(wParam, lParam);
      break;
    case UM_TOGGLE_MARK:
      filesTree_.ToggleMarkOfKey(static_cast<CFilesTreeView::Key>(lParam));
      break;
    case UM_VIEW_KEY:
      OnViewKey(static_cast<UINT>(wParam), reinterpret_cast<HWND>(lParam));
      break;
    case UM_VIEW_FOCUS: {
      const auto control = reinterpret_cast<HWND>(wParam);
      if (control == tree_)
        focused_ = IRecoverySelection::Control::FolderTree;
      else if (control && control == FileList())
        focused_ = IRecoverySelection::Control::FileList;
      else
        focused_ = IRecoverySelection::Control::SearchResults;
      break;
    }
    default:
      return false;
  }
  result = 0;
  return true;
}
