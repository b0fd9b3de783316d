// The rows of the file list: the found objects of one folder in the order they are shown, the
// user's sort, and a second index by address so that an object announced twice (once by a
// refill, once by its posted notification) is listed once. Pure logic over records; the list
// window asks it for the object of each row it paints.
//
// The records belong to a store whose writer may change their sizes and flags at any time: a
// caller sorts, assigns and searches with the store's lock held.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "filesystems/found_object_view.h"

// Which way a column header's arrow points.
enum class SortArrow { None, Up, Down };

class FoundListRows {
 public:
  static constexpr ptrdiff_t kNoRow = -1;

  // Replaces the rows (in the store's order); the user's sort, when there is one, is applied,
  // unless the records are the ones listed already: then their order stays. True when the rows
  // shown before are still the first rows, in the same order, so that row numbers kept elsewhere
  // (the selection) still mean the same objects.
  bool Assign(std::vector<FoundObject*> objects);
  // Appends at the end; false for null or an object already listed.
  bool Append(FoundObject* object);
  // Removes the object; returns the row it had, or kNoRow.
  ptrdiff_t Remove(const FoundObject* object);
  // Forgets the rows and gives back their memory; the sort stays.
  void Clear();
  // Forgets the user's sort as well: the next folder shows in the store's order.
  void ResetSort();

  size_t Size() const { return rows_.size(); }
  // Null outside the rows.
  FoundObject* At(ptrdiff_t row) const;
  bool Contains(const FoundObject* object) const;
  ptrdiff_t RowOf(const FoundObject* object) const;
  const std::vector<FoundObject*>& Objects() const { return rows_; }

  // A click on a column header: one direction flag is shared by all columns and every click
  // turns it round, then the rows are sorted by the column (folders always first).
  void SortByClick(FoundListColumn column);
  // Sorts again by the user's column, when there is one (sizes changed, objects appended).
  void Resort();
  bool Sorted() const { return sorted_; }
  FoundListColumn SortColumn() const { return column_; }
  bool Reversed() const { return reversed_; }
  SortArrow ArrowOf(FoundListColumn column) const;

  // The first row at or after start (wrapping round to the top when asked) whose name begins
  // with the text, or with wholeName is the text, ignoring case; kNoRow when none is.
  ptrdiff_t FindByName(std::u16string_view text, size_t start, bool wrap, bool wholeName) const;

  // The bytes the rows hold (both indexes, by their capacity).
  size_t MemoryBytes() const;

 private:
  void Sort();
  void RebuildAddresses();

  std::vector<FoundObject*> rows_;
  // The same records ordered by address.
  std::vector<const FoundObject*> byAddress_;
  bool sorted_ = false;
  FoundListColumn column_ = FoundListColumn::Name;
  bool reversed_ = false;
};
