// The GUI thread's message loop with message filters (a modeless dialog's keyboard handling)
// and idle handlers (the application's settings save). Run may be called again from inside a
// handler: the nested loop ends at the next quit message and the outer one goes on.
#pragma once

#include <windows.h>

#include <vector>

#include "app/front_end.h"

namespace ui {

class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  // True when the message was consumed and must not be dispatched.
  virtual bool PreTranslateMessage(MSG& message) = 0;
};

class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  void AddIdleHandler(CIdleHandler* handler);
  void RemoveIdleHandler(CIdleHandler* handler);

  // Until WM_QUIT; returns its exit code.
  int Run();
  // How many Run calls are active on this loop.
  int Depth() const { return depth_; }

 private:
  bool PreTranslate(MSG& message);
  // True when some handler asked to be called again.
  bool RunIdleHandlers();
  static bool IsIdleMessage(const MSG& message);

  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
  int depth_ = 0;
};

}  // namespace ui
