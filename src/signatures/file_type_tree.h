// The file-type database as a tree of check boxes, without windows: the visible groups in the
// database's order, each with its visible types in scan order. A type's box is one of its
// flags (Enabled for the types to search, FilterSelected for the view filter); a group is
// checked when any of its types is, and shows as partly checked when only some are.
// Checking a group sets all its types; checking a type sets its group from its types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signatures/file_types.h"

enum class TypeTreeFlag { Enabled, FilterSelected };
enum class CheckState { Unchecked, Checked, Partial };

class FileTypeTree {
 public:
  struct Group {
    FileType* Record = nullptr;
    std::vector<FileType*> Types;
    std::vector<bool> Checked;  // one per type
  };

  explicit FileTypeTree(TypeTreeFlag flag) : flag_(flag) {}

  // The groups and types of the database (its records stay the database's), checked from
  // their flags.
  void Build(const FileTypeDatabase& database);
  const std::vector<Group>& Groups() const { return groups_; }
  TypeTreeFlag Flag() const { return flag_; }

  // Checked when every type of the group is, Partial when some are; a group without types is
  // unchecked.
  CheckState GroupState(size_t group) const;
  bool IsGroupChecked(size_t group) const { return GroupState(group) != CheckState::Unchecked; }
  bool IsTypeChecked(size_t group, size_t type) const;
  // Out-of-range positions change nothing.
  void SetGroupChecked(size_t group, bool checked);
  void SetTypeChecked(size_t group, size_t type, bool checked);
  void SetAll(bool checked);
  size_t CheckedTypeCount() const;

  // Every type's box from its flag.
  void LoadTree();
  // Every type's flag from its box; the database is then saved.
  void ApplyTree(FileTypeDatabase& database) const;
  // The same without saving (true when a flag changed).
  bool StoreFlags() const;

 private:
  int32_t& FlagOf(FileType& type) const;

  TypeTreeFlag flag_;
  std::vector<Group> groups_;
};
