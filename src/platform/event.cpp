// Events with the Win32 meaning over the standard library: an auto-reset event releases one
// waiter per Set and clears itself; a manual-reset event stays set until cleared.
#include <chrono>

#include "platform/system.h"

namespace platform {

Event::Event(Reset reset, bool initiallySet) : set_(initiallySet), reset_(reset) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  if (reset_ == Reset::Auto) {
    signal_.notify_one();
  } else {
    signal_.notify_all();
  }
}

void Event::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool Event::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto isSet = [this] { return set_; };
  if (timeoutMs == kInfinite) {
    signal_.wait(lock, isSet);
  } else if (!signal_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet)) {
    return false;
  }
  if (reset_ == Reset::Auto) set_ = false;
  return true;
}

}  // namespace platform
