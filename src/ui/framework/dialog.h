// Dialogs from templates of the program's resources. Modal and modeless dialogs share the
// procedure and differ in how they close: a modal one ends its own loop, a modeless one is
// destroyed and takes part in the GUI thread's loop through a message filter.
#pragma once

#include <windows.h>

#include "ui/framework/message_loop.h"
#include "ui/framework/window.h"

namespace ui {

class CDialog : public CWindow, public CMessageFilter {
 public:
  explicit CDialog(int templateId) : templateId_(templateId) {}
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Modal: returns the code given to End, or -1 when the dialog could not be created.
  INT_PTR DoModal(HWND owner);
  // Modeless: false when the dialog could not be created.
  bool Create(HWND owner);
  // Closes with a result (modal) or destroys the dialog (modeless).
  void End(INT_PTR result);

  bool PreTranslateMessage(MSG& message) override;

 protected:
  // True to let the system set the focus.
  virtual bool OnInit() { return true; }
  // The default ends the dialog with IDOK or IDCANCEL.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual bool OnNotify(const NMHDR& header, LRESULT& result) { return false; }
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnSize(UINT type, int width, int height) {}
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    return false;
  }
  // A modeless dialog after its last message, once none of its handlers runs any more; may
  // delete the object.
  virtual void OnFinalMessage() {}

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  bool modal_ = false;
  int runningHandlers_ = 0;
  bool destroyed_ = false;
};

}  // namespace ui
