#include "ui/framework/subclass.h"

#include <commctrl.h>

#include <algorithm>

namespace ui {

CControlSubclass::~CControlSubclass() { Detach(); }

bool CControlSubclass::Attach(HWND control, Handler handler) {
  Detach();
  if (!control) return false;
  handler_ = std::move(handler);
  if (!::SetWindowSubclass(control, &CControlSubclass::Procedure, 1,
                           reinterpret_cast<DWORD_PTR>(this)))
    return false;
  control_ = control;
  return true;
}

void CControlSubclass::Detach() {
  if (control_ && ::IsWindow(control_))
    ::RemoveWindowSubclass(control_, &CControlSubclass::Procedure, 1);
  control_ = nullptr;
}

LRESULT CALLBACK CControlSubclass::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CControlSubclass*>(data);
  if (message == WM_NCDESTROY) {
    // The control goes; the object may outlive it.
    ::RemoveWindowSubclass(window, &CControlSubclass::Procedure, 1);
    if (self) self->control_ = nullptr;
    return ::DefSubclassProc(window, message, wParam, lParam);
  }
  LRESULT result = 0;
  if (self && self->handler_ && self->handler_(message, wParam, lParam, result)) return result;
  return ::DefSubclassProc(window, message, wParam, lParam);
}

bool SubclassKeys(CControlSubclass& subclass, HWND control, std::vector<UINT> keys, HWND target,
                  UINT notifyMessage) {
  return subclass.Attach(control, [control, keys = std::move(keys), target, notifyMessage](
                                      UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    const bool chosen =
        std::find(keys.begin(), keys.end(), static_cast<UINT>(wParam)) != keys.end();
    if (!chosen) return false;
    if (message == WM_GETDLGCODE) {
      // The control wants the key even inside a dialog.
      result = DLGC_WANTALLKEYS;
      return true;
    }
    if (message != WM_KEYDOWN) return false;
    ::SendMessageW(target, notifyMessage, wParam, reinterpret_cast<LPARAM>(control));
    result = 0;
    return true;
  });
}

}  // namespace ui
