#include "ui/dialogs/window_recovery_prompter.h"

#include <shlobj.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "app/app.h"
#include "app/log.h"
#include "app/strings.h"
#include "platform/text.h"
#include "ui/dialogs/recovery_dialog_common.h"
#include "ui/dialogs/recovery_dialogs.h"
#include "ui/framework/module.h"

namespace ui {

namespace {

constexpr wchar_t kQuestionWindowClass[] = L"LumenardRecoveryQuestions";
// Posted to the hidden window: a question waits in the queue.
constexpr UINT kQuestionWaiting = WM_APP + 0x3A0;
constexpr uint32_t kTextConfirmation = 157;
constexpr uint32_t kTextDeleteTemporary = 200;

// One question on its way to the interface thread. It lives as long as either side needs it:
// a worker given up by a stop leaves it to the interface thread.
struct Question {
  std::function<void()> ask;  // runs on the interface thread, writes the answer it captures
  bool started = false;
  bool done = false;
};

}  // namespace

struct CWindowRecoveryPrompter::Shared {
  DWORD thread = 0;
  HWND owner = nullptr;
  HWND window = nullptr;
  std::mutex lock;
  std::condition_variable answered;
  std::deque<std::shared_ptr<Question>> waiting;
  bool stopped = false;
  // The window of the question being shown and the command that cancels it.
  HWND shown = nullptr;
  int cancelId = IDCANCEL;

  // Runs the next waiting question; on the interface thread.
  void ServeOne();
  // Asks on the interface thread and waits; false when the question was not asked.
  bool Ask(std::function<void()> ask);
};

namespace {

LRESULT CALLBACK QuestionWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  using Shared = CWindowRecoveryPrompter::Shared;
  auto* holder =
      reinterpret_cast<std::shared_ptr<Shared>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == kQuestionWaiting && holder) {
    // A copy: the prompter may go away while the question is shown.
    std::shared_ptr<Shared> shared = *holder;
    shared->ServeOne();
    return 0;
  } else if (message == WM_NCDESTROY && holder) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete holder;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterQuestionWindow() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &QuestionWindowProcedure;
    windowClass.hInstance = CModule::Instance();
    windowClass.lpszClassName = kQuestionWindowClass;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

void CWindowRecoveryPrompter::Shared::ServeOne() {
  std::shared_ptr<Question> question;
  {
    std::lock_guard guard(lock);
    if (waiting.empty()) return;
    question = waiting.front();
    waiting.pop_front();
    if (stopped) {
      question->done = true;
      answered.notify_all();
      return;
    }
    question->started = true;
  }
  {
    ScopedQuestionReport report([this](HWND window, int cancel) {
      std::lock_guard guard(lock);
      shown = window;
      cancelId = cancel;
      // A stop that came before the window was there ends it now.
      if (stopped) ::PostMessageW(window, WM_COMMAND, cancel, 0);
    });
    question->ask();
  }
  std::lock_guard guard(lock);
  shown = nullptr;
  question->done = true;
  answered.notify_all();
}

bool CWindowRecoveryPrompter::Shared::Ask(std::function<void()> ask) {
  if (::GetCurrentThreadId() == thread) {
    // The interface thread itself asks (a check before a run, the close of the window): the
    // user is at hand, and a stop is about the questions of a run's thread.
    ask();
    return true;
  }
  auto question = std::make_shared<Question>();
  question->ask = std::move(ask);
  std::unique_lock guard(lock);
  if (stopped || !window) return false;
  waiting.push_back(question);
  if (!::PostMessageW(window, kQuestionWaiting, 0, 0)) {
    waiting.pop_back();
    return false;
  }
  // A stop answers a question not yet shown at once; one being shown ends with its window.
  answered.wait(guard, [&] { return question->done || (stopped && !question->started); });
  return question->done && question->started;
}

CWindowRecoveryPrompter::CWindowRecoveryPrompter(HWND owner) : shared_(std::make_shared<Shared>()) {
  shared_->thread = ::GetCurrentThreadId();
  shared_->owner = owner;
  if (owner && ::GetWindowThreadProcessId(owner, nullptr) != shared_->thread && g_pLog)
    g_pLog->LogError(u"Recovery questions: made on another thread than their window's");
  if (!RegisterQuestionWindow()) return;
  auto* holder = new std::shared_ptr<Shared>(shared_);
  shared_->window = ::CreateWindowExW(0, kQuestionWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, CModule::Instance(), holder);
  if (!shared_->window) delete holder;
}

CWindowRecoveryPrompter::~CWindowRecoveryPrompter() {
  Stop();
  HWND window;
  {
    std::lock_guard guard(shared_->lock);
    window = shared_->window;
    shared_->window = nullptr;
  }
  if (!window) return;
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
    ::DestroyWindow(window);
  else
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

SizeAnswer CWindowRecoveryPrompter::AskProbableSize(const SizeQuestion& question) {
  // Kept by the asking thread: the prompter may be destroyed while it waits.
  const std::shared_ptr<Shared> shared = shared_;
  auto answer = std::make_shared<SizeAnswer>();
  HWND owner = shared->owner;
  const bool asked = shared->Ask([answer, question, owner] {
    if (!ui::AskProbableSize(QuestionOwner(owner), question, *answer))
      answer->End = SizeEnd::Cancel;
  });
  if (!asked) return SizeAnswer{};
  std::lock_guard guard(shared->lock);
  return *answer;
}

std::optional<std::u16string> CWindowRecoveryPrompter::AskOtherDestination(
    const DestinationQuestion& question) {
  // Kept by the asking thread: the prompter may be destroyed while it waits.
  const std::shared_ptr<Shared> shared = shared_;
  auto answer = std::make_shared<std::optional<std::u16string>>();
  HWND fallback = shared->owner;
  const bool asked = shared->Ask([answer, question, fallback] {
    HWND owner = QuestionOwner(fallback);
    if (QuestionBox(owner, question.Text, u"Warning!", MB_OKCANCEL | MB_ICONERROR) != IDOK) return;
    const UINT flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    std::optional<std::u16string> chosen = ChooseFolder(
        owner, u"Select destination folder for recovered files", flags, question.Destination);
    // A cancelled chooser keeps the folder: the engine asks again.
    *answer = chosen ? *chosen : question.Destination;
  });
  if (!asked) return std::nullopt;
  std::lock_guard guard(shared->lock);
  return *answer;
}

bool CWindowRecoveryPrompter::AskDeleteTemporaryFiles(size_t count) {
  // Kept by the asking thread: the prompter may be destroyed while it waits.
  const std::shared_ptr<Shared> shared = shared_;
  auto yes = std::make_shared<bool>(false);
  HWND fallback = shared->owner;
  const bool asked = shared->Ask([yes, fallback] {
    *yes = QuestionBox(QuestionOwner(fallback), LanguageString(kTextDeleteTemporary),
                       LanguageString(kTextConfirmation), MB_YESNO | MB_ICONQUESTION) == IDYES;
  });
  std::lock_guard guard(shared->lock);
  return asked && *yes;
}

void CWindowRecoveryPrompter::ShowError(const std::u16string& text) {
  // Kept by the asking thread: the prompter may be destroyed while it waits.
  const std::shared_ptr<Shared> shared = shared_;
  HWND fallback = shared->owner;
  shared->Ask([text, fallback] {
    QuestionBox(QuestionOwner(fallback), text, u"Error", MB_OK | MB_ICONERROR);
  });
}

void CWindowRecoveryPrompter::Stop() {
  std::lock_guard guard(shared_->lock);
  shared_->stopped = true;
  if (shared_->shown) ::PostMessageW(shared_->shown, WM_COMMAND, shared_->cancelId, 0);
  shared_->answered.notify_all();
}

void CWindowRecoveryPrompter::Resume() {
  std::lock_guard guard(shared_->lock);
  shared_->stopped = false;
}

void ResumeQuestions(IRecoveryPrompter* prompter) {
  if (auto* window = dynamic_cast<CWindowRecoveryPrompter*>(prompter)) window->Resume();
}

}  // namespace ui
