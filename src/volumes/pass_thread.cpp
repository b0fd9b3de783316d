#include "volumes/pass_thread.h"

#include <chrono>
#include <system_error>

CPassThread::~CPassThread() { Join(); }

bool CPassThread::Start(std::function<void()> body) {
  std::unique_lock lock(lock_);
  if (running_) return false;
  // The previous body has returned; its thread only has to be collected.
  if (thread_.joinable()) thread_.join();
  running_ = true;
  try {
    thread_ = std::thread([this, body = std::move(body)] {
      body();
      std::lock_guard ended(lock_);
      running_ = false;
      ended_.notify_all();
    });
  } catch (const std::system_error&) {
    running_ = false;
    return false;
  }
  id_ = thread_.get_id();
  return true;
}

bool CPassThread::WaitFor(uint32_t timeoutMs) {
  std::unique_lock lock(lock_);
  return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !running_; });
}

void CPassThread::Join() {
  std::unique_lock lock(lock_);
  if (std::this_thread::get_id() == id_ || !thread_.joinable()) return;
  ended_.wait(lock, [this] { return !running_; });
  std::thread finished = std::move(thread_);
  lock.unlock();
  finished.join();
}

bool CPassThread::IsRunning() const {
  std::lock_guard lock(lock_);
  return running_;
}

bool CPassThread::IsCurrent() const {
  std::lock_guard lock(lock_);
  return std::this_thread::get_id() == id_;
}
