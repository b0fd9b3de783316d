// Inside the platform layer: how the registry store reports a damaged store file.
#pragma once

#include <string_view>

namespace platform {

// Hands the line to the sink set with SetRegistryWarningSink, or to the standard error stream.
void ReportRegistryWarning(std::u16string_view line);

}  // namespace platform
