// Folder helpers built on the system's one-level operations, the same on every system.
#include <vector>

#include "platform/file.h"

namespace platform {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

bool FileExists(std::u16string_view path) {
  uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttributeDirectory) == 0;
}

bool FolderExists(std::u16string_view path) {
  uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttributeDirectory) != 0;
}

bool CreateFolders(std::u16string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  if (path.empty()) return false;
  if (FolderExists(path)) return true;

  // Every place where a component ends is an ancestor; the last one is the folder itself.
  std::vector<size_t> ends;
  for (size_t i = 1; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && !IsSeparator(path[i - 1])) ends.push_back(i);
  }
  ends.push_back(path.size());

  // Walk back to the deepest ancestor that exists (a root or a share always should), so that
  // roots, drive names and server names are never passed to CreateFolder.
  size_t first = 0;
  for (size_t k = ends.size() - 1; k > 0; --k) {
    if (FolderExists(path.substr(0, ends[k - 1]))) {
      first = k;
      break;
    }
  }
  for (size_t k = first; k < ends.size(); ++k) {
    if (!CreateFolder(path.substr(0, ends[k]))) return false;
  }
  return true;
}

std::u16string ProgramFolder() {
  std::u16string path = ProgramPath();
  std::u16string_view name = FileNamePart(path);
  path.resize(path.size() - name.size());
  return path;
}

}  // namespace platform
