// The file that holds the values of one key of the POSIX registry store, and its byte layout
// (docs/formats/registry-store.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::registry_store {

// The longest value name the registry allows, in UTF-16 units.
constexpr uint32_t kMaxValueNameUnits = 16383;
constexpr uint32_t kValuesFileVersion = 1;
// A key's file is never written past this size, and a bigger one is not read into memory.
constexpr size_t kMaxValuesFileBytes = size_t{64} << 20;

struct StoredValue {
  std::u16string name;  // as first written; looked up without regard to ASCII case
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

enum class ValuesFileState {
  Sound,
  Damaged,       // reading stopped at damageOffset; the values before it are kept
  NewerVersion,  // written by a later program: no values are read from it
};

struct ValuesFileContent {
  std::vector<StoredValue> values;  // in the order first written
  ValuesFileState state = ValuesFileState::Sound;
  size_t damageOffset = 0;
  uint32_t version = 0;
};

// Reads a values file; any bytes at all give a result, never a fault.
ValuesFileContent ParseValuesFile(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializeValues(const std::vector<StoredValue>& values);

}  // namespace platform::registry_store
