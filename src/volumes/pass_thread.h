// The thread of one analysis pass over a volume, with a wait that can give up: a stop asks the
// pass to end (it polls the status record) and waits a bounded time for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class CPassThread {
 public:
  CPassThread() = default;
  ~CPassThread();  // waits for the body to return
  CPassThread(const CPassThread&) = delete;
  CPassThread& operator=(const CPassThread&) = delete;

  // Runs body on a new thread. False when a body still runs, or no thread could be started.
  bool Start(std::function<void()> body);
  // True when no body runs any more after at most timeoutMs.
  bool WaitFor(uint32_t timeoutMs);
  // Waits as long as it takes.
  void Join();
  bool IsRunning() const;
  // True on the pass thread itself.
  bool IsCurrent() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable ended_;
  std::thread thread_;
  std::thread::id id_;
  bool running_ = false;
};
