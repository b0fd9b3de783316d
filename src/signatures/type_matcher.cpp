#include "signatures/type_matcher.h"

#include <algorithm>

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
}
