// A registry of its own for one test: on POSIX a fresh $LUMENARD_HOME, everywhere a key path
// that no other test uses, removed at the end.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_support.h"

class RegistrySandbox {
 public:
  RegistrySandbox() {
#ifndef _WIN32
    const char* previous = std::getenv("LUMENARD_HOME");
    if (previous) previousHome_ = previous, hadHome_ = true;
    setenv("LUMENARD_HOME", platform::Utf16ToUtf8(home_.path()).c_str(), 1);
#endif
    std::u16string folder = home_.path();
    size_t slash = folder.find_last_of(u"/\\");
    key_ = u"Software\\Corvane\\LumenardTests\\" + folder.substr(slash + 1);
  }
  ~RegistrySandbox() {
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, key_);
#ifndef _WIN32
    if (hadHome_)
      setenv("LUMENARD_HOME", previousHome_.c_str(), 1);
    else
      unsetenv("LUMENARD_HOME");
#endif
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // The application key to load and save the database under.
  const std::u16string& key() const { return key_; }
  const testing_support::TempFolder& folder() const { return home_; }

 private:
  testing_support::TempFolder home_;
  std::u16string key_;
  std::string previousHome_;
  bool hadHome_ = false;
};
