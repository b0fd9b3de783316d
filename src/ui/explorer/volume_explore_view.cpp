#include "ui/explorer/volume_explore_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "app/messages.h"
#include "platform/text.h"
#include "recovery/recovery.h"
#include "ui/dialogs/drive_image_dialogs.h"
#include "ui/explorer/my_computer_view.h"
#include "ui/explorer/recycle_bin_view.h"
#include "ui/explorer/stock_icons.h"
#include "ui/explorer/volume_info_view.h"
#include "ui/framework/module.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

// The identifier the tree's notifications carry.
constexpr int kTreeId = 1001;
// The current object changed; lParam tells the data viewers it came from the tree.
constexpr LPARAM kFromTree = 256;

// The tree's images, in the order of the image list.
constexpr ShellIcon kDriveIcons[] = {ShellIcon::Computer, ShellIcon::FixedDrive,
                                     ShellIcon::RemovableDrive, ShellIcon::RecycleBin,
                                     ShellIcon::ImageFile};
enum DriveImage { ImageComputer, ImageDisk, ImageRemovable, ImageBin, ImageFile };

HIMAGELIST CreateDriveImages() {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 5, 0);
  for (ShellIcon which : kDriveIcons) {
    HICON icon = SmallShellIcon(which);
    ImageList_AddIcon(images, icon);
    if (icon) ::DestroyIcon(icon);
  }
  return images;
}

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

CVolumeExploreView::~CVolumeExploreView() {
  if (images_) ImageList_Destroy(images_);
}

bool CVolumeExploreView::Create(HWND parent) {
  parent_ = parent;
  tree_ =
      ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT |
                            TVS_HASBUTTONS | TVS_SHOWSELALWAYS,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)),
                        ui::CModule::Instance(), nullptr);
  if (!tree_) return false;
  ::SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  images_ = CreateDriveImages();
  TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
  if (g_pComputer) {
    g_pComputer->ComputerNode.Kind = VolumeKindComputer;
    g_pComputer->RecycleBinNode.Kind = VolumeKindRecycleBin;
  }
  Refresh();
  return true;
}

void CVolumeExploreView::SetRightPaneHost(HWND host) {
  host_ = host;
  if (currentPane_ == RightPaneKind::None) ShowRightPane(RightPaneKind::MyComputer, nullptr);
}

CVolume* CVolumeExploreView::VolumeOfItem(HTREEITEM item) const {
  if (!item || !g_pComputer) return nullptr;
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!TreeView_GetItem(tree_, &data)) return nullptr;
  auto* volume = reinterpret_cast<CVolume*>(data.lParam);
  if (volume == &g_pComputer->ComputerNode || volume == &g_pComputer->RecycleBinNode) return volume;
  // A rescan may have freed the drive before the tree heard of it.
  return g_pComputer->Volumes.IsListed(volume) ? volume : nullptr;
}

CVolume* CVolumeExploreView::SelectedVolume() const {
  CVolume* volume = VolumeOfItem(TreeView_GetSelection(tree_));
  if (!volume || volume->Kind == VolumeKindComputer || volume->Kind == VolumeKindRecycleBin)
    return nullptr;
  return volume;
}

HTREEITEM CVolumeExploreView::InsertVolume(HTREEITEM parent, CVolume* volume) {
  const std::u16string text = NodeText(*volume);
  const int image = ImageOf(*volume);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  // The text is kept by the tree itself, so that it can be read like any tree's.
  insert.item.pszText = const_cast<wchar_t*>(platform::W(text.c_str()));
  insert.item.lParam = reinterpret_cast<LPARAM>(volume);
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (item) items_[volume] = item;
  return item;
}

void CVolumeExploreView::Refresh() {
  if (!tree_ || !g_pComputer) return;
  const CVolume* selected = VolumeOfItem(TreeView_GetSelection(tree_));
  ::SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  refreshing_ = true;
  TreeView_DeleteAllItems(tree_);
  items_.clear();

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
      } else if (auto found = items_.find(parent); found != items_.end()) {
        InsertVolume(found->second, volume);
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
  for (const auto& [volume, item] : items_) TreeView_Expand(tree_, item, TVE_EXPAND);
  refreshing_ = false;
  ::SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);

  auto again = items_.find(selected);
  HTREEITEM select = again != items_.end() ? again->second : computer;
  TreeView_SelectItem(tree_, select);
  // Selecting the item that was selected before sends no notification; the pane must still
  // show the drive as it is now.
  OnSelectionChanged(select);
}

bool CVolumeExploreView::SelectVolume(const CVolume* volume) {
  auto found = items_.find(volume);
  if (found == items_.end()) return false;
  TreeView_EnsureVisible(tree_, found->second);
  if (TreeView_GetSelection(tree_) == found->second)
    OnSelectionChanged(found->second);
  else
    TreeView_SelectItem(tree_, found->second);
  return true;
}

void CVolumeExploreView::OnSelectionChanged(HTREEITEM item) {
  CVolume* volume = VolumeOfItem(item);
  const RightPaneKind kind =
      volume ? RightPaneForVolumeKind(volume->Kind) : RightPaneKind::MyComputer;
  if (g_pComputer) {
    const bool drive = kind == RightPaneKind::VolumeInfo || kind == RightPaneKind::DriveInfo;
    g_pComputer->SelectedVolume = drive ? volume : &g_pComputer->ComputerNode;
  }
  ShowRightPane(kind, volume);
  // A drive node is no found object: the current object is cleared.
  if (parent_) ::SendMessageW(parent_, UM_CURRENT_OBJECT_CHANGED, 0, kFromTree);
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
    default:
      return nullptr;
  }
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

bool CVolumeExploreView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (recycleBinView_ && recycleBinView_->OnNotify(header, result)) return true;
  if (header.hwndFrom != tree_) return false;
  switch (header.code) {
    case TVN_SELCHANGEDW:
      if (!refreshing_)
        OnSelectionChanged(reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem);
      result = 0;
      return true;
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
      Refresh();
      if (lParam == kSelectAddedDrive) SelectVolume(reinterpret_cast<const CVolume*>(wParam));
      break;
    default:
      return false;
  }
  result = 0;
  return true;
}

// Found objects: not shown yet; the folder tree and the file list come next.
CVolume* CVolumeExploreView::CurrentVolume() const { return SelectedVolume(); }
FoundObject* CVolumeExploreView::CurrentObject() const { return nullptr; }
HWND CVolumeExploreView::FileList() const { return nullptr; }
IRecoverySelection& CVolumeExploreView::RecoverySelection() {
  static class NoSelection : public IRecoverySelection {
   public:
    CVolume* Volume() const override { return nullptr; }
    Control FocusedControl() const override { return Control::FolderTree; }
    std::vector<FoundObject*> SelectedObjects() const override { return {}; }
  } none;
  return none;
}
void CVolumeExploreView::ResetVolume(CVolume&) {}
void CVolumeExploreView::BeginAnalysis(CVolume& volume) { SelectVolume(&volume); }
void CVolumeExploreView::RefreshFound() {}
void CVolumeExploreView::InvalidateObjects() {}
