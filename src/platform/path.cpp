// Path text: the name part of a path and joining a folder with a name. Both separators are
// accepted on every system, since paths come from Windows drives, the settings and the user.
#include "platform/file.h"

namespace platform {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string_view FileNamePart(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return path.substr(i);
  }
  return path;
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
  if (folder.empty()) return std::u16string(name);

  // Keep the separator the folder already ends with, so that a Windows path stays one.
  char16_t separator = IsSeparator(folder.back()) ? folder.back() : kPathSeparator;
  while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);

  std::u16string joined;
  joined.reserve(folder.size() + 1 + name.size());
  joined.append(folder);
  joined.push_back(separator);
  joined.append(name);
  return joined;
}

}  // namespace platform
