#include "ui/explorer/files_tree_view.h"

#include <algorithm>
#include <unordered_set>

#include "app/messages.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"
#include "filesystems/found_object_view.h"
#include "platform/text.h"
#include "ui/explorer/found_icons.h"
#include "ui/explorer/mark_images.h"
#include "ui/explorer/stock_icons.h"
#include "ui/framework/module.h"
#include "volumes/computer.h"
#include "volumes/volume.h"

namespace {

// The drive pictures come first in the image list, then the found-object pictures.
constexpr ShellIcon kDriveIcons[] = {ShellIcon::Computer, ShellIcon::FixedDrive,
                                     ShellIcon::RemovableDrive, ShellIcon::RecycleBin,
                                     ShellIcon::ImageFile};
static_assert(std::size(kDriveIcons) == CFilesTreeView::kFoundImageBase);

// The deepest chain of folders a folder is revealed through; a damaged drive can name parents
// in a loop or nest without end.
constexpr int kMaxRevealDepth = 4096;

// An icon that draws nothing (the system had no picture for it).
bool IsBlankIcon(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return true;
  bool blank = true;
  if (info.hbmColor) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    uint32_t pixels[16 * 16] = {};
    HDC screen = ::GetDC(nullptr);
    if (::GetDIBits(screen, info.hbmColor, 0, 16, pixels, &format, DIB_RGB_COLORS) > 0)
      blank = std::all_of(std::begin(pixels), std::end(pixels), [](uint32_t pixel) {
        return (pixel & 0xFF000000u) == 0 || (pixel & 0x00FFFFFFu) == 0x00FFFFFFu;
      });
    ::ReleaseDC(nullptr, screen);
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return blank;
}

HIMAGELIST CreateTreeImages() {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK,
                                       CFilesTreeView::kFoundImageBase + kFoundIconCount, 0);
  if (!images) return nullptr;
  for (ShellIcon which : kDriveIcons) {
    HICON icon = SmallShellIcon(which);
    ImageList_AddIcon(images, icon);
    if (icon) ::DestroyIcon(icon);
  }
  // The found objects' pictures, the same as the file list's.
  HIMAGELIST found = CreateFoundImageList();
  for (int i = 0; i < kFoundIconCount; ++i) {
    HICON icon = found ? ImageList_GetIcon(found, i, ILD_NORMAL) : nullptr;
    // Where the system has no open folder, the closed one before it stands in.
    if (IsBlankIcon(icon) && i > 0 && found) {
      if (icon) ::DestroyIcon(icon);
      icon = ImageList_GetIcon(found, i - 1, ILD_NORMAL);
    }
    ImageList_AddIcon(images, icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION));
    if (icon) ::DestroyIcon(icon);
  }
  if (found) ImageList_Destroy(found);
  return images;
}

bool IsShownFolder(const FoundObject& record) {
  return (record.Flags & FoundFolder) && !(record.Flags & FoundDriveNode);
}

// What an item shows of a folder, copied under the store's lock.
struct FolderFacts {
  std::u16string Name;
  int Image = 0;
  bool Children = false;
};

FolderFacts FactsOf(const FoundObjectStore& store, const FoundObject& folder, bool expanded) {
  FolderFacts facts;
  FoundObjectStore::Guard guard = store.Lock();
  if (folder.Name) facts.Name = folder.Name;
  facts.Image =
      CFilesTreeView::kFoundImageBase + FoundTreeIconNumber(folder, store.RootId(), expanded);
  facts.Children = store.ChildCount(folder.Id) > 0;
  return facts;
}

}  // namespace

CFilesTreeView::~CFilesTreeView() {
  if (images_) ImageList_Destroy(images_);
  if (stateImages_) ImageList_Destroy(stateImages_);
}

bool CFilesTreeView::Create(HWND parent, int id, HWND markWindow) {
  markWindow_ = markWindow;
  tree_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_LINESATROOT |
                                TVS_HASBUTTONS | TVS_SHOWSELALWAYS,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            ui::CModule::Instance(), nullptr);
  if (!tree_) return false;
  ::SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  images_ = CreateTreeImages();
  stateImages_ = CreateMarkStateImages();
  TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
  TreeView_SetImageList(tree_, stateImages_, TVSIL_STATE);
  return true;
}

CFilesTreeView::Key CFilesTreeView::NewKey() {
  // 0 means no node; after four billion items the count starts again, far behind any item
  // still shown.
  if (++nextKey_ == 0) ++nextKey_;
  return nextKey_;
}

CFilesTreeView::Node* CFilesTreeView::MutableNode(Key key) {
  auto found = nodes_.find(key);
  return found == nodes_.end() ? nullptr : &found->second;
}

const CFilesTreeView::Node* CFilesTreeView::NodeOfKey(Key key) const {
  auto found = nodes_.find(key);
  return found == nodes_.end() ? nullptr : &found->second;
}

CFilesTreeView::Key CFilesTreeView::KeyOfItem(HTREEITEM item) const {
  if (!item || !tree_) return 0;
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!TreeView_GetItem(tree_, &data)) return 0;
  return static_cast<Key>(data.lParam);
}

const CFilesTreeView::Node* CFilesTreeView::NodeOfItem(HTREEITEM item) const {
  const Node* node = NodeOfKey(KeyOfItem(item));
  return node && node->Item == item ? node : nullptr;
}

CVolume* CFilesTreeView::VolumeOf(const Node& node) const {
  if (!g_pComputer || !node.Volume) return nullptr;
  if (node.Volume == &g_pComputer->ComputerNode || node.Volume == &g_pComputer->RecycleBinNode)
    return node.Volume;
  // A rescan may have freed the drive before the tree heard of it.
  return g_pComputer->Volumes.IsListed(node.Volume) ? node.Volume : nullptr;
}

FoundObject* CFilesTreeView::ObjectOf(const Node& node) const {
  if (!node.Object) return nullptr;
  CVolume* volume = VolumeOf(node);
  if (!volume) return nullptr;
  // The address is only compared with what the store holds now, never followed, until found.
  const FoundObjectStore& store = volume->Store;
  FoundObjectStore::Guard guard = store.Lock();
  if (store.FindFolderById(node.ObjectId) == node.Object) return node.Object;
  for (FoundObject* record : store.FindAllById(node.ObjectId))
    if (record == node.Object) return node.Object;
  return nullptr;
}

HTREEITEM CFilesTreeView::ItemOfDrive(const CVolume* volume) const {
  auto found = driveKeys_.find(volume);
  if (found == driveKeys_.end()) return nullptr;
  const Node* node = NodeOfKey(found->second);
  return node ? node->Item : nullptr;
}

HTREEITEM CFilesTreeView::ItemOfObject(const FoundObject* object) const {
  auto found = folderKeys_.find(object);
  if (found == folderKeys_.end()) return nullptr;
  const Node* node = NodeOfKey(found->second);
  return node ? node->Item : nullptr;
}

void CFilesTreeView::DeleteAll() {
  if (tree_) TreeView_DeleteAllItems(tree_);
  nodes_.clear();
  folderKeys_.clear();
  driveKeys_.clear();
}

HTREEITEM CFilesTreeView::InsertDrive(HTREEITEM parent, CVolume* volume, const std::u16string& text,
                                      int image) {
  const Key key = NewKey();
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
  // The text is kept by the tree itself, so that it can be read like any tree's.
  insert.item.pszText = const_cast<wchar_t*>(platform::W(text.c_str()));
  insert.item.lParam = static_cast<LPARAM>(key);
  insert.item.iImage = image;
  insert.item.iSelectedImage = image;
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  insert.item.state = INDEXTOSTATEIMAGEMASK(0);
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (!item) return nullptr;
  Node& node = nodes_[key];
  node.Volume = volume;
  node.Item = item;
  driveKeys_[volume] = key;
  return item;
}

HTREEITEM CFilesTreeView::InsertFound(HTREEITEM parent, CVolume& volume, FoundObject& folder) {
  const FolderFacts facts = FactsOf(volume.Store, folder, false);
  const Key key = NewKey();
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask =
      TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_STATE;
  insert.item.pszText = const_cast<wchar_t*>(platform::W(facts.Name.c_str()));
  insert.item.lParam = static_cast<LPARAM>(key);
  insert.item.iImage = facts.Image;
  insert.item.iSelectedImage = facts.Image;
  insert.item.cChildren = facts.Children ? 1 : 0;
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  insert.item.state = INDEXTOSTATEIMAGEMASK(static_cast<int>(MarkState::Unchecked));
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (!item) return nullptr;
  Node& node = nodes_[key];
  node.Volume = &volume;
  node.Object = &folder;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    node.ObjectId = folder.Id;
  }
  node.Item = item;
  folderKeys_[&folder] = key;
  AdoptParentMark(*this, key);
  return item;
}

void CFilesTreeView::InsertMissingChildren(Node& node) {
  CVolume* volume = VolumeOf(node);
  if (!volume) return;
  FoundObject* self = node.Object ? ObjectOf(node) : nullptr;
  if (node.Object && !self) return;
  const HTREEITEM item = node.Item;
  std::vector<FoundObject*> folders;
  {
    FoundObjectStore::Guard guard = volume->Store.Lock();
    const int32_t id = self ? node.ObjectId : volume->RootRecord.Id;
    std::vector<FoundObject*> children;
    volume->Store.Children(id, children);
    node.SeenChildren = children.size();
    for (FoundObject* child : children)
      if (child != self && IsShownFolder(*child) && !folderKeys_.count(child))
        folders.push_back(child);
  }
  // Inserting adds nodes: the node reference is not used after this point.
  for (FoundObject* folder : folders) InsertFound(item, *volume, *folder);
}

bool CFilesTreeView::HasChildItems(HTREEITEM item) const {
  return TreeView_GetChild(tree_, item) != nullptr;
}

void CFilesTreeView::SetChildrenButton(HTREEITEM item, bool children) {
  TVITEMW data{};
  data.mask = TVIF_CHILDREN;
  data.hItem = item;
  data.cChildren = children ? 1 : 0;
  TreeView_SetItem(tree_, &data);
}

void CFilesTreeView::ShowFoundTop(CVolume& volume) {
  HTREEITEM drive = ItemOfDrive(&volume);
  if (!drive) return;
  // The store makes the lost nodes when the tree needs them: once something is below them.
  if (volume.Store.ChildCount(IdLostFolders) > 0) volume.Store.EnsureLostFoldersNode();
  if (volume.Store.ChildCount(IdLostFiles) > 0) volume.Store.EnsureLostFilesNode();
  FillChildren(drive);
}

void CFilesTreeView::FillChildren(HTREEITEM item) {
  Node* node = MutableNode(KeyOfItem(item));
  if (!node || node->Item != item) return;
  node->Filled = true;
  const bool drive = node->Object == nullptr;
  InsertMissingChildren(*node);
  // A folder whose children are all files has no button; a drive node keeps its own.
  if (!drive && !HasChildItems(item)) SetChildrenButton(item, false);
}

HTREEITEM CFilesTreeView::ShowFolder(CVolume& volume, FoundObject& folder) {
  if (HTREEITEM shown = ItemOfObject(&folder)) return shown;
  HTREEITEM parent = nullptr;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    if (!IsShownFolder(folder)) return nullptr;
    if (folder.ParentId == volume.RootRecord.Id) {
      parent = ItemOfDrive(&volume);
    } else {
      FoundObject* parentFolder = volume.Store.FindFolderById(folder.ParentId);
      if (!parentFolder || parentFolder == &folder) return nullptr;
      parent = ItemOfObject(parentFolder);
    }
  }
  const Node* parentNode = NodeOfItem(parent);
  if (!parentNode) return nullptr;
  if (!parentNode->Filled) {
    SetChildrenButton(parent, true);
    return nullptr;
  }
  return InsertFound(parent, volume, folder);
}

HTREEITEM CFilesTreeView::RevealFolder(CVolume& volume, FoundObject& folder) {
  if (HTREEITEM shown = ItemOfObject(&folder)) return shown;
  // The folders from the drive down to this one.
  std::vector<FoundObject*> chain;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    std::unordered_set<const FoundObject*> met;
    FoundObject* at = &folder;
    while (at && IsShownFolder(*at) && met.insert(at).second &&
           static_cast<int>(chain.size()) < kMaxRevealDepth) {
      chain.push_back(at);
      if (at->ParentId == volume.RootRecord.Id) break;
      at = volume.Store.FindFolderById(at->ParentId);
    }
    if (chain.empty() || chain.back()->ParentId != volume.RootRecord.Id) return nullptr;
  }
  HTREEITEM item = ItemOfDrive(&volume);
  for (auto at = chain.rbegin(); at != chain.rend() && item; ++at) {
    FillChildren(item);
    TreeView_Expand(tree_, item, TVE_EXPAND);
    item = ItemOfObject(*at);
  }
  return item;
}

void CFilesTreeView::RemoveFolder(const FoundObject* folder) {
  auto found = folderKeys_.find(folder);
  if (found == folderKeys_.end()) return;
  const Key key = found->second;
  const Node* node = NodeOfKey(key);
  if (!node) return;
  ForgetNode(*this, key);
  // TVN_DELETEITEM forgets the nodes of the item and of every item below it.
  TreeView_DeleteItem(tree_, node->Item);
}

void CFilesTreeView::RemoveFoundOf(const CVolume& volume) {
  HTREEITEM drive = ItemOfDrive(&volume);
  if (!drive) return;
  std::vector<HTREEITEM> found;
  for (HTREEITEM child = TreeView_GetChild(tree_, drive); child;
       child = TreeView_GetNextSibling(tree_, child)) {
    const Node* node = NodeOfItem(child);
    if (node && node->Object) found.push_back(child);
  }
  for (HTREEITEM item : found) TreeView_DeleteItem(tree_, item);
  if (Node* node = MutableNode(KeyOfItem(drive))) node->SeenChildren = 0;
}

void CFilesTreeView::RefreshVolume(CVolume& volume) {
  if (volume.Store.ChildCount(IdLostFolders) > 0) volume.Store.EnsureLostFoldersNode();
  if (volume.Store.ChildCount(IdLostFiles) > 0) volume.Store.EnsureLostFilesNode();
  std::vector<Key> keys;
  for (const auto& [key, node] : nodes_)
    if (node.Volume == &volume) keys.push_back(key);
  for (Key key : keys) {
    Node* node = MutableNode(key);
    if (!node) continue;
    int32_t id = volume.RootRecord.Id;
    if (node->Object) {
      if (!ObjectOf(*node)) continue;
      id = node->ObjectId;
    }
    const size_t count = volume.Store.ChildCount(id);
    if (count == node->SeenChildren) continue;
    if (node->Filled) {
      InsertMissingChildren(*node);
    } else {
      node->SeenChildren = count;
      if (count > 0) SetChildrenButton(node->Item, true);
    }
  }
}

void CFilesTreeView::UpdateIcon(HTREEITEM item) {
  const Node* node = NodeOfItem(item);
  if (!node) return;
  FoundObject* folder = ObjectOf(*node);
  if (!folder) return;
  const bool expanded = (TreeView_GetItemState(tree_, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  const FolderFacts facts = FactsOf(node->Volume->Store, *folder, expanded);
  TVITEMW data{};
  data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  data.hItem = item;
  data.iImage = facts.Image;
  data.iSelectedImage = facts.Image;
  TreeView_SetItem(tree_, &data);
}

void CFilesTreeView::UpdateAncestorIcons(CVolume& volume, int32_t folderId) {
  std::vector<HTREEITEM> items;
  {
    FoundObjectStore::Guard guard = volume.Store.Lock();
    std::unordered_set<const FoundObject*> met;
    for (FoundObject* folder = volume.Store.FindFolderById(folderId);
         folder && IsShownFolder(*folder) && met.insert(folder).second &&
         static_cast<int>(met.size()) <= kMaxRevealDepth;
         folder = volume.Store.FindFolderById(folder->ParentId)) {
      if (HTREEITEM item = ItemOfObject(folder)) items.push_back(item);
      if (folder->ParentId == volume.RootRecord.Id) break;
    }
  }
  for (HTREEITEM item : items) UpdateIcon(item);
}

void CFilesTreeView::ToggleMarkOfKey(Key key) {
  const Node* node = NodeOfKey(key);
  if (!node || !ObjectOf(*node)) return;
  ToggleMark(*this, key);
}

int32_t CFilesTreeView::MarkedBelowOf(HTREEITEM item) const {
  const Node* node = NodeOfItem(item);
  return node ? node->MarkedBelow : 0;
}

MarkState CFilesTreeView::StateOfItem(HWND tree, HTREEITEM item) {
  const UINT state = TreeView_GetItemState(tree, item, TVIS_STATEIMAGEMASK);
  return static_cast<MarkState>((state & TVIS_STATEIMAGEMASK) >> 12);
}

void CFilesTreeView::OnDeleteItem(LPARAM lParam) {
  auto found = nodes_.find(static_cast<Key>(lParam));
  if (found == nodes_.end()) return;
  const Node& node = found->second;
  if (node.Object) {
    auto folder = folderKeys_.find(node.Object);
    if (folder != folderKeys_.end() && folder->second == found->first) folderKeys_.erase(folder);
  } else {
    auto drive = driveKeys_.find(node.Volume);
    if (drive != driveKeys_.end() && drive->second == found->first) driveKeys_.erase(drive);
  }
  nodes_.erase(found);
}

bool CFilesTreeView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != tree_) return false;
  const auto& view = reinterpret_cast<const NMTREEVIEWW&>(header);
  switch (header.code) {
    case TVN_ITEMEXPANDINGW:
      if (view.action & TVE_EXPAND) FillChildren(view.itemNew.hItem);
      result = FALSE;
      return true;
    case TVN_ITEMEXPANDEDW:
      UpdateIcon(view.itemNew.hItem);
      result = 0;
      return true;
    case TVN_DELETEITEMW:
      OnDeleteItem(view.itemOld.lParam);
      result = 0;
      return true;
    case NM_CLICK: {
      TVHITTESTINFO hit{};
      ::GetCursorPos(&hit.pt);
      ::ScreenToClient(tree_, &hit.pt);
      HTREEITEM item = TreeView_HitTest(tree_, &hit);
      if (!item || !(hit.flags & TVHT_ONITEMSTATEICON)) return false;
      const Node* node = NodeOfItem(item);
      // Posted: the tree finishes its own handling of the click first.
      if (node && node->Object && markWindow_)
        ::PostMessageW(markWindow_, UM_TOGGLE_MARK, 0, static_cast<LPARAM>(KeyOfItem(item)));
      result = 0;
      return true;
    }
    case TVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMTVKEYDOWN&>(header);
      if (key.wVKey != VK_SPACE) return false;
      HTREEITEM item = TreeView_GetSelection(tree_);
      const Node* node = NodeOfItem(item);
      if (node && node->Object && markWindow_)
        ::PostMessageW(markWindow_, UM_TOGGLE_MARK, 0, static_cast<LPARAM>(KeyOfItem(item)));
      result = 0;
      return node && node->Object;
    }
    default:
      return false;
  }
}

// ---- the check marks' view of the tree: found-folder items only

IMarkTree::Node CFilesTreeView::ParentOf(IMarkTree::Node key) const {
  const Node* node = NodeOfKey(key);
  if (!node) return kNoNode;
  HTREEITEM parent = TreeView_GetParent(tree_, node->Item);
  const Node* parentNode = NodeOfItem(parent);
  return parentNode && parentNode->Object ? KeyOfItem(parent) : kNoNode;
}

void CFilesTreeView::ChildrenOf(IMarkTree::Node key, std::vector<IMarkTree::Node>& out) const {
  const Node* node = NodeOfKey(key);
  if (!node) return;
  for (HTREEITEM child = TreeView_GetChild(tree_, node->Item); child;
       child = TreeView_GetNextSibling(tree_, child)) {
    const Node* childNode = NodeOfItem(child);
    if (childNode && childNode->Object) out.push_back(KeyOfItem(child));
  }
}

bool CFilesTreeView::IsMarked(IMarkTree::Node key) const {
  const Node* node = NodeOfKey(key);
  FoundObject* folder = node ? ObjectOf(*node) : nullptr;
  if (!folder) return false;
  FoundObjectStore::Guard guard = node->Volume->Store.Lock();
  return (folder->Flags & FoundMarked) != 0;
}

void CFilesTreeView::SetMarked(IMarkTree::Node key, bool marked) {
  const Node* node = NodeOfKey(key);
  FoundObject* folder = node ? ObjectOf(*node) : nullptr;
  if (!folder) return;
  node->Volume->Store.UpdateFlags(*folder, marked ? FoundMarked : 0, marked ? 0 : FoundMarked);
}

int32_t CFilesTreeView::MarkedBelow(IMarkTree::Node key) const {
  const Node* node = NodeOfKey(key);
  return node ? node->MarkedBelow : 0;
}

void CFilesTreeView::SetMarkedBelow(IMarkTree::Node key, int32_t count) {
  if (Node* node = MutableNode(key)) node->MarkedBelow = count;
}

void CFilesTreeView::ShowState(IMarkTree::Node key, MarkState state) {
  const Node* node = NodeOfKey(key);
  if (!node) return;
  TreeView_SetItemState(tree_, node->Item, INDEXTOSTATEIMAGEMASK(static_cast<int>(state)),
                        TVIS_STATEIMAGEMASK);
}
