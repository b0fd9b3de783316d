#include "filesystems/found_list_sort.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace {

// Each key is read from its record once, together with whether it is a folder: every visit to a
// record scattered over the store's memory costs more than the sort itself.
//
// A number key with the row's place before the sort, which keeps equal keys in order.
struct NumberRow {
  int64_t key;
  uint32_t place;
  bool folder;
  FoundObject* record;
};

// The first kNameUnits units of the name in lower case, four to a word, highest first, so
// that comparing the words compares the units in order; shorter names end in zeros, which
// order before any unit a name can hold.
constexpr size_t kNameUnits = 12;
struct NameRow {
  uint64_t key[3];
  uint32_t place;
  bool folder;
  FoundObject* record;
};

bool IsFolder(const FoundObject& record) { return (record.Flags & FoundFolder) != 0; }

std::u16string_view NameOf(const FoundObject* record) {
  return record->Name ? std::u16string_view(record->Name) : std::u16string_view();
}

NameRow NameRowOf(FoundObject* record, uint32_t place) {
  NameRow row{{0, 0, 0}, place, IsFolder(*record), record};
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
void WriteBack(const std::vector<Row>& sorted, std::vector<FoundObject*>& rows) {
  auto out = rows.begin();
  for (const Row& row : sorted) *out++ = row.record;
}

// Folders first; sizes and dates descend with the flag clear, ascend with it set.
template <typename KeyOf>
void SortByNumber(std::vector<FoundObject*>& records, bool reversed, KeyOf keyOf) {
  std::vector<NumberRow> rows;
  rows.reserve(records.size());
  uint32_t place = 0;
  for (FoundObject* record : records)
    rows.push_back({keyOf(*record), place++, IsFolder(*record), record});
  std::sort(rows.begin(), rows.end(), [reversed](const NumberRow& a, const NumberRow& b) {
    if (a.folder != b.folder) return a.folder;
    if (a.key != b.key) return reversed ? a.key < b.key : a.key > b.key;
    return a.place < b.place;
  });
  WriteBack(rows, records);
}

// Folders first; names ascend with the flag clear, descend with it set.
void SortByName(std::vector<FoundObject*>& records, bool reversed) {
  std::vector<NameRow> rows;
  rows.reserve(records.size());
  uint32_t place = 0;
  for (FoundObject* record : records) rows.push_back(NameRowOf(record, place++));
  std::sort(rows.begin(), rows.end(), [reversed](const NameRow& a, const NameRow& b) {
    if (a.folder != b.folder) return a.folder;
    const int order = CompareNames(a, b);
    if (order != 0) return reversed ? order > 0 : order < 0;
    return a.place < b.place;
  });
  WriteBack(rows, records);
}

// Times are unsigned: flipping the top bit keeps their order in a signed key.
int64_t TimeKey(platform::FileTime time) {
  return static_cast<int64_t>(time ^ (uint64_t{1} << 63));
}

}  // namespace

void SortFoundRows(std::vector<FoundObject*>& rows, FoundListColumn column, bool reversed) {
  switch (column) {
    case FoundListColumn::Size:
      SortByNumber(rows, reversed, [](const FoundObject& r) { return r.Size; });
      break;
    case FoundListColumn::Date:
      SortByNumber(rows, reversed, [](const FoundObject& r) { return TimeKey(r.Created); });
      break;
    case FoundListColumn::Name:
    case FoundListColumn::Type:
    case FoundListColumn::Folder:
      SortByName(rows, reversed);
      break;
  }
}
