#include "filesystems/invented_nodes.h"

#include <unordered_set>

#include "app/strings.h"
#include "filesystems/found_object_store.h"

namespace {

constexpr uint32_t kLostFoldersName = 4352;
constexpr uint32_t kLostFilesName = 5120;
// Nodes above the root: "Lost files", a file-type group folder below it.
constexpr int kMaxNodeDepth = 8;

// A node's name: its record's, or for the two lost nodes, which the store does not always
// make, their built-in names.
std::u16string NodeName(const FoundObject* node, int32_t id) {
  std::u16string name = node && node->Name ? std::u16string(node->Name) : std::u16string();
  if (name.empty() && id == IdLostFolders) name = StringResource(kLostFoldersName);
  if (name.empty() && id == IdLostFiles) name = StringResource(kLostFilesName);
  return name;
}

}  // namespace

std::u16string InventedNodePrefix(const FoundObjectStore& store, const FoundObject& object,
                                  char16_t separator) {
  std::unordered_set<const FoundObject*> visited{&object};
  int32_t id = object.ParentId;
  for (const FoundObject* folder = &object; id >= 0; id = folder->ParentId) {
    folder = store.FindFolderById(id);
    if (!folder || !visited.insert(folder).second) return {};
  }
  std::u16string prefix;
  for (int depth = 0; depth < kMaxNodeDepth; ++depth) {
    const FoundObject* node = store.FindFolderById(id);
    if (node && (node->Flags & FoundDriveNode)) break;
    const std::u16string name = NodeName(node, id);
    if (!name.empty()) prefix = name + separator + prefix;
    if (!node || node->ParentId >= 0) break;
    id = node->ParentId;
  }
  return prefix;
}
