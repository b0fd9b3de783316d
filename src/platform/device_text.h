// Building the description text of a device; shared by the system-specific query files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr size_t kMaxDescriptionLength = 511;

// "vendor, product" with trailing and leading blanks removed from each (8-bit text in the ANSI
// code page); one of them alone when the other is empty; at most 511 characters.
std::u16string JoinDescription(std::string_view vendor, std::string_view product);

}  // namespace platform
