#include "ui/framework/window.h"

#include <vector>

#include "app/log.h"
#include "platform/text.h"
#include "ui/framework/module.h"

namespace ui {

void CWindow::SetText(std::u16string_view text) const {
  const std::u16string copy(text);
  ::SetWindowTextW(handle_, platform::W(copy.c_str()));
}

std::u16string CWindow::GetText() const {
  const int length = ::GetWindowTextLengthW(handle_);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int copied = ::GetWindowTextW(handle_, buffer.data(), length + 1);
  return std::u16string(platform::U(buffer.data()), static_cast<size_t>(copied > 0 ? copied : 0));
}

RECT CWindow::ClientRect() const {
  RECT rect{};
  ::GetClientRect(handle_, &rect);
  return rect;
}

void LogProcedureException(std::u16string_view where, UINT message, const std::exception* error) {
  if (!g_pLog) return;
  std::string what = error ? error->what() : "unknown exception";
  g_pLog->LogNote(platform::Format(u"%s except: message 0x%x, %S", where,
                                   static_cast<unsigned>(message), what));
}

CCustomWindow::~CCustomWindow() {
  // A window whose object goes away first must not call into freed memory.
  if (handle_ && ::IsWindow(handle_)) {
    ::SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    ::DestroyWindow(handle_);
  }
}

bool CCustomWindow::Register(const WindowClass& windowClass) {
  HINSTANCE instance = CModule::Instance();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(instance, windowClass.name, &existing)) return true;

  WNDCLASSEXW description{};
  description.cbSize = sizeof(description);
  description.style = windowClass.style;
  description.lpfnWndProc = &CCustomWindow::Procedure;
  description.hInstance = instance;
  description.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  description.hbrBackground =
      reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(windowClass.background));
  description.lpszClassName = windowClass.name;
  if (windowClass.iconId) {
    description.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(windowClass.iconId));
    description.hIconSm = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(windowClass.iconId), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
  }
  return ::RegisterClassExW(&description) != 0;
}

bool CCustomWindow::Create(const wchar_t* className, std::u16string_view title, DWORD style,
                           DWORD exStyle, const RECT& rect, HWND parent, HMENU menu) {
  const std::u16string text(title);
  HWND created = ::CreateWindowExW(exStyle, className, platform::W(text.c_str()), style, rect.left,
                                   rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                   menu, CModule::Instance(), this);
  return created != nullptr;
}

LRESULT CALLBACK CCustomWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CCustomWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self && message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    self = static_cast<CCustomWindow*>(create->lpCreateParams);
    if (self) {
      self->handle_ = window;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after the object let go.
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);

  LRESULT result = 0;
  ++self->runningHandlers_;
  try {
    result = self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& error) {
    LogProcedureException(u"Window procedure", message, &error);
  } catch (...) {
    LogProcedureException(u"Window procedure", message, nullptr);
  }
  --self->runningHandlers_;

  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->handle_ = nullptr;
    self->destroyed_ = true;
  }
  if (self->destroyed_ && self->runningHandlers_ == 0) {
    self->destroyed_ = false;
    self->OnFinalMessage();
  }
  return result;
}

LRESULT CCustomWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = handle_;
  switch (message) {
    case WM_CREATE:
      return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_CLOSE:
      OnClose(wParam, lParam);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default: {
      LRESULT result = 0;
      if (OnMessage(message, wParam, lParam, result)) return result;
      break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace ui
