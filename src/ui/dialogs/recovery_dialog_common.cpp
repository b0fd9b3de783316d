#include "ui/dialogs/recovery_dialog_common.h"

#include <shlobj.h>

#include "platform/text.h"

namespace ui {

namespace {

thread_local QuestionWindowReport* t_report = nullptr;
// The window reported last, reported again when a message box over it has closed.
thread_local HWND t_reported = nullptr;
thread_local int t_reportedCancelId = IDCANCEL;

int CALLBACK ChooserEvent(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  ReportQuestionWindow(window, IDCANCEL);
  const auto* start = reinterpret_cast<const std::u16string*>(data);
  if (start && !start->empty())
    ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE,
                   reinterpret_cast<LPARAM>(platform::W(start->c_str())));
  return 0;
}

// Reports the message box that MessageBoxW opens on this thread: the first dialog activated.
thread_local HHOOK t_boxHook = nullptr;
thread_local int t_boxCancelId = IDCANCEL;

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = t_boxHook;
  if (code == HCBT_ACTIVATE && hook) {
    wchar_t className[16] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16);
    if (lstrcmpW(className, L"#32770") == 0) {
      ReportQuestionWindow(reinterpret_cast<HWND>(wParam), t_boxCancelId);
      ::UnhookWindowsHookEx(hook);
      t_boxHook = nullptr;
    }
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void CenterOnOwner(HWND dialog) {
  RECT own{};
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  if (!owner || !::IsWindowVisible(owner) || ::IsIconic(owner) || !::GetWindowRect(owner, &own))
    own = area;
  RECT rect{};
  ::GetWindowRect(dialog, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  int x = own.left + ((own.right - own.left) - width) / 2;
  int y = own.top + ((own.bottom - own.top) - height) / 2;
  // Kept on the screen's work area, its caption first.
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND QuestionOwner(HWND fallback) {
  HWND active = ::GetActiveWindow();
  return active ? active : fallback;
}

std::optional<std::u16string> ChooseFolder(HWND owner, const std::u16string& title, UINT flags,
                                           const std::u16string& start) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = platform::W(title.c_str());
  info.ulFlags = flags;
  info.lpfn = &ChooserEvent;
  info.lParam = reinterpret_cast<LPARAM>(&start);
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  if (!chosen) return std::nullopt;
  wchar_t path[MAX_PATH * 4] = {};
  const bool named = ::SHGetPathFromIDListEx(chosen, path, static_cast<DWORD>(std::size(path)),
                                             GPFIDL_DEFAULT) != FALSE;
  ::CoTaskMemFree(chosen);
  if (!named || !path[0]) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(path));
}

std::u16string GroupedDigits(int64_t number) {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) <= 0)
    lstrcpyW(separator, L",");
  const std::u16string digits = platform::Format(u"%I64d", number);
  const size_t sign = !digits.empty() && digits[0] == u'-' ? 1 : 0;
  std::u16string grouped = digits.substr(0, sign);
  for (size_t i = sign; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0)
      grouped += reinterpret_cast<const char16_t*>(separator);
    grouped += digits[i];
  }
  return grouped;
}

int QuestionBox(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type) {
  const HWND below = t_reported;
  const int belowCancelId = t_reportedCancelId;
  const UINT buttons = type & MB_TYPEMASK;
  t_boxCancelId = buttons == MB_YESNO ? IDNO : buttons == MB_OK ? IDOK : IDCANCEL;
  if (t_report) t_boxHook = ::SetWindowsHookExW(WH_CBT, &BoxHook, nullptr, ::GetCurrentThreadId());
  const int answer =
      ::MessageBoxW(owner, platform::W(text.c_str()), platform::W(caption.c_str()), type);
  if (t_boxHook) {
    ::UnhookWindowsHookEx(t_boxHook);
    t_boxHook = nullptr;
  }
  if (t_report && below) ReportQuestionWindow(below, belowCancelId);
  return answer;
}

ScopedQuestionReport::ScopedQuestionReport(QuestionWindowReport report)
    : previous_(t_report), report_(std::move(report)) {
  t_report = &report_;
  t_reported = nullptr;
}

ScopedQuestionReport::~ScopedQuestionReport() {
  t_report = previous_;
  t_reported = nullptr;
}

void ReportQuestionWindow(HWND window, int cancelId) {
  if (!t_report || !*t_report) return;
  t_reported = window;
  t_reportedCancelId = cancelId;
  (*t_report)(window, cancelId);
}

}  // namespace ui
