// Thin wrappers over Win32 windows. CWindow wraps an HWND it does not own; CCustomWindow is a
// window of the program's own class whose one static procedure keeps `this` in GWLP_USERDATA
// and calls the virtual handlers. Exceptions stop at the procedure and are logged.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace ui {

class CWindow {
 public:
  CWindow() = default;
  explicit CWindow(HWND handle) : handle_(handle) {}

  HWND Handle() const { return handle_; }
  operator HWND() const { return handle_; }
  void Attach(HWND handle) { handle_ = handle; }
  HWND Detach() {
    HWND handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  bool IsWindow() const { return handle_ && ::IsWindow(handle_); }

  bool Show(int command) const { return ::ShowWindow(handle_, command) != FALSE; }
  bool Destroy() { return ::DestroyWindow(handle_) != FALSE; }
  bool Enable(bool enable) const { return ::EnableWindow(handle_, enable) != FALSE; }
  void SetText(std::u16string_view text) const;
  std::u16string GetText() const;
  bool Move(int x, int y, int width, int height, bool repaint = true) const {
    return ::MoveWindow(handle_, x, y, width, height, repaint) != FALSE;
  }
  RECT ClientRect() const;
  HWND Item(int id) const { return ::GetDlgItem(handle_, id); }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(handle_, message, wParam, lParam);
  }
  bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(handle_, message, wParam, lParam) != FALSE;
  }

 protected:
  HWND handle_ = nullptr;
};

// Describes a window class of the program for CCustomWindow::Register.
struct WindowClass {
  const wchar_t* name;
  UINT style = CS_HREDRAW | CS_VREDRAW;
  int iconId = 0;  // a resource of the program, 0 for none
  int background = COLOR_WINDOW + 1;
};

class CCustomWindow : public CWindow {
 public:
  CCustomWindow() = default;
  virtual ~CCustomWindow();
  CCustomWindow(const CCustomWindow&) = delete;
  CCustomWindow& operator=(const CCustomWindow&) = delete;

  // Registers the class once per process; true when it is (or already was) registered.
  static bool Register(const WindowClass& windowClass);
  bool Create(const wchar_t* className, std::u16string_view title, DWORD style, DWORD exStyle,
              const RECT& rect, HWND parent, HMENU menu);

 protected:
  // Return false to refuse the creation.
  virtual bool OnCreate(const CREATESTRUCTW& create) { return true; }
  // True when handled.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual bool OnNotify(const NMHDR& header, LRESULT& result) { return false; }
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnSize(UINT type, int width, int height) {}
  // The default destroys the window; lParam/wParam tell who asked (a mode switch posts
  // 0xFFFFFFFF and 1).
  virtual void OnClose(WPARAM wParam, LPARAM lParam) { Destroy(); }
  virtual void OnDestroy() {}
  // Every other message; true when handled, with its result.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return false;
  }
  // After the last message, once no handler of this window is running any more (a handler
  // may run a nested message loop in which the window is destroyed). May delete the object.
  virtual void OnFinalMessage() {}

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  int runningHandlers_ = 0;
  bool destroyed_ = false;
};

// Writes the note of an exception stopped at a window or dialog procedure to the log.
void LogProcedureException(std::u16string_view where, UINT message, const std::exception* error);

}  // namespace ui
