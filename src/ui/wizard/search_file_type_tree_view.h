// The file types to search as a tree of check boxes over a tree control of a page: the
// database's visible groups with their visible types. A click on a box (or the space key)
// checks or unchecks a group with all its types, or one type, whose group follows; a group
// with only some types checked shows a greyed box. The right-click menu checks or unchecks
// everything. Apply stores the boxes into the types' Enabled flags and saves the database,
// so that the sector pass keeps only the checked types.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "signatures/file_type_tree.h"
#include "ui/framework/subclass.h"

class FileTypeDatabase;

namespace ui {

class CSearchFileTypeTreeView {
 public:
  // State images: 1 unchecked, 2 checked, 3 partly checked.
  static constexpr int kUncheckedImage = 1;
  static constexpr int kCheckedImage = 2;
  static constexpr int kPartialImage = 3;

  CSearchFileTypeTreeView();
  ~CSearchFileTypeTreeView();
  CSearchFileTypeTreeView(const CSearchFileTypeTreeView&) = delete;
  CSearchFileTypeTreeView& operator=(const CSearchFileTypeTreeView&) = delete;

  // Takes over a tree control and fills it from the database, which must outlive the view.
  bool Attach(HWND tree, FileTypeDatabase& database);
  HWND Handle() const { return tree_; }
  const FileTypeTree& Model() const { return model_; }

  // The boxes from the types' flags again.
  void LoadTree();
  // The flags from the boxes; the database is saved.
  void ApplyTree();
  // Check All / Uncheck All.
  void SetAll(bool checked);

 private:
  void Fill();
  void ShowStates();
  void SetItemImage(HTREEITEM item, int image) const;
  // A click or the space key on an item's box.
  void Toggle(HTREEITEM item);
  bool OnTreeMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  HTREEITEM BoxAt(LPARAM clientPoint) const;
  void ShowMenu(LPARAM screenPoint);

  HWND tree_ = nullptr;
  FileTypeDatabase* database_ = nullptr;
  FileTypeTree model_{TypeTreeFlag::Enabled};
  HIMAGELIST stateImages_ = nullptr;
  CControlSubclass subclass_;
  std::vector<HTREEITEM> groupItems_;
  std::vector<std::vector<HTREEITEM>> typeItems_;
};

// The state images of a check-box tree: blank, unchecked, checked, partly checked (16x16).
HIMAGELIST CreateCheckStateImages();

}  // namespace ui
