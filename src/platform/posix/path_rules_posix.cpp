#include "platform/path_rules.h"

#include "platform/file.h"
#include "platform/system.h"

namespace platform {

bool IsAbsolutePath(std::u16string_view path) { return !path.empty() && path[0] == u'/'; }

bool SamePathSpelling(std::u16string_view a, std::u16string_view b) { return a == b; }

// POSIX has no drive C:; the user's home folder plays its part.
std::u16string DefaultRecoveryFolder() {
  std::u16string home = GetEnvironment(u"HOME");
  if (home.empty()) home = TempFolder();
  return JoinPath(home, u"Recovered Files");
}

}  // namespace platform
