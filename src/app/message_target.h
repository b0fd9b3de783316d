// Where the engine's messages go. The Win32 front end maps a target onto PostMessageW and
// SendMessageW to a window; the command-line program and the tests onto a queue.
#pragma once

#include <cstdint>

class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  // Never blocks; the receiver handles the message later on its own thread.
  virtual void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // Waits until the receiver has handled it.
  virtual intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};
