#include "filesystems/found_list_rows.h"

#include <algorithm>
#include <unordered_set>

#include "filesystems/found_list_sort.h"
#include "platform/text.h"

namespace {

bool IsNameOrdered(FoundListColumn column) {
  return column != FoundListColumn::Size && column != FoundListColumn::Date;
}

bool NameMatches(const char16_t* name, std::u16string_view text, bool wholeName) {
  const std::u16string_view shown = name ? std::u16string_view(name) : std::u16string_view();
  if (wholeName) return platform::EqualsNoCase(shown, text);
  return shown.size() >= text.size() && platform::EqualsNoCase(shown.substr(0, text.size()), text);
}

}  // namespace

bool FoundListRows::Assign(std::vector<FoundObject*> objects) {
  objects.erase(std::remove(objects.begin(), objects.end(), nullptr), objects.end());
  objects.swap(rows_);
  rows_.shrink_to_fit();
  std::vector<const FoundObject*> addressesBefore;
  addressesBefore.swap(byAddress_);
  RebuildAddresses();
  const std::vector<FoundObject*>& before = objects;
  if (sorted_ && byAddress_ == addressesBefore) {
    // The same records (the refresh while an analysis runs): the rows keep the order shown
    // rather than jumping about under the user's eyes as sizes are inferred.
    rows_.swap(objects);
    return true;
  }
  if (sorted_) Sort();
  return before.size() <= rows_.size() && std::equal(before.begin(), before.end(), rows_.begin());
}

void FoundListRows::RebuildAddresses() {
  byAddress_.assign(rows_.begin(), rows_.end());
  byAddress_.shrink_to_fit();
  std::sort(byAddress_.begin(), byAddress_.end());
  if (std::adjacent_find(byAddress_.begin(), byAddress_.end()) == byAddress_.end()) return;
  // A record listed twice keeps its first row.
  byAddress_.erase(std::unique(byAddress_.begin(), byAddress_.end()), byAddress_.end());
  std::unordered_set<const FoundObject*> seen;
  rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                             [&](const FoundObject* row) { return !seen.insert(row).second; }),
              rows_.end());
}

bool FoundListRows::Append(FoundObject* object) {
  if (!object) return false;
  const auto place = std::lower_bound(byAddress_.begin(), byAddress_.end(), object);
  if (place != byAddress_.end() && *place == object) return false;
  // Reserve both first, so that running out of memory leaves the two indexes alike.
  if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() + rows_.size() / 2 + 16);
  if (byAddress_.size() == byAddress_.capacity()) {
    const size_t offset = static_cast<size_t>(place - byAddress_.begin());
    byAddress_.reserve(byAddress_.size() + byAddress_.size() / 2 + 16);
    byAddress_.insert(byAddress_.begin() + static_cast<ptrdiff_t>(offset), object);
  } else {
    byAddress_.insert(place, object);
  }
  rows_.push_back(object);
  return true;
}

ptrdiff_t FoundListRows::Remove(const FoundObject* object) {
  const auto place = std::lower_bound(byAddress_.begin(), byAddress_.end(), object);
  if (!object || place == byAddress_.end() || *place != object) return kNoRow;
  byAddress_.erase(place);
  const auto found = std::find(rows_.begin(), rows_.end(), object);
  if (found == rows_.end()) return kNoRow;
  const ptrdiff_t row = found - rows_.begin();
  rows_.erase(found);
  return row;
}

void FoundListRows::Clear() {
  std::vector<FoundObject*>().swap(rows_);
  std::vector<const FoundObject*>().swap(byAddress_);
}

void FoundListRows::ResetSort() {
  sorted_ = false;
  column_ = FoundListColumn::Name;
  reversed_ = false;
}

FoundObject* FoundListRows::At(ptrdiff_t row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return nullptr;
  return rows_[static_cast<size_t>(row)];
}

bool FoundListRows::Contains(const FoundObject* object) const {
  return object && std::binary_search(byAddress_.begin(), byAddress_.end(), object);
}

ptrdiff_t FoundListRows::RowOf(const FoundObject* object) const {
  if (!Contains(object)) return kNoRow;
  const auto found = std::find(rows_.begin(), rows_.end(), object);
  return found == rows_.end() ? kNoRow : found - rows_.begin();
}

void FoundListRows::SortByClick(FoundListColumn column) {
  reversed_ = !reversed_;
  column_ = column;
  sorted_ = true;
  Sort();
}

void FoundListRows::Resort() {
  if (sorted_) Sort();
}

void FoundListRows::Sort() { SortFoundRows(rows_, column_, reversed_); }

SortArrow FoundListRows::ArrowOf(FoundListColumn column) const {
  if (!sorted_ || column != column_) return SortArrow::None;
  // Names ascend with the flag clear; sizes and dates descend.
  const bool ascending = IsNameOrdered(column) ? !reversed_ : reversed_;
  return ascending ? SortArrow::Up : SortArrow::Down;
}

ptrdiff_t FoundListRows::FindByName(std::u16string_view text, size_t start, bool wrap,
                                    bool wholeName) const {
  const size_t count = rows_.size();
  if (count == 0) return kNoRow;
  if (start >= count) {
    if (!wrap) return kNoRow;
    start = 0;
  }
  const size_t steps = wrap ? count : count - start;
  for (size_t step = 0; step < steps; ++step) {
    const size_t row = (start + step) % count;
    if (NameMatches(rows_[row]->Name, text, wholeName)) return static_cast<ptrdiff_t>(row);
  }
  return kNoRow;
}

size_t FoundListRows::MemoryBytes() const {
  return rows_.capacity() * sizeof(FoundObject*) + byAddress_.capacity() * sizeof(FoundObject*);
}
