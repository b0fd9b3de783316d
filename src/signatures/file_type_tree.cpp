#include "signatures/file_type_tree.h"

#include <algorithm>

int32_t& FileTypeTree::FlagOf(FileType& type) const {
  return flag_ == TypeTreeFlag::Enabled ? type.Enabled : type.FilterSelected;
}

void FileTypeTree::Build(const FileTypeDatabase& database) {
  groups_.clear();
  for (const auto& record : database.Groups()) {
    if (!record->Visible) continue;
    Group group;
    group.Record = record.get();
    for (const auto& type : database.Types())
      if (type->GroupId == record->GroupId && type->Visible) group.Types.push_back(type.get());
    group.Checked.assign(group.Types.size(), false);
    groups_.push_back(std::move(group));
  }
  LoadTree();
}

CheckState FileTypeTree::GroupState(size_t group) const {
  if (group >= groups_.size()) return CheckState::Unchecked;
  const std::vector<bool>& checked = groups_[group].Checked;
  const auto count = std::count(checked.begin(), checked.end(), true);
  if (count == 0) return CheckState::Unchecked;
  return static_cast<size_t>(count) == checked.size() ? CheckState::Checked : CheckState::Partial;
}

bool FileTypeTree::IsTypeChecked(size_t group, size_t type) const {
  return group < groups_.size() && type < groups_[group].Checked.size() &&
         groups_[group].Checked[type];
}

void FileTypeTree::SetGroupChecked(size_t group, bool checked) {
  if (group >= groups_.size()) return;
  std::fill(groups_[group].Checked.begin(), groups_[group].Checked.end(), checked);
}

void FileTypeTree::SetTypeChecked(size_t group, size_t type, bool checked) {
  if (group >= groups_.size() || type >= groups_[group].Checked.size()) return;
  groups_[group].Checked[type] = checked;
}

void FileTypeTree::SetAll(bool checked) {
  for (size_t group = 0; group < groups_.size(); ++group) SetGroupChecked(group, checked);
}

size_t FileTypeTree::CheckedTypeCount() const {
  size_t count = 0;
  for (const Group& group : groups_)
    count += static_cast<size_t>(std::count(group.Checked.begin(), group.Checked.end(), true));
  return count;
}

void FileTypeTree::LoadTree() {
  for (Group& group : groups_)
    for (size_t type = 0; type < group.Types.size(); ++type)
      group.Checked[type] = FlagOf(*group.Types[type]) != 0;
}

bool FileTypeTree::StoreFlags() const {
  bool changed = false;
  for (const Group& group : groups_)
    for (size_t type = 0; type < group.Types.size(); ++type) {
      int32_t& flag = FlagOf(*group.Types[type]);
      const int32_t value = group.Checked[type] ? 1 : 0;
      changed = changed || flag != value;
      flag = value;
    }
  return changed;
}

void FileTypeTree::ApplyTree(FileTypeDatabase& database) const {
  StoreFlags();
  database.Save();
}
