#include <windows.h>

#include <string>

#include "platform/text.h"

namespace platform {

std::u16string OemToUtf16(std::string_view bytes) {
  static const uint32_t codePage = GetOEMCP();
  if (codePage == kOemUnitedStates || codePage == kOemWesternEurope || bytes.empty())
    return OemBytesToUtf16(codePage, bytes);
  // Another system's page (866, 932, ...): the system knows its table.
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0) return OemBytesToUtf16(kOemUnitedStates, bytes);
  std::u16string out(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), size, W(out.data()), length);
  return out;
}

}  // namespace platform
