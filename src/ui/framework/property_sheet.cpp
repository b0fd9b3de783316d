#include "ui/framework/property_sheet.h"

#include <commctrl.h>

#include "platform/text.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"

namespace ui {

void CPropertyPage::SetModified(bool modified) {
  if (page_)
    ::SendMessageW(::GetParent(page_), modified ? PSM_CHANGED : PSM_UNCHANGED,
                   reinterpret_cast<WPARAM>(page_), 0);
}

INT_PTR CALLBACK CPropertyPage::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    self = reinterpret_cast<CPropertyPage*>(sheetPage->lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    if (!self) return TRUE;
    self->page_ = window;
  }
  if (!self) return FALSE;
  try {
    switch (message) {
      case WM_INITDIALOG:
        self->OnInit();
        return TRUE;
      case WM_COMMAND:
        return self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == PSN_APPLY) {
          const bool applied = self->OnApply();
          ::SetWindowLongPtrW(window, DWLP_MSGRESULT,
                              applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
          return TRUE;
        }
        return FALSE;
      case WM_NCDESTROY:
        self->page_ = nullptr;
        return FALSE;
      default:
        return FALSE;
    }
  } catch (const std::exception& error) {
    LogProcedureException(u"Property page", message, &error);
  } catch (...) {
    LogProcedureException(u"Property page", message, nullptr);
  }
  return FALSE;
}

bool CPropertySheet::DoModal(HWND owner, size_t startPage) {
  if (pages_.empty()) return false;
  std::vector<HPROPSHEETPAGE> handles;
  for (CPropertyPage* page : pages_) {
    PROPSHEETPAGEW description{};
    description.dwSize = sizeof(description);
    description.hInstance = CModule::Instance();
    description.pszTemplate = MAKEINTRESOURCEW(page->TemplateId());
    description.pfnDlgProc = &CPropertyPage::Procedure;
    description.lParam = reinterpret_cast<LPARAM>(page);
    if (HPROPSHEETPAGE handle = ::CreatePropertySheetPageW(&description)) handles.push_back(handle);
  }
  if (handles.empty()) return false;
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
  header.hwndParent = owner;
  header.hInstance = CModule::Instance();
  header.pszCaption = platform::W(caption_.c_str());
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = startPage < handles.size() ? static_cast<UINT>(startPage) : 0;
  header.phpage = handles.data();
  return ::PropertySheetW(&header) > 0;
}

}  // namespace ui
