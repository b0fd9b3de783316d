#include "platform/path_rules.h"

#include "platform/text.h"

namespace platform {

bool IsAbsolutePath(std::u16string_view path) {
  if (path.size() >= 2 && path[1] == u':') return true;
  return !path.empty() && (path[0] == u'\\' || path[0] == u'/');
}

bool SamePathSpelling(std::u16string_view a, std::u16string_view b) { return EqualsNoCase(a, b); }

std::u16string DefaultRecoveryFolder() { return u"C:\\Recovered Files"; }

}  // namespace platform
