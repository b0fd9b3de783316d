// Reading and writing the values file of one key of the POSIX registry store: a cache of what
// was read, checked against the file on each use, and atomic replacement on each write.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry_values_file.h"

namespace platform::registry_store {

// Win32 codes the store gives besides those of registry.h.
constexpr long kErrorPathNotFound = 3;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorFileNameTooLong = 206;
constexpr long kErrorRegistryQuotaLimit = 613;
constexpr long kErrorRegistryIoFailed = 1016;
constexpr long kErrorKeyDeleted = 1018;

long ErrnoToRegistryError(int error);

// Every access to the store, from whichever thread, runs under this one lock.
std::mutex& StoreMutex();

struct KeyValues {
  std::vector<StoredValue> values;
  // False for a file of a newer format: it is neither read nor overwritten.
  bool writable = true;
  // The file on disk is damaged; the next write keeps a copy of it beside the new one.
  bool damaged = false;
};

// The values of the key whose folder is given; a missing file is a key without values.
// A damaged file is reported once (naming the key by displayName) and gives the values
// before the damage. The result stays valid until the next call under the lock.
long LoadKeyValues(const std::string& folder, std::u16string_view displayName,
                   const KeyValues** values);

// Replaces the key's values file: a temporary file in the same folder, flushed to the disk,
// then renamed over the old one. Values that would not fit in kMaxValuesFileBytes are refused.
long SaveKeyValues(const std::string& folder, std::vector<StoredValue> values);

// Drops what the cache holds for the folder and every folder below it.
void ForgetKeys(const std::string& folder);

}  // namespace platform::registry_store
