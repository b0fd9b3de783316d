#include "ui/explorer/main_frame_log_view.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "app/log.h"
#include "app/messages.h"
#include "platform/text.h"
#include "resources/resource.h"
#include "ui/framework/module.h"

namespace ui {

namespace {

HFONT GuiFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

// Posted to the list when the first line comes into an empty queue.
constexpr UINT kWakeMessage = WM_APP + 0x310;
constexpr UINT_PTR kBatchTimer = 1;

}  // namespace

// The log window as the log sees it: lines from any thread go into a queue of the newest
// ones, and only the first line after a batch was taken wakes the list. Other messages are
// passed to the list as they come.
class CLogLineQueue : public IMessageTarget {
 public:
  explicit CLogLineQueue(HWND list) : list_(list) {}

  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message != UM_LOG_LINE) {
      ::PostMessageW(list_, message, wParam, lParam);
      return;
    }
    if (!wParam) return;
    bool wake = false;
    {
      std::lock_guard lock(lock_);
      if (closed_) return;
      lines_.push_back(reinterpret_cast<const char16_t*>(wParam));
      // Lines that the newer ones would push out of the list never go into it.
      if (lines_.size() > CLogView::kMaximumLines) lines_.pop_front();
      wake = !awake_;
      awake_ = true;
    }
    if (wake && !::PostMessageW(list_, kWakeMessage, 0, 0)) {
      std::lock_guard lock(lock_);
      awake_ = false;
    }
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == UM_LOG_LINE) {
      Post(message, wParam, lParam);
      return 0;
    }
    return ::SendMessageW(list_, message, wParam, lParam);
  }

  // The queued lines, oldest first; the next line wakes the list again.
  std::deque<const char16_t*> Take() {
    std::lock_guard lock(lock_);
    awake_ = false;
    return std::exchange(lines_, {});
  }
  size_t Size() const {
    std::lock_guard lock(lock_);
    return lines_.size();
  }
  // The list is gone: later lines are dropped.
  void Close() {
    std::lock_guard lock(lock_);
    closed_ = true;
    lines_.clear();
  }

 private:
  const HWND list_;
  mutable std::mutex lock_;
  std::deque<const char16_t*> lines_;
  bool awake_ = false;
  bool closed_ = false;
};

bool CLogView::Create(HWND parent) {
  HINSTANCE instance = CModule::Instance();
  combo_ = ::CreateWindowExW(
      0, L"COMBOBOX", L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT, 0, 0, 0, 240,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)), instance, nullptr);
  button_ = ::CreateWindowExW(
      0, L"BUTTON", L"...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_LOG_SAVE_AND_SHOW)), instance, nullptr);
  if (!combo_ || !button_) return false;
  ::SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  ::SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  queue_ = new CLogLineQueue(combo_);
  subclass_.Attach(combo_, [this](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
      case UM_LOG_LINE:
        // A line posted to the list's window itself.
        if (wParam) AddLine(reinterpret_cast<const char16_t*>(wParam));
        break;
      case kWakeMessage:
        OnWake();
        break;
      case WM_TIMER:
        if (wParam != kBatchTimer) return false;
        Flush();
        break;
      case WM_DESTROY:
        ::KillTimer(combo_, kBatchTimer);
        timerArmed_ = false;
        queue_->Close();
        return false;
      default:
        return false;
    }
    result = 0;
    return true;
  });
  // What was logged before the window existed, newest on top. Those lines are copies, so
  // they go in at once.
  if (g_pLog) {
    const std::vector<std::u16string> lines = g_pLog->Lines();
    const size_t first = lines.size() > kMaximumLines ? lines.size() - kMaximumLines : 0;
    ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
    for (size_t index = first; index < lines.size(); ++index)
      ::SendMessageW(combo_, CB_INSERTSTRING, 0,
                     reinterpret_cast<LPARAM>(platform::W(lines[index].c_str())));
    if (!lines.empty()) ::SendMessageW(combo_, CB_SETCURSEL, 0, 0);
    ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
  }
  return true;
}

IMessageTarget* CLogView::Target() const { return queue_; }

size_t CLogView::QueuedLines() const { return queue_ ? queue_->Size() : 0; }

void CLogView::AddLine(const char16_t* line) {
  if (queue_ && line) queue_->Post(UM_LOG_LINE, reinterpret_cast<uintptr_t>(line), 0);
}

void CLogView::OnWake() {
  // The batch waits a moment so that a burst of lines goes in at once.
  if (timerArmed_) return;
  const UINT delay = lastBatch_ > kBusyBatch ? kBusyBatchDelayMs : kBatchDelayMs;
  timerArmed_ = ::SetTimer(combo_, kBatchTimer, delay, nullptr) != 0;
  if (!timerArmed_) Flush();
}

void CLogView::Flush() {
  if (timerArmed_) ::KillTimer(combo_, kBatchTimer);
  timerArmed_ = false;
  if (!combo_ || !queue_) return;
  const std::deque<const char16_t*> lines = queue_->Take();
  lastBatch_ = lines.size();
  if (lines.empty()) return;
  ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
  for (const char16_t* line : lines)
    ::SendMessageW(combo_, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(platform::W(line)));
  LRESULT count = ::SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  while (count > static_cast<LRESULT>(kMaximumLines) && count != CB_ERR)
    count = ::SendMessageW(combo_, CB_DELETESTRING, count - 1, 0);
  ::SendMessageW(combo_, CB_SETCURSEL, 0, 0);
  ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(combo_, nullptr, TRUE);
}

void CLogView::Place(const RECT& rect) {
  const int height = std::max<int>(0, rect.bottom - rect.top);
  const int buttonWidth = std::min<int>(height, std::max<int>(0, rect.right - rect.left));
  const int comboWidth = std::max<int>(0, rect.right - rect.left - buttonWidth);
  ::MoveWindow(combo_, rect.left, rect.top, comboWidth, 240, TRUE);
  ::MoveWindow(button_, rect.left + comboWidth, rect.top, buttonWidth, height, TRUE);
}

}  // namespace ui
