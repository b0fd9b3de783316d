// How found objects are shown: size texts at the unit boundaries, icon numbers for files,
// folders and open tree folders, property values, and the list order in both directions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filesystems/found_object_view.h"
#include "platform/time.h"
#include "signatures/file_types.h"

namespace {

FoundObject File(const char16_t* name, int64_t size, uint16_t flags = 0) {
  FoundObject record;
  ResetFoundObject(record);
  record.Flags = static_cast<uint16_t>(flags | FoundNamed);
  record.Name = name;
  record.Size = size;
  return record;
}

FoundObject Folder(int32_t id, int32_t parentId, uint16_t flags = 0,
                   const char16_t* name = u"dir") {
  FoundObject record = File(name, 0, static_cast<uint16_t>(flags | FoundFolder));
  record.Id = id;
  record.ParentId = parentId;
  return record;
}

TEST(FoundObjectView, SizeTextsUseIntegerUnitsAboveEachBoundary) {
  const std::pair<int64_t, std::u16string> cases[] = {
      {0, u"0"},
      {1024, u"1024"},
      {1025, u"1 KB"},
      {1048576, u"1024 KB"},
      {1048577, u"1 MB"},
      {int64_t{1} << 30, u"1024 MB"},
      {(int64_t{1} << 30) + 1, u"1 GB"},
      {int64_t{5} << 40, u"5120 GB"},
      {-1, u"unknown"},
  };
  for (const auto& [size, text] : cases) EXPECT_EQ(FoundSizeText(File(u"f", size)), text) << size;
  EXPECT_EQ(FoundSizeText(Folder(9, 2)), u"");
}

TEST(FoundObjectView, IconNumbers) {
  EXPECT_EQ(FoundIconNumber(File(u"f", 1), 2), 0);
  EXPECT_EQ(FoundIconNumber(File(u"f", 1, FoundDeleted), 2), 1);
  EXPECT_EQ(FoundIconNumber(File(u"f", 1, FoundAlsoScanned), 2), 10);
  EXPECT_EQ(FoundIconNumber(File(u"f", 1, FoundAlsoScanned | FoundDeleted | FoundLost), 2), 11);

  struct Case {
    FoundObject folder;
    int list;
    int expanded;
  };
  const Case cases[] = {
      {Folder(2, -31), 3, 3},                                            // root
      {Folder(GroupImages, IdLostFiles, FoundHasDeleted), 6, 6},         // group folder
      {Folder(IdLostFolders, -31, FoundHasDeleted), 8, 9},               // "Lost folders"
      {Folder(7, IdLostFolders, FoundDeleted | FoundHasDeleted), 8, 9},  // placeholder
      {Folder(IdLostFiles, -31, FoundDeleted | FoundHasDeleted), 6, 7},  // "Lost files"
      {Folder(12, 2, FoundDeleted), 6, 7},
      {Folder(13, 2, FoundHasDeleted), 4, 5},
      {Folder(14, 2), 2, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoundIconNumber(c.folder, 2), c.list) << c.folder.Id;
    EXPECT_EQ(FoundTreeIconNumber(c.folder, 2, false), c.list) << c.folder.Id;
    EXPECT_EQ(FoundTreeIconNumber(c.folder, 2, true), c.expanded) << c.folder.Id;
  }
}

TEST(FoundObjectView, PropertiesOfFilesAndFolders) {
  FoundObject file = File(u"photo.jpg", 5000, FoundDeleted);
  file.Id = 17;
  file.ParentId = 2;
  file.Start = 1048576;
  file.Modified = platform::UnixTimeToFileTime(1700000000);
  FoundPropertyContext context;
  context.BytesPerCluster = 4096;
  context.FolderPath = u"C:\\Photos\\";
  std::u16string askedName;
  context.ShellType = [&](std::u16string_view name, uint16_t) {
    askedName = std::u16string(name);
    return std::u16string(u"JPEG image");
  };
  FoundObjectProperties properties = DescribeFoundObject(file, context);
  EXPECT_EQ(properties.State, u"Deleted");
  EXPECT_EQ(properties.Id, u"17");
  EXPECT_EQ(properties.ParentId, u"2");
  EXPECT_EQ(properties.Type, u"JPEG image");
  EXPECT_EQ(askedName, u"photo.jpg");
  EXPECT_EQ(properties.Folder, u"C:\\Photos\\");
  EXPECT_EQ(properties.Start, u"1048576");
  EXPECT_EQ(properties.Size, u"5000");
  EXPECT_EQ(properties.SizeOnDisk, u"8192");
  EXPECT_EQ(properties.Created, u"unknown");
  EXPECT_EQ(properties.Modified, platform::LocalDateTimeText(file.Modified));
  EXPECT_NE(properties.Modified, u"unknown");

  FoundObjectProperties folder = DescribeFoundObject(Folder(30, 2, 0), context);
  EXPECT_EQ(folder.State, u"Live");
  EXPECT_EQ(folder.Type, u"Folder");
  EXPECT_EQ(folder.Start, u"0");
  EXPECT_EQ(folder.Size, u"0");
  EXPECT_EQ(folder.SizeOnDisk, u"0");

  // An object without a name takes its type texts from the database.
  FileTypeDatabase types;
  auto type = std::make_unique<FileType>();
  type->TypeId = 40;
  type->GroupId = GroupImages;
  type->SetDescription(u"JPEG Image");
  type->SetTitle(u"Camera JPEG");
  types.AddType(std::move(type));
  context.FileTypes = &types;
  FoundObject unnamed = File(nullptr, -1);
  unnamed.Flags = FoundLost;
  unnamed.FileTypeId = 40;
  FoundObjectProperties typed = DescribeFoundObject(unnamed, context);
  EXPECT_EQ(typed.Type, u"JPEG Image");
  EXPECT_EQ(typed.TypeTitle, u"Camera JPEG");
  EXPECT_EQ(typed.Name, u"");
  EXPECT_EQ(typed.Size, u"-1");
  EXPECT_EQ(typed.SizeOnDisk, u"-1");
}

TEST(FoundObjectView, SizeOnDiskRoundsUpToClustersWithoutOverflow) {
  EXPECT_EQ(SizeOnDisk(0, 4096), 0);
  EXPECT_EQ(SizeOnDisk(1, 4096), 4096);
  EXPECT_EQ(SizeOnDisk(4096, 4096), 4096);
  EXPECT_EQ(SizeOnDisk(4097, 512), 4608);
  EXPECT_EQ(SizeOnDisk(100, 0), 100);
  EXPECT_EQ(SizeOnDisk(INT64_MAX, 4096), INT64_MAX);
}

TEST(FoundObjectView, DateColumnShowsCreationTime) {
  FoundObject file = File(u"f", 1);
  EXPECT_EQ(FoundDateText(file), u"");
  file.Modified = platform::UnixTimeToFileTime(1600000000);
  EXPECT_EQ(FoundDateText(file), u"") << "the column shows Created, not Modified";
  file.Created = platform::UnixTimeToFileTime(1500000000);
  EXPECT_EQ(FoundDateText(file), platform::LocalDateTimeText(file.Created));
}

std::vector<std::u16string> Names(const std::vector<FoundObject*>& list) {
  std::vector<std::u16string> names;
  for (const FoundObject* record : list) names.emplace_back(record->Name);
  return names;
}

TEST(FoundObjectView, FoldersFirstThenTheColumnInItsDirection) {
  FoundObject b = File(u"beta.txt", 300);
  FoundObject a = File(u"Alpha.txt", 100);
  FoundObject c = File(u"charlie.txt", 200);
  FoundObject unknown = File(u"delta.txt", -1);
  FoundObject zed = Folder(5, 2, 0, u"zed");
  FoundObject abc = Folder(6, 2, 0, u"ABC");
  a.Created = 30, b.Created = 10, c.Created = 20, unknown.Created = 0;
  std::vector<FoundObject*> list{&b, &zed, &a, &unknown, &c, &abc};

  SortFoundList(list, FoundListColumn::Name, false);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"ABC", u"zed", u"Alpha.txt", u"beta.txt",
                                                      u"charlie.txt", u"delta.txt"}));
  SortFoundList(list, FoundListColumn::Name, true);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"zed", u"ABC", u"delta.txt", u"charlie.txt",
                                                      u"beta.txt", u"Alpha.txt"}));
  SortFoundList(list, FoundListColumn::Type, false);
  EXPECT_EQ(Names(list)[2], u"Alpha.txt") << "the type column sorts by name";

  SortFoundList(list, FoundListColumn::Size, false);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"ABC", u"zed", u"beta.txt", u"charlie.txt",
                                                      u"Alpha.txt", u"delta.txt"}))
      << "largest first; folders keep their order among themselves";
  SortFoundList(list, FoundListColumn::Size, true);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"ABC", u"zed", u"delta.txt", u"Alpha.txt",
                                                      u"charlie.txt", u"beta.txt"}));

  SortFoundList(list, FoundListColumn::Date, false);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"ABC", u"zed", u"Alpha.txt", u"charlie.txt",
                                                      u"beta.txt", u"delta.txt"}));
  SortFoundList(list, FoundListColumn::Date, true);
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"ABC", u"zed", u"delta.txt", u"beta.txt",
                                                      u"charlie.txt", u"Alpha.txt"}));
}

TEST(FoundObjectView, TypeTextOfFoldersAndFiles) {
  EXPECT_EQ(FoundTypeText(Folder(5, 2), nullptr), u"Folder");
  uint16_t seenAttributes = 0;
  FoundObject file = File(u"a.doc", 10);
  file.Attributes = 0x20;
  EXPECT_EQ(FoundTypeText(file,
                          [&](std::u16string_view, uint16_t attributes) {
                            seenAttributes = attributes;
                            return std::u16string(u"Document");
                          }),
            u"Document");
  EXPECT_EQ(seenAttributes, 0x20);
  EXPECT_EQ(FoundTypeText(file, nullptr), u"");
}

}  // namespace
