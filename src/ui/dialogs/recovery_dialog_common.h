// What the recovery dialogs share: placing a dialog over its owner, the owner of a question,
// the folder chooser, grouped digits, and the report of a question's window to whoever may
// have to end it (a stop of the run ends the question being asked).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ui {

// Centres the dialog over its owner (over the screen's work area when it has none).
void CenterOnOwner(HWND dialog);

// The window that owns a question asked on this thread: its active window, else fallback.
HWND QuestionOwner(HWND fallback);

// The shell's folder chooser starting at start; the chosen folder, or nothing when cancelled.
std::optional<std::u16string> ChooseFolder(HWND owner, const std::u16string& title, UINT flags,
                                           const std::u16string& start);

// 1234567 as "1,234,567" with the user's thousands separator.
std::u16string GroupedDigits(int64_t number);

// A message box owned by owner, its window reported like a question's.
int QuestionBox(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type);

// While a question runs on this thread, its windows are reported here (and the code that
// cancels it: IDCANCEL or IDNO), so that a stop can end it.
using QuestionWindowReport = std::function<void(HWND window, int cancelId)>;
class ScopedQuestionReport {
 public:
  explicit ScopedQuestionReport(QuestionWindowReport report);
  ~ScopedQuestionReport();
  ScopedQuestionReport(const ScopedQuestionReport&) = delete;
  ScopedQuestionReport& operator=(const ScopedQuestionReport&) = delete;

 private:
  QuestionWindowReport* previous_;
  QuestionWindowReport report_;
};
void ReportQuestionWindow(HWND window, int cancelId);

}  // namespace ui
