// What paths mean on this system: which are absolute, when two spellings name one file, and
// where recovered files go unless the user chose a folder.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "C:\...", "\..." and "/..." on Windows; "/..." elsewhere.
bool IsAbsolutePath(std::u16string_view path);
// The same text as the system compares names: case-insensitive on Windows, exact elsewhere.
bool SamePathSpelling(std::u16string_view a, std::u16string_view b);
// "C:\Recovered Files" on Windows; "Recovered Files" in the home folder (or the temporary
// folder without one) elsewhere.
std::u16string DefaultRecoveryFolder();

}  // namespace platform
