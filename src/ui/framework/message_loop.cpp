#include "ui/framework/message_loop.h"

#include <algorithm>

#include "ui/framework/window.h"

namespace ui {

namespace {

template <typename T>
void RemoveFrom(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Windows drawn by WM_PAINT, the caret's system timer and mouse moves come all the time;
// they do not make the program busy and must not trigger idle work again.
constexpr UINT kSystemTimer = 0x0118;

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { RemoveFrom(filters_, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idleHandlers_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { RemoveFrom(idleHandlers_, handler); }

int CMessageLoop::Run() {
  ++depth_;
  bool idle = true;
  MSG message{};
  for (;;) {
    while (idle && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!RunIdleHandlers()) idle = false;
    }
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) continue;  // an invalid window handle; nothing was taken from the queue
    if (got == 0) break;      // WM_QUIT
    if (!PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (IsIdleMessage(message)) idle = true;
  }
  --depth_;
  return static_cast<int>(message.wParam);
}

bool CMessageLoop::PreTranslate(MSG& message) {
  // A copy: a filter may remove itself (a dialog that closes) while the list is walked.
  const std::vector<CMessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if (std::find(filters_.begin(), filters_.end(), *it) == filters_.end()) continue;
    if ((*it)->PreTranslateMessage(message)) return true;
  }
  return false;
}

bool CMessageLoop::RunIdleHandlers() {
  const std::vector<CIdleHandler*> handlers = idleHandlers_;
  bool again = false;
  for (CIdleHandler* handler : handlers) {
    if (std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end())
      continue;
    try {
      if (handler->OnIdle()) again = true;
    } catch (const std::exception& error) {
      LogProcedureException(u"Idle handler", 0, &error);
    } catch (...) {
      LogProcedureException(u"Idle handler", 0, nullptr);
    }
  }
  return again;
}

bool CMessageLoop::IsIdleMessage(const MSG& message) {
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
      return false;
    default:
      return true;
  }
}

}  // namespace ui
