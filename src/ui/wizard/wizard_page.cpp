#include "ui/wizard/wizard_page.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "app/app.h"
#include "app/strings.h"
#include "platform/text.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"
#include "ui/wizard/wizard_main.h"

namespace ui {

namespace {

LanguageSectionHook g_languageSectionHook = nullptr;

}  // namespace

void SetLanguageSectionHook(LanguageSectionHook hook) { g_languageSectionHook = hook; }
LanguageSectionHook GetLanguageSectionHook() { return g_languageSectionHook; }

CWizardPage::CWizardPage(int templateId, int headerTitleId, std::u16string languageSection)
    : templateId_(templateId),
      headerTitleId_(headerTitleId),
      languageSection_(std::move(languageSection)) {}

HPROPSHEETPAGE CWizardPage::CreatePage(CWizardMode_Main& sheet) {
  sheet_ = &sheet;
  headerTitle_ = LanguageString(static_cast<uint32_t>(headerTitleId_));
  PROPSHEETPAGEW description{};
  description.dwSize = sizeof(description);
  // Every header subtitle is empty, so only the title is used.
  description.dwFlags = PSP_DEFAULT | PSP_USEHEADERTITLE;
  description.hInstance = CModule::Instance();
  description.pszTemplate = MAKEINTRESOURCEW(templateId_);
  description.pfnDlgProc = &CWizardPage::Procedure;
  description.lParam = reinterpret_cast<LPARAM>(this);
  description.pszHeaderTitle = platform::W(headerTitle_.c_str());
  return ::CreatePropertySheetPageW(&description);
}

void CWizardPage::OnSetActive() { EnableBackNext(true, true); }

void CWizardPage::SetWizButtons(DWORD buttons) const {
  // The first page turns while the sheet is still being made: its window is the parent.
  if (page_) ::PostMessageW(::GetParent(page_), PSM_SETWIZBUTTONS, 0, buttons);
}

void CWizardPage::EnableBackNext(bool back, bool next) const {
  SetWizButtons((back ? PSWIZB_BACK : 0) | (next ? PSWIZB_NEXT : 0));
}

bool CWizardPage::IsActive() const { return sheet_ && page_ && sheet_->CurrentPage() == this; }

void CWizardPage::SetItemText(int id, std::u16string_view text) const {
  CWindow(Item(id)).SetText(text);
}

std::u16string CWizardPage::ItemText(int id) const { return CWindow(Item(id)).GetText(); }

bool CWizardPage::IsChecked(int id) const { return ::IsDlgButtonChecked(page_, id) == BST_CHECKED; }

void CWizardPage::SetChecked(int id, bool checked) const {
  ::CheckDlgButton(page_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CWizardPage::EnableItem(int id, bool enable) const {
  if (HWND item = Item(id)) ::EnableWindow(item, enable);
}

bool CWizardPage::AskYesNo(uint32_t textId, uint32_t captionId) const {
  const std::u16string text = LanguageString(textId);
  const std::u16string caption = LanguageString(captionId);
  HWND owner = sheet_ && sheet_->Handle() ? sheet_->Handle() : page_;
  return ::MessageBoxW(owner, platform::W(text.c_str()), platform::W(caption.c_str()),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CWizardPage::SetResult(LONG_PTR result) const {
  ::SetWindowLongPtrW(page_, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK CWizardPage::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CWizardPage*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    self = description ? reinterpret_cast<CWizardPage*>(description->lParam) : nullptr;
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    if (!self) return TRUE;
    self->page_ = window;
  }
  if (!self) return FALSE;
  try {
    return self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& error) {
    LogProcedureException(u"Wizard page", message, &error);
  } catch (...) {
    LogProcedureException(u"Wizard page", message, nullptr);
  }
  return FALSE;
}

INT_PTR CWizardPage::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (g_languageSectionHook) g_languageSectionHook(page_, languageSection_);
      if (sheet_) sheet_->OnPageInitialised(*this);
      OnInit();
      return TRUE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (DispatchSheetNotify(header)) return TRUE;
      LRESULT result = 0;
      if (!OnNotify(header, result)) return FALSE;
      SetResult(result);
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return FALSE;
    case WM_HELP:
      // Help on any page opens the program's help.
      if (g_pApp) g_pApp->OnCommand(CommandHelpContents);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_NCDESTROY:
      page_ = nullptr;
      return FALSE;
    default: {
      INT_PTR result = 0;
      return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
  }
}

bool CWizardPage::DispatchSheetNotify(const NMHDR& header) {
  switch (header.code) {
    case PSN_SETACTIVE:
      if (sheet_) sheet_->OnPageActivated(*this);
      OnSetActive();
      SetResult(0);
      return true;
    case PSN_KILLACTIVE:
      OnKillActive();
      SetResult(FALSE);
      return true;
    case PSN_WIZNEXT:
      SetResult(OnWizardNext().Result);
      return true;
    case PSN_WIZBACK:
      SetResult(OnWizardBack().Result);
      return true;
    case PSN_WIZFINISH:
      // The window never closes by itself: the application decides (it may ask first), and
      // the sheet is destroyed once it agreed.
      if (OnWizardFinish() && sheet_) sheet_->RequestClose();
      SetResult(TRUE);
      return true;
    case PSN_QUERYCANCEL:
      if (sheet_) sheet_->RequestClose();
      SetResult(TRUE);
      return true;
    default:
      return false;
  }
}

}  // namespace ui
