#include "filesystems/found_list_sort.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace {

bool IsFolder(const FoundObject* record) { return (record->Flags & FoundFolder) != 0; }

// A number key with the row's place before the sort, which keeps equal keys in order.
struct NumberRow {
  int64_t key;
  uint32_t place;
  FoundObject* record;
};

// The first kNameUnits units of the name in lower case, four to a word, highest first, so
// that comparing the words compares the units in order; shorter names end in zeros, which
// order before any unit a name can hold.
constexpr size_t kNameUnits = 12;
struct NameRow {
  uint64_t key[3];
  uint32_t place;
  FoundObject* record;
};

std::u16string_view NameOf(const FoundObject* record) {
  return record->Name ? std::u16string_view(record->Name) : std::u16string_view();
}

NameRow NameRowOf(FoundObject* record, uint32_t place) {
  NameRow row{{0, 0, 0}, place, record};
  const std::u16string_view name = NameOf(record);
  for (size_t i = 0; i < kNameUnits && i < name.size(); ++i) {
    const uint64_t unit = platform::AsciiToLower(name[i]);
    row.key[i / 4] |= unit << (48 - 16 * (i % 4));
  }
  return row;
}

// Below zero when a orders before b by name, ignoring case.
int CompareNames(const NameRow& a, const NameRow& b) {
  for (size_t word = 0; word < 3; ++word)
    if (a.key[word] != b.key[word]) return a.key[word] < b.key[word] ? -1 : 1;
  // Both keys end in a unit: the names are that long or longer, compare the rest.
  if ((a.key[2] & 0xFFFF) != 0) return platform::CompareNoCase(NameOf(a.record), NameOf(b.record));
  return 0;
}

template <typename Row>
void WriteBack(const std::vector<Row>& sorted, std::vector<FoundObject*>::iterator first) {
  for (const Row& row : sorted) *first++ = row.record;
}

// Sizes and dates descend with the flag clear, ascend with it set.
template <typename KeyOf>
void SortByNumber(std::vector<FoundObject*>::iterator first,
                  std::vector<FoundObject*>::iterator last, bool reversed, KeyOf keyOf) {
  std::vector<NumberRow> rows;
  rows.reserve(static_cast<size_t>(last - first));
  uint32_t place = 0;
  for (auto it = first; it != last; ++it) rows.push_back({keyOf(**it), place++, *it});
  std::sort(rows.begin(), rows.end(), [reversed](const NumberRow& a, const NumberRow& b) {
    if (a.key != b.key) return reversed ? a.key < b.key : a.key > b.key;
    return a.place < b.place;
  });
  WriteBack(rows, first);
}

// Names ascend with the flag clear, descend with it set.
void SortByName(std::vector<FoundObject*>::iterator first, std::vector<FoundObject*>::iterator last,
                bool reversed) {
  std::vector<NameRow> rows;
  rows.reserve(static_cast<size_t>(last - first));
  uint32_t place = 0;
  for (auto it = first; it != last; ++it) rows.push_back(NameRowOf(*it, place++));
  std::sort(rows.begin(), rows.end(), [reversed](const NameRow& a, const NameRow& b) {
    const int order = CompareNames(a, b);
    if (order != 0) return reversed ? order > 0 : order < 0;
    return a.place < b.place;
  });
  WriteBack(rows, first);
}

// Times are unsigned: flipping the top bit keeps their order in a signed key.
int64_t TimeKey(platform::FileTime time) {
  return static_cast<int64_t>(time ^ (uint64_t{1} << 63));
}

}  // namespace

void SortFoundRows(std::vector<FoundObject*>& rows, FoundListColumn column, bool reversed) {
  const auto files = std::stable_partition(rows.begin(), rows.end(), IsFolder);
  for (const auto& [first, last] : {std::pair{rows.begin(), files}, std::pair{files, rows.end()}}) {
    switch (column) {
      case FoundListColumn::Size:
        SortByNumber(first, last, reversed, [](const FoundObject& r) { return r.Size; });
        break;
      case FoundListColumn::Date:
        SortByNumber(first, last, reversed,
                     [](const FoundObject& r) { return TimeKey(r.Created); });
        break;
      case FoundListColumn::Name:
      case FoundListColumn::Type:
      case FoundListColumn::Folder:
        SortByName(first, last, reversed);
        break;
    }
  }
}
