// System services on POSIX: thread niceness, the root check, xdg-open, the environment.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/system.h"
#include "platform/text.h"

namespace platform {

namespace {

// Linux keeps a nice value per thread. The steps are taken from the process's own value (that
// of its main thread), so a program started with "nice" keeps its place. Raising a thread back
// may be refused to a user without CAP_SYS_NICE; it then keeps the lower priority, harmlessly.
int NiceOffset(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::Lowest: return 10;
    case ThreadPriority::BelowNormal: return 5;
    case ThreadPriority::Normal: return 0;
    case ThreadPriority::AboveNormal: return -5;
  }
  return 0;
}

// The first executable file of that name in a folder of PATH; empty when there is none.
std::string FindOnPath(const std::string& program) {
  const char* variable = std::getenv("PATH");
  std::string path = variable ? variable : "";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    // An empty entry stands for the current folder.
    std::string folder = end > start ? path.substr(start, end - start) : std::string(".");
    std::string candidate = folder + "/" + program;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return {};
}

// Runs the program in a grandchild that belongs to no one here: the child starts a new
// session, forks again and leaves, so the desktop handler outlives us and leaves no zombie.
// Between fork and exec only async-signal-safe calls are made.
bool SpawnDetached(const std::string& program, const std::string& argument) {
  const char* argv[] = {program.c_str(), argument.c_str(), nullptr};
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execv(program.c_str(), const_cast<char* const*>(argv));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void SetCurrentThreadPriority(ThreadPriority priority) {
  errno = 0;
  int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
  if (base == -1 && errno != 0) base = 0;
  int nice = std::clamp(base + NiceOffset(priority), -20, 19);
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
}

bool IsUserAdmin() { return ::geteuid() == 0; }

// xdg-open chooses the handler for files and folders alike, so the verb and the window state
// have no meaning here.
bool ShellOpen(std::u16string_view path, std::u16string_view verb, bool maximised) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
  std::string program = FindOnPath("xdg-open");
  if (program.empty()) return false;
  return SpawnDetached(program, Utf16ToUtf8(path));
}

void DebugOutput(std::u16string_view text) {}

std::u16string GetEnvironment(std::u16string_view name) {
  constexpr std::u16string_view kForbidden(u"=\0", 2);
  if (name.empty() || name.find_first_of(kForbidden) != std::u16string_view::npos) return {};
  const char* value = std::getenv(Utf16ToUtf8(name).c_str());
  return value ? Utf8ToUtf16(value) : std::u16string();
}

}  // namespace platform
