// Extra handling for a control of the system's classes: a handler sees each message first and
// may answer it; the rest goes to the control's own procedure. The key subclass tells the
// owner window of chosen keys (message and key in wParam, control in lParam), so that a tree or
// a list can move through the window with Return, Backspace and Tab.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace ui {

class CControlSubclass {
 public:
  // True when handled, with its result.
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

  CControlSubclass() = default;
  ~CControlSubclass();
  CControlSubclass(const CControlSubclass&) = delete;
  CControlSubclass& operator=(const CControlSubclass&) = delete;

  bool Attach(HWND control, Handler handler);
  void Detach();
  HWND Control() const { return control_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR data);
  HWND control_ = nullptr;
  Handler handler_;
};

// Sends notifyMessage (wParam: the virtual key, lParam: the control) to target for each of the
// keys pressed in the control; the key itself then goes no further.
bool SubclassKeys(CControlSubclass& subclass, HWND control, std::vector<UINT> keys, HWND target,
                  UINT notifyMessage);

}  // namespace ui
