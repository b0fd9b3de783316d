// The file list's rows: one row per record however often it is announced, row numbers that
// stay valid over a refill in the store's order, the shared direction flag of the header
// clicks, type-ahead over names, and the shell type names asked once per extension.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "filesystems/found_list_rows.h"
#include "filesystems/found_list_sort.h"
#include "filesystems/found_type_names.h"

namespace {

class Records {
 public:
  FoundObject* File(const char16_t* name, int64_t size, platform::FileTime created = 0) {
    FoundObject& record = records_.emplace_back();
    ResetFoundObject(record);
    record.Flags = FoundNamed;
    record.Name = name;
    record.Size = size;
    record.Created = created;
    return &record;
  }
  FoundObject* Folder(const char16_t* name) {
    FoundObject* record = File(name, 0);
    record->Flags |= FoundFolder;
    return record;
  }

 private:
  std::deque<FoundObject> records_;  // records never move, as in a store
};

std::vector<std::u16string> Names(const FoundListRows& rows) {
  std::vector<std::u16string> names;
  for (const FoundObject* row : rows.Objects()) names.emplace_back(row->Name ? row->Name : u"");
  return names;
}

using Names_ = std::vector<std::u16string>;

TEST(FoundListRows, EachRecordIsListedOnceWhateverAnnouncesIt) {
  Records records;
  FoundObject* a = records.File(u"a.jpg", 10);
  FoundObject* b = records.File(u"b.jpg", 20);
  FoundObject* c = records.File(u"c.jpg", 30);
  FoundListRows rows;
  // A refill read the store after c was added; the posted notification of c comes later.
  rows.Assign({a, nullptr, b, a, c});
  EXPECT_EQ(Names(rows), (Names_{u"a.jpg", u"b.jpg", u"c.jpg"}));
  EXPECT_FALSE(rows.Append(c));
  EXPECT_FALSE(rows.Append(nullptr));
  EXPECT_EQ(rows.Size(), 3u);

  EXPECT_EQ(rows.Remove(b), 1);
  EXPECT_EQ(rows.Remove(b), FoundListRows::kNoRow);
  EXPECT_FALSE(rows.Contains(b));
  EXPECT_EQ(rows.RowOf(c), 1);
  EXPECT_TRUE(rows.Append(b));
  EXPECT_EQ(Names(rows), (Names_{u"a.jpg", u"c.jpg", u"b.jpg"}));
  EXPECT_EQ(rows.At(2), b);
  EXPECT_EQ(rows.At(3), nullptr);
  EXPECT_EQ(rows.At(-1), nullptr);

  rows.Clear();
  EXPECT_EQ(rows.Size(), 0u);
  EXPECT_EQ(rows.MemoryBytes(), 0u);
  EXPECT_TRUE(rows.Append(a));
}

TEST(FoundListRows, RefillTellsWhetherTheRowsShownBeforeKeptTheirPlaces) {
  Records records;
  FoundObject* a = records.File(u"a", 1);
  FoundObject* b = records.File(u"b", 2);
  FoundObject* c = records.File(u"c", 3);
  FoundListRows rows;
  EXPECT_TRUE(rows.Assign({a, b}));
  // More objects found: the rows shown keep their numbers, the selection stays right.
  EXPECT_TRUE(rows.Assign({a, b, c}));
  // A placeholder folder left the folder: everything below it moved up.
  EXPECT_FALSE(rows.Assign({a, c}));
  // The first click turns the shared flag on: smallest first.
  rows.SortByClick(FoundListColumn::Size);
  EXPECT_EQ(Names(rows), (Names_{u"a", u"c"}));
  // Sorted, a new object lands among the others.
  EXPECT_FALSE(rows.Assign({c, b, a}));
  EXPECT_EQ(Names(rows), (Names_{u"a", u"b", u"c"}));
  // The same records again, one grown meanwhile: the order shown stays until the next click.
  a->Size = 100;
  EXPECT_TRUE(rows.Assign({c, a, b}));
  EXPECT_EQ(Names(rows), (Names_{u"a", u"b", u"c"}));
  rows.Resort();
  EXPECT_EQ(Names(rows), (Names_{u"b", u"c", u"a"}));
}

TEST(FoundListRows, HeaderClicksShareOneDirectionAndFoldersStayFirst) {
  Records records;
  FoundObject* big = records.File(u"Big.bin", int64_t{5} << 30, 300);
  FoundObject* unknown = records.File(u"unknown.jpg", -1, 100);
  FoundObject* small = records.File(u"small.txt", 12, 200);
  FoundObject* folder = records.Folder(u"zeta");
  FoundListRows rows;
  rows.Assign({big, unknown, small, folder});
  // A fresh folder shows in the store's order until the user sorts.
  EXPECT_FALSE(rows.Sorted());
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Name), SortArrow::None);

  rows.SortByClick(FoundListColumn::Name);  // the flag turns on: names descend
  EXPECT_EQ(Names(rows), (Names_{u"zeta", u"unknown.jpg", u"small.txt", u"Big.bin"}));
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Name), SortArrow::Down);
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Size), SortArrow::None);

  rows.SortByClick(FoundListColumn::Size);  // the flag turns off: largest first, unknown last
  EXPECT_EQ(Names(rows), (Names_{u"zeta", u"Big.bin", u"small.txt", u"unknown.jpg"}));
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Size), SortArrow::Down);
  rows.SortByClick(FoundListColumn::Size);  // second click: smallest first
  EXPECT_EQ(Names(rows), (Names_{u"zeta", u"unknown.jpg", u"small.txt", u"Big.bin"}));
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Size), SortArrow::Up);

  rows.SortByClick(FoundListColumn::Date);  // newest first (by the creation time)
  EXPECT_EQ(Names(rows), (Names_{u"zeta", u"Big.bin", u"small.txt", u"unknown.jpg"}));
  // The type column orders by name; the flag is on again, so names descend.
  rows.SortByClick(FoundListColumn::Type);
  EXPECT_EQ(Names(rows), (Names_{u"zeta", u"unknown.jpg", u"small.txt", u"Big.bin"}));
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Type), SortArrow::Down);
  EXPECT_EQ(rows.ArrowOf(FoundListColumn::Name), SortArrow::None);

  // The sort holds for the next folder and for objects appended and sorted in.
  FoundObject* middle = records.File(u"middle.doc", 50);
  rows.Assign({big, small, middle});
  EXPECT_EQ(Names(rows), (Names_{u"small.txt", u"middle.doc", u"Big.bin"}));
  rows.Append(records.File(u"zz", 1));
  rows.Resort();
  EXPECT_EQ(rows.Objects().front()->Name, std::u16string(u"zz"));
  rows.ResetSort();
  rows.Assign({big, small, middle});
  EXPECT_EQ(Names(rows), (Names_{u"Big.bin", u"small.txt", u"middle.doc"}));
}

TEST(FoundListRows, TheKeyedSortOrdersExactlyAsTheListOrder) {
  // Names that agree in their first units and differ later or only by case, names beyond the
  // basic plane, unnamed records, equal sizes and times: the keyed sort must give the order of
  // the plain comparison of records, equal records included.
  const std::u16string stems[] = {u"IMG_2019010",   u"img_2019010", u"DSC", u"dsc",
                                  u"\u00e9t\u00e9", u"\U0001F600",  u"a",   u""};
  std::mt19937 random(7);
  std::deque<std::u16string> names;
  Records records;
  std::vector<FoundObject*> all;
  for (int i = 0; i < 3000; ++i) {
    const std::u16string& stem = stems[random() % std::size(stems)];
    names.push_back(stem +
                    std::u16string(random() % 3, u'0' + static_cast<char16_t>(random() % 3)));
    FoundObject* record = records.File(random() % 20 == 0 ? nullptr : names.back().c_str(),
                                       static_cast<int64_t>(random() % 50) - 1, random() % 40);
    if (random() % 10 == 0) record->Flags |= FoundFolder;
    all.push_back(record);
  }
  for (FoundListColumn column : {FoundListColumn::Name, FoundListColumn::Size,
                                 FoundListColumn::Type, FoundListColumn::Date}) {
    for (bool reversed : {false, true}) {
      std::vector<FoundObject*> plain = all, keyed = all;
      SortFoundList(plain, column, reversed);
      SortFoundRows(keyed, column, reversed);
      EXPECT_EQ(plain, keyed) << static_cast<int>(column) << " " << reversed;
    }
  }
}

TEST(FoundListRows, TypeAheadFindsNamesFromTheStartRowAndWrapsWhenAsked) {
  Records records;
  FoundListRows rows;
  rows.Assign({records.File(u"Photo1.jpg", 1), records.File(nullptr, 1),
               records.File(u"notes.txt", 1), records.File(u"photo2.jpg", 1),
               records.File(u"ph", 1)});
  EXPECT_EQ(rows.FindByName(u"PHO", 0, false, false), 0);
  EXPECT_EQ(rows.FindByName(u"pho", 1, false, false), 3);
  EXPECT_EQ(rows.FindByName(u"notes", 4, false, false), FoundListRows::kNoRow);
  EXPECT_EQ(rows.FindByName(u"notes", 4, true, false), 2);
  EXPECT_EQ(rows.FindByName(u"ph", 1, false, true), 4);
  EXPECT_EQ(rows.FindByName(u"x", 99, true, false), FoundListRows::kNoRow);
  EXPECT_EQ(rows.FindByName(u"photo1.jpg", 99, true, true), 0);
  // An unnamed record matches only the empty text.
  EXPECT_EQ(rows.FindByName(u"", 1, false, true), 1);
  FoundListRows empty;
  EXPECT_EQ(empty.FindByName(u"a", 0, true, false), FoundListRows::kNoRow);
}

TEST(FoundListRows, AMillionRowsCostTwoPointersEach) {
  std::vector<FoundObject> records(1'000'000);
  std::vector<FoundObject*> pointers;
  pointers.reserve(records.size());
  for (FoundObject& record : records) {
    ResetFoundObject(record);
    pointers.push_back(&record);
  }
  FoundListRows rows;
  rows.Assign(std::move(pointers));
  EXPECT_EQ(rows.Size(), records.size());
  EXPECT_EQ(rows.MemoryBytes(), records.size() * 2 * sizeof(FoundObject*));
  EXPECT_FALSE(rows.Append(&records[777'777]));
  EXPECT_EQ(rows.Remove(&records[999'999]), 999'999);
}

TEST(FoundTypeNames, TheShellIsAskedOncePerExtensionWhateverItsCase) {
  int asked = 0;
  FoundTypeNames names([&](std::u16string_view name, uint16_t) {
    ++asked;
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string(u"File")
                                            : std::u16string(name.substr(dot + 1)) + u" File";
  });
  EXPECT_EQ(names.Of(u"a.JPG", 0x20), u"JPG File");
  EXPECT_EQ(names.Of(u"b.jpg", 0x20), u"JPG File");  // the first answer for the extension
  EXPECT_EQ(names.Of(u"archive.tar.gz", 0), u"gz File");
  EXPECT_EQ(names.Of(u"README", 0), u"File");
  EXPECT_EQ(names.Of(u"Makefile", 0), u"File");
  EXPECT_EQ(asked, 3);
  EXPECT_NE(TypeNameKey(u"x.jpg", 0x10), TypeNameKey(u"x.jpg", 0));
  EXPECT_EQ(TypeNameKey(u"\u00c9T\u00c9.Doc", 0), TypeNameKey(u"x.dOC", 0x20));

  // A drive with endless different extensions does not grow the cache without end.
  for (int i = 0; i < static_cast<int>(FoundTypeNames::kMaxEntries) + 10; ++i)
    names.Of(u"f." + std::u16string(1, static_cast<char16_t>(0x4E00 + i)), 0);
  EXPECT_LE(names.Entries(), FoundTypeNames::kMaxEntries);

  FoundTypeNames none(nullptr);
  EXPECT_EQ(none.Of(u"a.jpg", 0), u"");
}

}  // namespace
