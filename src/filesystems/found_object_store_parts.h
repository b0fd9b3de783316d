// What the found-object store's sources share: the messages an operation posts once its lock is
// released, and the tests of a record that more than one part of the store makes.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "app/message_target.h"
#include "app/messages.h"
#include "filesystems/found_object.h"
#include "filesystems/found_object_store.h"

namespace found_object_store_parts {

inline bool IsFolder(const FoundObject& record) { return (record.Flags & FoundFolder) != 0; }

// Only what the drive itself holds has a position: not the drive's record, the nodes and
// group folders (negative identifiers) or the placeholders, which all sit at Start 0 and would
// otherwise cut a lost file found at the drive's first byte to nothing.
inline bool HasOwnPosition(const FoundObject& record) {
  return (record.Flags & FoundDriveNode) == 0 && record.Id >= 0 && record.ParentId != IdLostFolders;
}

// Logs that memory ran out in an operation, without throwing.
void LogOutOfMemory(std::u16string_view operation);

}  // namespace found_object_store_parts

// The messages of one operation, posted in order once the lock is released.
class FoundObjectStore::Events {
 public:
  void Add(FoundObject* record, intptr_t event) {
    if (count_ < items_.size()) items_[count_++] = {record, event};
  }
  void AddFirst(FoundObject* record, intptr_t event) {
    if (count_ == items_.size()) return;
    std::move_backward(items_.begin(), items_.begin() + count_, items_.begin() + count_ + 1);
    items_[0] = {record, event};
    ++count_;
  }
  void PostTo(IMessageTarget* target) const {
    if (!target) return;
    for (size_t i = 0; i < count_; ++i)
      target->Post(UM_FOUND_OBJECT, reinterpret_cast<uintptr_t>(items_[i].first), items_[i].second);
  }

 private:
  std::array<std::pair<FoundObject*, intptr_t>, 4> items_{};
  size_t count_ = 0;
};
