#include <cstdlib>
#include <string>

#include "platform/text.h"

namespace platform {

namespace {

// DOS in the United States, and so a system without a language of its own, wrote code page
// 437; Western European DOS wrote 850.
uint32_t OemCodePageOfLocale() {
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (!value || *value == 0) continue;
    const std::string locale(value);
    if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0 ||
        locale.rfind("en_US", 0) == 0)
      return kOemUnitedStates;
    return kOemWesternEurope;
  }
  return kOemUnitedStates;
}

}  // namespace

std::u16string OemToUtf16(std::string_view bytes) {
  static const uint32_t codePage = OemCodePageOfLocale();
  return OemBytesToUtf16(codePage, bytes);
}

}  // namespace platform
