// The type tree without windows: what it lists, how checks spread between groups and types,
// and that applying it writes the flags the scan and the store read, also after a restart.
#include <gtest/gtest.h>

#include <algorithm>

#include "registry_sandbox.h"
#include "signatures/file_type_tree.h"
#include "signatures/file_types.h"

namespace {

size_t GroupIndex(const FileTypeTree& tree, int32_t groupId) {
  for (size_t i = 0; i < tree.Groups().size(); ++i)
    if (tree.Groups()[i].Record->GroupId == groupId) return i;
  return tree.Groups().size();
}

class FileTypeTreeTest : public testing::Test {
 protected:
  void SetUp() override { database.Load(registry.key()); }
  RegistrySandbox registry;
  FileTypeDatabase database;
};

TEST_F(FileTypeTreeTest, ListsTheVisibleGroupsInOrderWithTheirVisibleTypesInScanOrder) {
  FileType* hidden = database.Types()[1].get();
  hidden->Visible = 0;
  FileTypeTree tree(TypeTreeFlag::Enabled);
  tree.Build(database);

  ASSERT_EQ(tree.Groups().size(), database.Groups().size());
  size_t listed = 0;
  for (size_t g = 0; g < tree.Groups().size(); ++g) {
    const FileTypeTree::Group& group = tree.Groups()[g];
    EXPECT_EQ(group.Record, database.Groups()[g].get());
    // The group's types in the order of the database's list, the hidden one left out.
    std::vector<FileType*> expected;
    for (const auto& type : database.Types())
      if (type->GroupId == group.Record->GroupId && type->Visible) expected.push_back(type.get());
    EXPECT_EQ(group.Types, expected) << g;
    listed += group.Types.size();
  }
  // The system group has no record, so its types are not offered.
  const auto system = std::count_if(database.Types().begin(), database.Types().end(),
                                    [](const auto& type) { return type->GroupId == GroupSystem; });
  EXPECT_GT(system, 0);
  EXPECT_EQ(listed + static_cast<size_t>(system) + 1, database.Types().size());
  EXPECT_EQ(tree.CheckedTypeCount(), listed);  // every type is enabled by default
}

TEST_F(FileTypeTreeTest, ChecksSpreadFromGroupsToTypesAndBack) {
  FileTypeTree tree(TypeTreeFlag::Enabled);
  tree.Build(database);
  const size_t photos = GroupIndex(tree, GroupPhotos);
  ASSERT_LT(photos, tree.Groups().size());
  const size_t types = tree.Groups()[photos].Types.size();
  ASSERT_GE(types, 2u);
  EXPECT_EQ(tree.GroupState(photos), CheckState::Checked);

  tree.SetGroupChecked(photos, false);
  EXPECT_EQ(tree.GroupState(photos), CheckState::Unchecked);
  for (size_t t = 0; t < types; ++t) EXPECT_FALSE(tree.IsTypeChecked(photos, t));

  // One type checks its group, partly; all of them check it whole.
  tree.SetTypeChecked(photos, 1, true);
  EXPECT_TRUE(tree.IsGroupChecked(photos));
  EXPECT_EQ(tree.GroupState(photos), CheckState::Partial);
  for (size_t t = 0; t < types; ++t) tree.SetTypeChecked(photos, t, true);
  EXPECT_EQ(tree.GroupState(photos), CheckState::Checked);

  // Unchecking the last checked type unchecks the group.
  for (size_t t = 0; t + 1 < types; ++t) tree.SetTypeChecked(photos, t, false);
  EXPECT_EQ(tree.GroupState(photos), CheckState::Partial);
  tree.SetTypeChecked(photos, types - 1, false);
  EXPECT_EQ(tree.GroupState(photos), CheckState::Unchecked);

  // Other groups are untouched; out-of-range positions change nothing.
  const size_t documents = GroupIndex(tree, GroupDocuments);
  EXPECT_EQ(tree.GroupState(documents), CheckState::Checked);
  tree.SetTypeChecked(documents, 100000, false);
  tree.SetGroupChecked(tree.Groups().size(), false);
  EXPECT_EQ(tree.GroupState(documents), CheckState::Checked);
  EXPECT_EQ(tree.GroupState(tree.Groups().size()), CheckState::Unchecked);

  tree.SetAll(false);
  EXPECT_EQ(tree.CheckedTypeCount(), 0u);
  tree.SetAll(true);
  for (size_t g = 0; g < tree.Groups().size(); ++g)
    EXPECT_EQ(tree.GroupState(g),
              tree.Groups()[g].Types.empty() ? CheckState::Unchecked : CheckState::Checked);
}

TEST_F(FileTypeTreeTest, ApplyingAnUncheckedGroupDisablesItsTypesAndSurvivesARestart) {
  FileTypeTree tree(TypeTreeFlag::Enabled);
  tree.Build(database);
  const size_t images = GroupIndex(tree, GroupImages);
  tree.SetGroupChecked(images, false);
  tree.ApplyTree(database);

  for (const auto& type : database.Types())
    EXPECT_EQ(type->Enabled, type->GroupId == GroupImages ? 0 : 1) << type->TypeId;
  // The view filter's flag is another box.
  for (const auto& type : database.Types()) EXPECT_EQ(type->FilterSelected, 0);

  FileTypeDatabase restarted;
  restarted.Load(registry.key());
  FileTypeTree again(TypeTreeFlag::Enabled);
  again.Build(restarted);
  EXPECT_EQ(again.GroupState(GroupIndex(again, GroupImages)), CheckState::Unchecked);
  EXPECT_EQ(again.GroupState(GroupIndex(again, GroupPhotos)), CheckState::Checked);
  for (const auto& type : restarted.Types())
    EXPECT_EQ(type->Enabled, type->GroupId == GroupImages ? 0 : 1) << type->TypeId;
}

TEST_F(FileTypeTreeTest, TheFilterTreeReadsAndWritesOnlyFilterSelected) {
  FileType* first = database.Types()[0].get();
  first->FilterSelected = 1;
  FileTypeTree tree(TypeTreeFlag::FilterSelected);
  tree.Build(database);
  const size_t group = GroupIndex(tree, first->GroupId);
  EXPECT_EQ(tree.GroupState(group), CheckState::Partial);
  EXPECT_TRUE(tree.IsTypeChecked(group, 0));

  tree.SetAll(true);
  EXPECT_TRUE(tree.StoreFlags());
  EXPECT_FALSE(tree.StoreFlags());  // nothing changes twice
  for (const auto& type : database.Types()) {
    EXPECT_EQ(type->Enabled, 1);
    if (type->GroupId != GroupSystem && type->Visible) EXPECT_EQ(type->FilterSelected, 1);
  }

  // Load takes the flags back after they changed elsewhere.
  first->FilterSelected = 0;
  tree.LoadTree();
  EXPECT_FALSE(tree.IsTypeChecked(group, 0));
  EXPECT_EQ(tree.GroupState(group), CheckState::Partial);
}

}  // namespace
