// The database in the registry: defaults on a fresh key, the same database after a reload,
// value names, replacement by id, extension ownership, refused types.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filesystems/found_object.h"
#include "platform/registry.h"
#include "registry_sandbox.h"
#include "signatures/file_types.h"

namespace {

std::vector<std::vector<uint8_t>> Records(const std::vector<std::unique_ptr<FileType>>& list) {
  std::vector<std::vector<uint8_t>> records;
  for (const auto& record : list) records.push_back(record->Serialize());
  return records;
}

std::vector<std::u16string> ValueNames(const std::u16string& keyPath) {
  platform::RegistryKey key;
  std::vector<std::u16string> names;
  if (key.Open(platform::RegistryRoot::CurrentUser, keyPath) != platform::kErrorSuccess)
    return names;
  std::u16string name;
  uint32_t type;
  std::vector<uint8_t> data;
  for (uint32_t i = 0; key.EnumValue(i, &name, &type, &data) == platform::kErrorSuccess; ++i)
    names.push_back(name);
  return names;
}

FileType NewType(int32_t id, std::u16string_view extensions) {
  FileType type;
  type.TypeId = id;
  type.GroupId = GroupDocuments;
  type.SetDescription(u"Test type");
  type.SetExtensions(extensions);
  return type;
}

TEST(FileTypeDatabaseTest, FreshRegistryGivesTheBuiltInTableAndAReloadTheSameDatabase) {
  RegistrySandbox registry;
  FileTypeDatabase first;
  first.Load(registry.key());
  ASSERT_TRUE(first.IsLoaded());
  std::vector<FileType> groups = BuiltinGroups();
  ASSERT_EQ(first.Groups().size(), 11u);
  for (size_t i = 0; i < groups.size(); ++i)
    EXPECT_EQ(first.Groups()[i]->Serialize(), groups[i].Serialize()) << i;
  std::vector<FileType> builtin = BuiltinTypes();
  ASSERT_EQ(first.Types().size(), builtin.size());
  for (size_t i = 0; i < builtin.size(); ++i)
    EXPECT_EQ(first.Types()[i]->Serialize(), builtin[i].Serialize()) << i;

  FileTypeDatabase second;
  second.Load(registry.key());
  EXPECT_EQ(Records(second.Groups()), Records(first.Groups()));
  EXPECT_EQ(Records(second.Types()), Records(first.Types()));
  EXPECT_EQ(second.ExtensionIndex().size(), first.ExtensionIndex().size());
}

TEST(FileTypeDatabaseTest, ValuesAreNamedGroupTypeTitleAndFirstExtension) {
  RegistrySandbox registry;
  FileTypeDatabase database;
  database.Load(registry.key());

  // The registry lists values in an order of its own (Wine sorts them by name).
  auto has = [](const std::vector<std::u16string>& names, std::u16string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::vector<std::u16string> groups = ValueNames(registry.key() + u"\\Groups");
  EXPECT_EQ(groups.size(), 11u);
  EXPECT_TRUE(has(groups, u"-144.0.Documents."));
  EXPECT_TRUE(has(groups, u"-112.0.Storages and Drive images."));

  std::vector<std::u16string> types = ValueNames(registry.key() + u"\\File Types");
  EXPECT_EQ(types.size(), database.Types().size());
  EXPECT_TRUE(has(types, u"-144.47..PDF"));
  EXPECT_TRUE(has(types, u"-80.400.EXE-DOS.EXE"));
  EXPECT_TRUE(has(types, u"-16.11..SYSTEM"));
  EXPECT_TRUE(has(types, u"-117.111..CRW"));
}

TEST(FileTypeDatabaseTest, ALaterValueWithAKnownIdReplacesThatType) {
  RegistrySandbox registry;
  {
    FileTypeDatabase database;
    database.Load(registry.key());
  }
  // The value of a changed JPEG type under a name of its own, as a changed title gives.
  FileType changed = BuiltinTypes()[23];
  ASSERT_EQ(changed.TypeId, 83);
  changed.SetTitle(u"Photos from my camera");
  changed.SetExtensions(u"JPX");
  changed.Signatures.resize(1);
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(platform::RegistryRoot::CurrentUser, registry.key() + u"\\File Types"), 0);
  std::vector<uint8_t> value = changed.Serialize();
  key.WriteBinary(RegistryValueName(changed), value.data(), static_cast<uint32_t>(value.size()));
  key.Close();

  FileTypeDatabase reloaded;
  reloaded.Load(registry.key());
  EXPECT_EQ(reloaded.Types().size(), BuiltinTypes().size());
  FileType* jpeg = reloaded.FindType(83);
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->TitleText(), u"Photos from my camera");
  EXPECT_EQ(jpeg->Signatures.size(), 1u);
  EXPECT_EQ(reloaded.Types()[23].get(), jpeg);  // the scan order stays
  EXPECT_EQ(reloaded.FindTypeByExtension(u"jpx"), jpeg);
  EXPECT_EQ(reloaded.FindTypeByExtension(u"JPG"), nullptr);
}

// Wine's registry lists values sorted by name, and Windows promises no order either: the scan
// order must come back whatever order the values are listed in.
TEST(FileTypeDatabaseTest, TheScanOrderSurvivesAnyOrderOfTheValues) {
  RegistrySandbox registry;
  std::vector<std::vector<uint8_t>> saved;
  {
    FileTypeDatabase database;
    database.Load(registry.key());
    database.AddType(NewType(1000, u"NEW"));
    database.Save();
    saved = Records(database.Types());
  }
  auto rewriteReversed = [&] {
    const std::u16string typesKey = registry.key() + u"\\File Types";
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, typesKey);
    platform::RegistryKey key;
    ASSERT_EQ(key.Create(platform::RegistryRoot::CurrentUser, typesKey), 0);
    for (auto record = saved.rbegin(); record != saved.rend(); ++record) {
      DeserializeResult read = DeserializeFileType(*record);
      key.WriteBinary(RegistryValueName(*read.type), record->data(),
                      static_cast<uint32_t>(record->size()));
    }
  };
  rewriteReversed();
  FileTypeDatabase reloaded;
  reloaded.Load(registry.key());
  EXPECT_EQ(Records(reloaded.Types()), saved);

  // Without the saved order the built-in types take the table's order and others follow.
  platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser,
                               registry.key() + u"\\File Type Order");
  rewriteReversed();
  FileTypeDatabase fallback;
  fallback.Load(registry.key());
  EXPECT_EQ(Records(fallback.Types()), saved);
}

TEST(FileTypeDatabaseTest, DamagedValuesAreSkippedAndEmptyKeysRebuilt) {
  RegistrySandbox registry;
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(platform::RegistryRoot::CurrentUser, registry.key() + u"\\File Types"), 0);
  std::vector<uint8_t> shortValue(100, 0);
  key.WriteBinary(u"broken", shortValue.data(), 100);
  std::vector<uint8_t> extra = NewType(2000, u"ZZZ").Serialize();
  extra[1952] = 7;  // claims signatures that are not there
  key.WriteBinary(u"lying", extra.data(), static_cast<uint32_t>(extra.size()));
  key.Close();
  ASSERT_EQ(key.Create(platform::RegistryRoot::CurrentUser, registry.key() + u"\\Groups"), 0);
  key.Close();

  // Neither key holds a readable record: both are rebuilt from the table.
  FileTypeDatabase database;
  database.Load(registry.key());
  EXPECT_EQ(database.Groups().size(), 11u);
  EXPECT_EQ(database.Types().size(), BuiltinTypes().size());
  EXPECT_EQ(database.FindType(2000), nullptr);
}

TEST(FileTypeDatabaseTest, TheFirstTypeListingAnExtensionOwnsIt) {
  RegistrySandbox registry;
  FileTypeDatabase database;
  database.Load(registry.key());
  // "DOC" is listed by the storage file (500) and by the Word document (502) after it.
  EXPECT_EQ(database.FindTypeByExtension(u"doc")->TypeId, 500);
  EXPECT_EQ(database.FindTypeByExtension(u"LIB")->TypeId, 411);

  // A type added now is indexed at once, for the extensions nobody owns yet.
  FileType* added = database.AddType(NewType(1000, u"doc;NEWX"));
  ASSERT_TRUE(added);
  EXPECT_EQ(database.FindTypeByExtension(u"newx"), added);
  EXPECT_EQ(database.FindTypeByExtension(u"DOC")->TypeId, 500);

  auto typeOf = [&](const char16_t* name, int16_t id) {
    FoundObject object{};
    ResetFoundObject(object);
    object.Name = name;
    object.FileTypeId = id;
    FileType* type = database.TypeOfObject(object);
    EXPECT_EQ(object.FileTypeId, type ? type->TypeId : id);
    return type ? type->TypeId : 0;
  };
  EXPECT_EQ(typeOf(u"Letter.final.Doc", 0), 500);
  EXPECT_EQ(typeOf(u"picture.png", 83), 83);     // the id wins over the name
  EXPECT_EQ(typeOf(u"archive.ZIP", 9999), 300);  // an unknown id falls back to the name
  for (const char16_t* name :
       {u"README", u"trailing.", u"x.unknownext", static_cast<const char16_t*>(nullptr)})
    EXPECT_EQ(typeOf(name, 0), 0);
}

TEST(FileTypeDatabaseTest, TypesTheRegistryCouldNotKeepAreRefused) {
  FileTypeDatabase database;
  ASSERT_TRUE(database.AddType(NewType(1000, u"A")));
  EXPECT_EQ(database.AddType(NewType(1000, u"B")), nullptr);  // id in use

  FileType large = NewType(1001, u"C");
  Signature signature;
  for (int i = 0; i < 14; ++i)
    signature.Conditions.push_back(SignatureCondition::Create(CondMasked, 0));
  large.Signatures.push_back(signature);
  ASSERT_GT(large.SerializedSize(), kMaxSerializedFileType);
  EXPECT_EQ(database.AddType(large), nullptr);
  // Found objects keep type ids in 16 bits: 40000 would read back as a group's negative id.
  EXPECT_EQ(database.AddType(NewType(40000, u"D")), nullptr);
  EXPECT_EQ(database.AddType(NewType(32768, u"E")), nullptr);
  EXPECT_NE(database.AddType(NewType(kMaxTypeId, u"F")), nullptr);
  EXPECT_EQ(database.Types().size(), 2u);
  EXPECT_EQ(database.FindTypeByExtension(u"C"), nullptr);
}

}  // namespace
