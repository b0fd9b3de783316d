#include "signatures/type_matcher.h"

#include <algorithm>
#include <bit>

namespace {

// The bytes a condition requires at its offset: up to four, as value and mask. False when it
// requires no fixed bytes (searches, ranges, kinds that test nothing) or is not consistent.
bool RequiredBytes(const SignatureCondition& condition, uint32_t* value, uint32_t* mask) {
  if (condition.Offset < 0 || !condition.IsConsistent()) return false;
  const uint8_t* data = condition.Payload.data();
  const uint8_t* byteMask = nullptr;
  size_t count = 0;
  switch (condition.Kind) {
    case CondByte:
      count = 1;
      break;
    case CondWord:
      count = 2;
      break;
    case CondDword:
    case CondQword:
      count = 4;
      break;
    case CondBytes:
      count = std::min<size_t>(condition.Length, 4);
      break;
    case CondMasked:
      count = std::min<size_t>(condition.Length, 4);
      byteMask = data + condition.Payload.size() / 2;
      break;
    default:
      return false;
  }
  *value = 0;
  *mask = 0;
  for (size_t j = 0; j < count; ++j) {
    if (byteMask && byteMask[j] == 0) continue;
    *value |= static_cast<uint32_t>(data[j]) << (8 * j);
    *mask |= 0xFFu << (8 * j);
  }
  return *mask != 0;
}

}  // namespace

TypeMatcher::Screen TypeMatcher::ScreenOf(const Signature& signature) {
  Screen screen{false, 0, 0, 0, &signature, nullptr, 0};
  for (const SignatureCondition& condition : signature.Conditions) {
    if (RequiredBytes(condition, &screen.value, &screen.mask)) {
      screen.screened = true;
      screen.offset = static_cast<uint32_t>(condition.Offset);
      break;
    }
  }
  return screen;
}

TypeMatcher::TypeMatcher(const FileTypeDatabase& database) {
  for (const auto& type : database.Types()) {
    const size_t first = screens_.size();
    for (const Signature& signature : type->Signatures) {
      screens_.push_back(ScreenOf(signature));
      screens_.back().type = type.get();
    }
    for (size_t index = first; index < screens_.size(); ++index)
      screens_[index].nextType = screens_.size();
  }
  BuildRows();
}

// A screened signature is keyed by its first required byte: in the rows of that offset it is
// set only for the byte it requires, since a condition fails wherever that byte differs. An
// unscreened one, or one keyed past the first unit, is set in every row of the first key.
void TypeMatcher::BuildRows() {
  constexpr uint32_t kNoKey = UINT32_MAX;
  std::vector<uint32_t> keyOf(screens_.size(), kNoKey);
  std::vector<uint8_t> byteOf(screens_.size(), 0);
  for (size_t index = 0; index < screens_.size(); ++index) {
    const Screen& screen = screens_[index];
    if (!screen.screened) continue;
    const int shift = std::countr_zero(screen.mask) / 8 * 8;
    const uint64_t key = uint64_t{screen.offset} + static_cast<uint64_t>(shift / 8);
    if (key >= kKeyWindow) continue;
    keyOf[index] = static_cast<uint32_t>(key);
    byteOf[index] = static_cast<uint8_t>(screen.value >> shift);
    if (std::find(keyOffsets_.begin(), keyOffsets_.end(), keyOf[index]) == keyOffsets_.end())
      keyOffsets_.push_back(keyOf[index]);
  }
  if (keyOffsets_.empty()) keyOffsets_.push_back(0);
  fastReadable_ = *std::max_element(keyOffsets_.begin(), keyOffsets_.end()) + size_t{1};

  const size_t keys = keyOffsets_.size();
  words_ = (screens_.size() + 63) / 64;
  rows_.assign(words_ * keys * 256, 0);
  for (size_t index = 0; index < screens_.size(); ++index) {
    uint64_t* table = rows_.data() + index / 64 * keys * 256;
    const uint64_t bit = uint64_t{1} << (index % 64);
    if (keyOf[index] == kNoKey) {
      for (size_t byte = 0; byte < 256; ++byte) table[byte] |= bit;
      continue;
    }
    const size_t k = static_cast<size_t>(
        std::find(keyOffsets_.begin(), keyOffsets_.end(), keyOf[index]) - keyOffsets_.begin());
    table[k * 256 + byteOf[index]] |= bit;
  }
}
