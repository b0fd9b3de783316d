#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/system.h"
#include "platform/text.h"
#include "support/test_support.h"

using platform::Event;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

void SetVariable(const char* name, const std::u16string& value) {
#ifdef _WIN32
  std::u16string wideName = platform::Utf8ToUtf16(name);
  SetEnvironmentVariableW(platform::W(wideName.c_str()),
                          value.empty() ? nullptr : platform::W(value.c_str()));
#else
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, platform::Utf16ToUtf8(value).c_str(), 1);
  }
#endif
}

// Going back up from a lowered priority needs the right to raise it.
bool IsUserAdminForTest() {
#ifdef _WIN32
  return true;
#else
  return geteuid() == 0;
#endif
}

}  // namespace

TEST(EventTest, AutoResetReleasesOneWaitPerSet) {
  Event event(Event::Reset::Auto);
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));  // cleared by the wait that took it

  auto started = Clock::now();
  EXPECT_FALSE(event.Wait(60));
  EXPECT_GE(Clock::now() - started, milliseconds(55));

  // Two waiters, one Set: exactly one wakes; the second Set wakes the other.
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.Wait(5000)) ++woken;
  };
  std::thread first(waiter), second(waiter);
  std::this_thread::sleep_for(milliseconds(50));
  event.Set();
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(woken.load(), 1);
  event.Set();
  first.join();
  second.join();
  EXPECT_EQ(woken.load(), 2);
}

TEST(EventTest, ManualResetStaysSetUntilCleared) {
  Event event(Event::Reset::Manual, true);
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(Event::kInfinite));
  event.Clear();
  EXPECT_FALSE(event.Wait(20));

  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.Wait(Event::kInfinite)) ++woken;
  };
  std::thread first(waiter), second(waiter), third(waiter);
  std::this_thread::sleep_for(milliseconds(30));
  auto started = Clock::now();
  event.Set();
  first.join();
  second.join();
  third.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
}

TEST(SystemTest, ThreadPriorityAppliesToTheCallingThread) {
#ifdef _WIN32
  auto current = [] { return GetThreadPriority(GetCurrentThread()); };
  const int kExpectedLowest = THREAD_PRIORITY_LOWEST;
#else
  auto current = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
  const int kExpectedLowest = std::min(current() + 10, 19);  // niceness: higher is lower
#endif
  const int before = current();
  std::thread worker([&] {
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Lowest);
    EXPECT_EQ(current(), kExpectedLowest);
    platform::SetCurrentThreadPriority(platform::ThreadPriority::Normal);
    if (IsUserAdminForTest()) {
      EXPECT_EQ(current(), before);
    }
  });
  worker.join();
  EXPECT_EQ(current(), before);
}

#ifdef _WIN32
// The system's own membership test must agree.
TEST(SystemTest, AdministratorCheckAgreesWithTheSystem) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                       DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                       &administrators));
  BOOL member = FALSE;
  ASSERT_TRUE(CheckTokenMembership(nullptr, administrators, &member));
  FreeSid(administrators);
  EXPECT_EQ(platform::IsUserAdmin(), member != FALSE);
}

TEST(SystemTest, ShellOpenFailsForAMissingDocument) {
  testing_support::TempFolder folder;
  EXPECT_FALSE(platform::ShellOpen(folder.File(u"missing.txt"), u"open"));
}
#else
// Root counts as administrator; the same process after giving up root does not.
TEST(SystemTest, AdministratorCheckFollowsTheEffectiveUser) {
  if (geteuid() != 0) {
    EXPECT_FALSE(platform::IsUserAdmin());
    return;
  }
  EXPECT_TRUE(platform::IsUserAdmin());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (seteuid(65534) != 0) _exit(2);
    _exit(platform::IsUserAdmin() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// xdg-open is found on PATH and given the path; without it the call says so.
TEST(SystemTest, ShellOpenRunsTheDesktopHandler) {
  testing_support::TempFolder folder;
  const std::u16string saved = platform::GetEnvironment(u"PATH");
  const std::u16string record = folder.File(u"opened.txt");
  const std::u16string document = folder.File(u"Recovery log file.txt");

  SetVariable("PATH", folder.path());
  EXPECT_FALSE(platform::ShellOpen(document, u"open"));

  const std::string script = "#!/bin/sh\nprintf '%s' \"$1\" > '" +
                             platform::Utf16ToUtf8(record) + ".tmp' && /bin/mv '" +
                             platform::Utf16ToUtf8(record) + ".tmp' '" +
                             platform::Utf16ToUtf8(record) + "'\n";
  const std::u16string handler = folder.File(u"xdg-open");
  ASSERT_TRUE(testing_support::WriteWholeFile(handler, {script.begin(), script.end()}));
  chmod(platform::Utf16ToUtf8(handler).c_str(), 0755);
  bool opened = platform::ShellOpen(document, u"open", true);
  SetVariable("PATH", saved);
  EXPECT_TRUE(opened);

  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!platform::FileExists(record) && Clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  auto written = testing_support::ReadWholeFile(record);
  EXPECT_EQ(std::string(written.begin(), written.end()), platform::Utf16ToUtf8(document));
}
#endif

TEST(SystemTest, ReadsTheEnvironment) {
  const std::u16string value = u"D:\\Wiederherstellung \u00fcber \u6587\u4ef6";
  SetVariable("LUMENARD_TEST_VARIABLE", value);
  EXPECT_EQ(platform::GetEnvironment(u"LUMENARD_TEST_VARIABLE"), value);
  SetVariable("LUMENARD_TEST_VARIABLE", u"");
  EXPECT_EQ(platform::GetEnvironment(u"LUMENARD_TEST_VARIABLE"), u"");
  EXPECT_EQ(platform::GetEnvironment(u"A=B"), u"");
  EXPECT_EQ(platform::GetEnvironment(u""), u"");
}
