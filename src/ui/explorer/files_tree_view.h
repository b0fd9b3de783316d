// The folder tree of the explorer window: drive nodes, and below an analysed drive's node the
// found folders of its store (the root folder, "Lost folders", "Lost files" and their folders),
// filled when a node is expanded, with three-state check marks.
//
// Items carry a key of their own in lParam, never a record's address: the key finds the node,
// and a node reaches its record only after the record was found again in its drive's store. A
// key is never reused, so an item or a posted message that outlived its node finds nothing.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/explorer/tree_marks.h"

class CVolume;
struct FoundObject;

class CFilesTreeView : private IMarkTree {
 public:
  using Key = uint32_t;
  struct Node {
    CVolume* Volume = nullptr;
    // The found folder; null on a drive node. Only ObjectOf hands it out.
    FoundObject* Object = nullptr;
    int32_t ObjectId = 0;
    HTREEITEM Item = nullptr;
    int32_t MarkedBelow = 0;
    // Its found folders were inserted (the node was expanded once).
    bool Filled = false;
    // The store's child count when the node was last filled or refreshed.
    size_t SeenChildren = 0;
  };

  // The first image of the found-object pictures in the normal image list.
  static constexpr int kFoundImageBase = 5;

  CFilesTreeView() = default;
  ~CFilesTreeView();
  CFilesTreeView(const CFilesTreeView&) = delete;
  CFilesTreeView& operator=(const CFilesTreeView&) = delete;

  // markWindow receives UM_TOGGLE_MARK when a check box is clicked.
  bool Create(HWND parent, int id, HWND markWindow);
  HWND Handle() const { return tree_; }

  // Drive nodes.
  void DeleteAll();
  HTREEITEM InsertDrive(HTREEITEM parent, CVolume* volume, const std::u16string& text, int image);
  HTREEITEM ItemOfDrive(const CVolume* volume) const;

  // Nodes and what they show.
  const Node* NodeOfItem(HTREEITEM item) const;
  const Node* NodeOfKey(Key key) const;
  Key KeyOfItem(HTREEITEM item) const;
  // The node's drive while the drive list holds it (or a pseudo-drive); else null.
  CVolume* VolumeOf(const Node& node) const;
  // The node's found folder while its drive's store holds it; else null.
  FoundObject* ObjectOf(const Node& node) const;
  HTREEITEM ItemOfObject(const FoundObject* object) const;

  // The found folders directly below a drive node: the root, "Lost folders", "Lost files".
  void ShowFoundTop(CVolume& volume);
  // Inserts the node's found folders that have no item yet (the first expansion fills it; a
  // filled node gets what came since).
  void FillChildren(HTREEITEM item);
  // The item of the folder below its parent's item when the parent is filled; otherwise the
  // parent only learns that it has children. Null when nothing was inserted.
  HTREEITEM ShowFolder(CVolume& volume, FoundObject& folder);
  // The item of the folder, inserting the folders above it when needed.
  HTREEITEM RevealFolder(CVolume& volume, FoundObject& folder);
  void RemoveFolder(const FoundObject* folder);
  // Removes every found folder of the drive, keeping its node.
  void RemoveFoundOf(const CVolume& volume);
  // Filled nodes of the drive whose store has children they have not shown; cheap when nothing
  // changed.
  void RefreshVolume(CVolume& volume);
  // The icon of the item's folder again (flags changed).
  void UpdateIcon(HTREEITEM item);
  // The icons of the shown folders from the one with the identifier up to the root (a deleted
  // object below them changed their pictures).
  void UpdateAncestorIcons(CVolume& volume, int32_t folderId);

  // Check marks: the key came with UM_TOGGLE_MARK.
  void ToggleMarkOfKey(Key key);
  int32_t MarkedBelowOf(HTREEITEM item) const;
  static MarkState StateOfItem(HWND tree, HTREEITEM item);

  // TVN_ITEMEXPANDING, TVN_ITEMEXPANDED, TVN_DELETEITEM and the check-box click; true when
  // handled. Selection changes are the caller's.
  bool OnNotify(const NMHDR& header, LRESULT& result);

 private:
  Key NewKey();
  Node* MutableNode(Key key);
  HTREEITEM InsertFound(HTREEITEM parent, CVolume& volume, FoundObject& folder);
  void InsertMissingChildren(Node& node);
  bool HasChildItems(HTREEITEM item) const;
  void SetChildrenButton(HTREEITEM item, bool children);
  void OnDeleteItem(LPARAM key);

  // IMarkTree over the found-folder items.
  IMarkTree::Node ParentOf(IMarkTree::Node node) const override;
  void ChildrenOf(IMarkTree::Node node, std::vector<IMarkTree::Node>& out) const override;
  bool IsMarked(IMarkTree::Node node) const override;
  void SetMarked(IMarkTree::Node node, bool marked) override;
  int32_t MarkedBelow(IMarkTree::Node node) const override;
  void SetMarkedBelow(IMarkTree::Node node, int32_t count) override;
  void ShowState(IMarkTree::Node node, MarkState state) override;

  HWND tree_ = nullptr;
  HWND markWindow_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HIMAGELIST stateImages_ = nullptr;
  Key nextKey_ = 0;
  std::unordered_map<Key, Node> nodes_;
  std::unordered_map<const FoundObject*, Key> folderKeys_;
  std::unordered_map<const CVolume*, Key> driveKeys_;
};
