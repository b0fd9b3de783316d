#include "ui/framework/dialog.h"

#include "ui/framework/module.h"

namespace ui {

CDialog::~CDialog() {
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->RemoveMessageFilter(this);
  if (!modal_ && handle_ && ::IsWindow(handle_)) {
    ::SetWindowLongPtrW(handle_, DWLP_USER, 0);
    ::DestroyWindow(handle_);
  }
}

INT_PTR CDialog::DoModal(HWND owner) {
  modal_ = true;
  return ::DialogBoxParamW(CModule::Instance(), MAKEINTRESOURCEW(templateId_), owner,
                           &CDialog::Procedure, reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND owner) {
  modal_ = false;
  HWND dialog = ::CreateDialogParamW(CModule::Instance(), MAKEINTRESOURCEW(templateId_), owner,
                                     &CDialog::Procedure, reinterpret_cast<LPARAM>(this));
  if (!dialog) return false;
  if (CMessageLoop* loop = CModule::MessageLoop()) loop->AddMessageFilter(this);
  return true;
}

void CDialog::End(INT_PTR result) {
  if (modal_)
    ::EndDialog(handle_, result);
  else
    ::DestroyWindow(handle_);
}

bool CDialog::PreTranslateMessage(MSG& message) {
  return handle_ && ::IsDialogMessageW(handle_, &message);
}

bool CDialog::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    End(id);
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self && message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    if (self) {
      self->handle_ = dialog;
      ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
  }
  if (!self) return FALSE;

  INT_PTR result = FALSE;
  ++self->runningHandlers_;
  try {
    result = self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& error) {
    LogProcedureException(u"Dialog procedure", message, &error);
  } catch (...) {
    LogProcedureException(u"Dialog procedure", message, nullptr);
  }
  --self->runningHandlers_;

  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
    self->handle_ = nullptr;
    if (CMessageLoop* loop = CModule::MessageLoop()) loop->RemoveMessageFilter(self);
    self->destroyed_ = !self->modal_;
  }
  // A handler of this dialog may still run a nested loop in which it was destroyed.
  if (self->destroyed_ && self->runningHandlers_ == 0) {
    self->destroyed_ = false;
    self->OnFinalMessage();
  }
  return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInit() ? TRUE : FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE
                                                                                       : FALSE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
      ::SetWindowLongPtrW(handle_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return FALSE;
    default: {
      INT_PTR result = FALSE;
      return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
  }
}

}  // namespace ui
