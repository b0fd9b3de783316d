// The order of the groups and types, saved beside them. The scan order is the list order, but a
// registry lists a key's values in an order of its own (Wine's, for one, sorts them by name), so
// the loader puts the records back into the saved order: one REG_BINARY value of 32-bit ids per
// list, "Groups" and "File Types", under "<application key>\File Type Order".
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "signatures/file_type.h"

// Empty when nothing was saved.
std::vector<int32_t> ReadSavedOrder(std::u16string_view applicationKey, std::u16string_view list);
void WriteSavedOrder(std::u16string_view applicationKey, std::u16string_view list,
                     const std::vector<std::unique_ptr<FileType>>& records,
                     int32_t FileTypeHeader::*id);

// Stable: records whose id is in order come first, in its order; the others keep theirs.
void SortByOrder(std::vector<std::unique_ptr<FileType>>& records, const std::vector<int32_t>& order,
                 int32_t FileTypeHeader::*id);
