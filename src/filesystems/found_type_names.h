// The shell's type names of found files, asked once per extension. The file list needs a type
// for every row it paints, the shell's answer for a name that need not exist depends only on
// the extension, and asking the shell costs far more than a lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "filesystems/found_object_view.h"

class FoundTypeNames {
 public:
  // A drive may hold any number of different extensions; the cache starts over beyond this.
  static constexpr size_t kMaxEntries = 4096;

  explicit FoundTypeNames(ShellTypeName lookup) : lookup_(std::move(lookup)) {}

  // The shell's type name of a file by its name and attributes, from the cache when the
  // extension was asked before.
  std::u16string Of(std::u16string_view name, uint16_t attributes);
  // As a ShellTypeName for FoundTypeText; valid while this object lives.
  ShellTypeName AsLookup();
  size_t Entries() const { return names_.size(); }

 private:
  ShellTypeName lookup_;
  std::unordered_map<std::u16string, std::u16string> names_;
};

// The cache's key of a name: its extension from the last dot on, ASCII letters in lower case,
// with a mark for the directory attribute; empty extension for a name without a dot.
std::u16string TypeNameKey(std::u16string_view name, uint16_t attributes);
