#include "filesystems/found_type_names.h"

namespace {

constexpr uint16_t kDirectoryAttribute = 0x10;

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

}  // namespace

std::u16string TypeNameKey(std::u16string_view name, uint16_t attributes) {
  std::u16string key(1, (attributes & kDirectoryAttribute) ? u'd' : u'f');
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return key;
  for (char16_t c : name.substr(dot)) key += AsciiLower(c);
  return key;
}

std::u16string FoundTypeNames::Of(std::u16string_view name, uint16_t attributes) {
  if (!lookup_) return {};
  std::u16string key = TypeNameKey(name, attributes);
  if (const auto found = names_.find(key); found != names_.end()) return found->second;
  std::u16string text = lookup_(name, attributes);
  if (names_.size() >= kMaxEntries) names_.clear();
  names_.emplace(std::move(key), text);
  return text;
}

ShellTypeName FoundTypeNames::AsLookup() {
  return [this](std::u16string_view name, uint16_t attributes) { return Of(name, attributes); };
}
