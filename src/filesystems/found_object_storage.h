// Storage that a found-object store owns: its records and the names it gives or copies. Both
// hand out memory in large blocks and never move what they handed out, because the views,
// the messages and the other records keep plain pointers to it until the store is cleared.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "filesystems/found_object.h"

// Zero-filled records, allocated one after another.
class FoundObjectPool {
 public:
  static constexpr size_t kBlockRecords = 1024;

  // A zero-filled record; throws bad_alloc when no block can be had.
  FoundObject* Allocate() {
    if (blocks_.empty() || usedInLast_ == kBlockRecords) {
      auto block = std::make_unique<FoundObject[]>(kBlockRecords);
      blocks_.push_back(std::move(block));
      usedInLast_ = 0;
    }
    return &blocks_.back()[usedInLast_++];
  }

  // Gives back the record Allocate returned last, when an addition failed after it.
  void ReleaseLast(FoundObject* record) {
    if (usedInLast_ > 0 && record == &blocks_.back()[usedInLast_ - 1]) {
      blocks_.back()[--usedInLast_] = FoundObject{};
    }
  }

  void Clear() {
    std::vector<std::unique_ptr<FoundObject[]>>().swap(blocks_);
    usedInLast_ = 0;
  }

  size_t Count() const {
    return blocks_.empty() ? 0 : (blocks_.size() - 1) * kBlockRecords + usedInLast_;
  }

 private:
  std::vector<std::unique_ptr<FoundObject[]>> blocks_;
  size_t usedInLast_ = 0;
};

// NUL-terminated UTF-16 names. Short names share blocks; a long one gets a block of its own so
// that the shared block in use is not abandoned for it.
class FoundObjectNames {
 public:
  static constexpr size_t kBlockUnits = 32 * 1024;
  static constexpr size_t kOwnBlockUnits = 1024;

  // A copy of the text with its terminating NUL; throws bad_alloc when memory runs out.
  const char16_t* Copy(std::u16string_view text) {
    const size_t units = text.size() + 1;
    char16_t* target = units >= kOwnBlockUnits ? OwnBlock(units) : SharedUnits(units);
    std::copy(text.begin(), text.end(), target);
    target[text.size()] = 0;
    return target;
  }

  void Clear() {
    std::vector<std::unique_ptr<char16_t[]>>().swap(blocks_);
    usedInLast_ = kBlockUnits;
    lastShared_ = nullptr;
  }

 private:
  char16_t* OwnBlock(size_t units) {
    auto block = std::make_unique_for_overwrite<char16_t[]>(units);
    blocks_.push_back(std::move(block));
    return blocks_.back().get();
  }

  char16_t* SharedUnits(size_t units) {
    if (!lastShared_ || kBlockUnits - usedInLast_ < units) {
      lastShared_ = OwnBlock(kBlockUnits);
      usedInLast_ = 0;
    }
    char16_t* result = lastShared_ + usedInLast_;
    usedInLast_ += units;
    return result;
  }

  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  char16_t* lastShared_ = nullptr;
  size_t usedInLast_ = kBlockUnits;
};
