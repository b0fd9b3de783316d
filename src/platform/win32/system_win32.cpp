// System services on Windows: thread priority, the administrator check, the shell, the
// debugger output and the environment.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <vector>

#include "platform/system.h"
#include "platform/text.h"

namespace platform {

namespace {

class TokenHandle {
 public:
  ~TokenHandle() {
    if (token_) CloseHandle(token_);
  }
  HANDLE* out() { return &token_; }
  HANDLE get() const { return token_; }

 private:
  HANDLE token_ = nullptr;
};

// The thread's token when it impersonates someone, the process's token otherwise.
bool OpenCurrentToken(TokenHandle* token) {
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token->out())) return true;
  if (GetLastError() != ERROR_NO_TOKEN) return false;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token->out()) != FALSE;
}

// The token's groups. 1 KiB holds the groups of a local account; a member of many domain
// groups needs more, and the system says how much.
bool ReadTokenGroups(HANDLE token, std::vector<ULONGLONG>* storage) {
  constexpr DWORD kFirstTry = 1024;
  constexpr DWORD kLargest = 1024 * 1024;
  DWORD size = kFirstTry;
  for (int attempt = 0; attempt < 2; ++attempt) {
    storage->assign((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG), 0);
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenGroups, storage->data(), size, &needed)) {
      auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(storage->data());
      return offsetof(TOKEN_GROUPS, Groups) +
                 static_cast<size_t>(groups->GroupCount) * sizeof(SID_AND_ATTRIBUTES) <=
             size;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size || needed > kLargest) {
      return false;
    }
    size = needed;
  }
  return false;
}

int PriorityValue(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::Lowest: return THREAD_PRIORITY_LOWEST;
    case ThreadPriority::BelowNormal: return THREAD_PRIORITY_BELOW_NORMAL;
    case ThreadPriority::Normal: return THREAD_PRIORITY_NORMAL;
    case ThreadPriority::AboveNormal: return THREAD_PRIORITY_ABOVE_NORMAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

void SetCurrentThreadPriority(ThreadPriority priority) {
  SetThreadPriority(GetCurrentThread(), PriorityValue(priority));
}

// A group marked "use for deny only" is how a filtered (not elevated) token carries the
// Administrators group: such a user cannot open drives, so it does not count.
bool IsUserAdmin() {
  TokenHandle token;
  std::vector<ULONGLONG> storage;
  if (!OpenCurrentToken(&token) || !ReadTokenGroups(token.get(), &storage)) return false;

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  bool member = false;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(storage.data());
  for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    if ((group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0 &&
        EqualSid(group.Sid, administrators)) {
      member = true;
    }
  }
  FreeSid(administrators);
  return member;
}

bool ShellOpen(std::u16string_view path, std::u16string_view verb, bool maximised) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
  std::u16string file(path);
  std::u16string operation(verb);
  auto instance = ShellExecuteW(nullptr, operation.empty() ? nullptr : W(operation.c_str()),
                                W(file.c_str()), nullptr, nullptr,
                                maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  // ShellExecuteW returns a value above 32 on success and an error number otherwise.
  return reinterpret_cast<INT_PTR>(instance) > 32;
}

void DebugOutput(std::u16string_view text) {
  std::u16string line(text);
  OutputDebugStringW(W(line.c_str()));
}

std::u16string GetEnvironment(std::u16string_view name) {
  constexpr std::u16string_view kForbidden(u"=\0", 2);
  if (name.empty() || name.find_first_of(kForbidden) != std::u16string_view::npos) return {};
  std::u16string key(name);
  std::vector<wchar_t> buffer(256);
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD length =
        GetEnvironmentVariableW(W(key.c_str()), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::u16string(U(buffer.data()), length);
    buffer.resize(length);
  }
  return {};
}

}  // namespace platform
