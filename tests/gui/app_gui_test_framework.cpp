// The window framework of lumenard.exe inside one process: nested message loops, idle handlers
// and filters, the deferred end of a window destroyed inside its own handler, exceptions
// stopped at the window procedure, and message targets of windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/log.h"
#include "ui/framework/message_loop.h"
#include "ui/framework/module.h"
#include "ui/framework/window.h"
#include "ui/framework/window_target.h"

namespace {

constexpr wchar_t kClassName[] = L"LumenardFrameworkTest";
constexpr UINT kRun = WM_APP + 1;     // runs the test's action inside the window
constexpr UINT kThrow = WM_APP + 2;   // the handler throws
constexpr UINT kRecord = WM_APP + 3;  // recorded with its wParam

class TestWindow : public ui::CCustomWindow {
 public:
  static TestWindow* Open() {
    auto* window = new TestWindow();
    if (!Register({kClassName}) || !window->Create(kClassName, u"test", WS_OVERLAPPEDWINDOW, 0,
                                                   {0, 0, 200, 100}, nullptr, nullptr)) {
      delete window;
      return nullptr;
    }
    return window;
  }

  std::function<void()> action;
  std::vector<WPARAM> recorded;
  std::vector<int> depths;  // of the GUI thread's loop, when each was recorded
  bool* finalReached = nullptr;

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message == kRun && action) action();
    if (message == kThrow) throw std::runtime_error("broken handler");
    if (message == kRecord) {
      recorded.push_back(wParam);
      depths.push_back(ui::CModule::MessageLoop() ? ui::CModule::MessageLoop()->Depth() : -1);
    }
    return message == kRun || message == kRecord;
  }
  void OnFinalMessage() override {
    if (finalReached) *finalReached = true;
    delete this;
  }
};

// Counts its calls and ends the loop at the first one.
class CountingIdle : public CIdleHandler {
 public:
  int OnIdle() override {
    if (++calls == 1) ::PostQuitMessage(0);
    return 0;
  }
  int calls = 0;
};

class DroppingFilter : public ui::CMessageFilter {
 public:
  bool PreTranslateMessage(MSG& message) override {
    return message.message == kRecord && message.wParam == 13;
  }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::CModule::Init(::GetModuleHandleW(nullptr));
    ui::CModule::AddMessageLoop(&loop);
    previousLog_ = g_pLog;
    g_pLog = &log;
  }
  void TearDown() override {
    ui::CModule::RemoveMessageLoop();
    g_pLog = previousLog_;
  }

  ui::CMessageLoop loop;
  CLog log;

 private:
  CLog* previousLog_ = nullptr;
};

TEST_F(FrameworkTest, NestedLoopEndsAtItsQuitAndTheOuterOneGoesOn) {
  TestWindow* window = TestWindow::Open();
  ASSERT_NE(window, nullptr);
  HWND handle = window->Handle();
  window->action = [&] {
    // Posted before the quit: the nested loop handles it before it ends.
    ::PostMessageW(handle, kRecord, 1, 0);
    ::PostQuitMessage(0);
    EXPECT_EQ(loop.Run(), 0);
    // Only the outer loop is left to see these.
    ::PostMessageW(handle, kRecord, 2, 0);
    ::PostQuitMessage(7);
  };
  ::PostMessageW(handle, kRun, 0, 0);
  EXPECT_EQ(loop.Run(), 7);
  EXPECT_EQ(window->recorded, (std::vector<WPARAM>{1, 2}));
  EXPECT_EQ(window->depths, (std::vector<int>{2, 1}));
  EXPECT_EQ(loop.Depth(), 0);
  ::DestroyWindow(handle);
}

TEST_F(FrameworkTest, FiltersDropMessagesAndIdleRunsWhenTheQueueIsEmpty) {
  TestWindow* window = TestWindow::Open();
  ASSERT_NE(window, nullptr);
  HWND handle = window->Handle();
  DroppingFilter filter;
  CountingIdle idle;
  loop.AddMessageFilter(&filter);
  loop.AddIdleHandler(&idle);
  for (WPARAM value : {11, 13, 12}) ::PostMessageW(handle, kRecord, value, 0);
  loop.Run();
  EXPECT_EQ(window->recorded, (std::vector<WPARAM>{11, 12}));
  // The queue ran empty once: after the three messages, not between them.
  EXPECT_EQ(idle.calls, 1);
  loop.RemoveMessageFilter(&filter);
  loop.RemoveIdleHandler(&idle);
  ::DestroyWindow(handle);
}

// A mode switch destroys the old window inside a loop that runs in that window's own command
// handler: the object must outlive the handler.
TEST_F(FrameworkTest, WindowDestroyedInsideItsOwnHandlerEndsAfterTheHandler) {
  TestWindow* window = TestWindow::Open();
  ASSERT_NE(window, nullptr);
  HWND handle = window->Handle();
  bool finalReached = false;
  bool finalInsideHandler = true;
  window->finalReached = &finalReached;
  window->action = [&] {
    ::PostMessageW(handle, WM_CLOSE, 0, 0);
    struct QuitWhenGone : CIdleHandler {
      HWND window;
      int OnIdle() override {
        if (!::IsWindow(window)) ::PostQuitMessage(0);
        return 0;
      }
    } quitter;
    quitter.window = handle;
    loop.AddIdleHandler(&quitter);
    loop.Run();
    loop.RemoveIdleHandler(&quitter);
    finalInsideHandler = finalReached;
  };
  ::PostMessageW(handle, kRun, 0, 0);
  MSG message;
  while (!finalReached && ::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  EXPECT_FALSE(::IsWindow(handle));
  EXPECT_FALSE(finalInsideHandler);
  EXPECT_TRUE(finalReached);
}

TEST_F(FrameworkTest, ExceptionStopsAtTheProcedureAndIsLogged) {
  TestWindow* window = TestWindow::Open();
  ASSERT_NE(window, nullptr);
  HWND handle = window->Handle();
  EXPECT_NO_THROW(::SendMessageW(handle, kThrow, 0, 0));
  ::SendMessageW(handle, kRecord, 5, 0);
  EXPECT_EQ(window->recorded, (std::vector<WPARAM>{5}));
  const std::vector<std::u16string> lines = log.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(u"Window procedure except: message 0x8002"), std::u16string::npos)
      << "got a different line";
  EXPECT_NE(lines.back().find(u"broken handler"), std::u16string::npos);
  ::DestroyWindow(handle);
}

TEST_F(FrameworkTest, WindowTargetsPostToTheirWindowAndOutliveIt) {
  TestWindow* window = TestWindow::Open();
  ASSERT_NE(window, nullptr);
  HWND handle = window->Handle();
  IMessageTarget* target = ui::TargetForWindow(handle);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(ui::TargetForWindow(handle), target);
  EXPECT_EQ(ui::WindowOfTarget(target), handle);
  EXPECT_EQ(ui::WindowOfTarget(nullptr), nullptr);

  target->Post(kRecord, 21, 0);
  target->Send(kRecord, 22, 0);
  MSG message;
  while (::PeekMessageW(&message, handle, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  EXPECT_EQ(window->recorded, (std::vector<WPARAM>{22, 21}));

  ::DestroyWindow(handle);
  // The window and its object are gone; the target still takes posts, which go nowhere.
  target->Post(kRecord, 23, 0);
  EXPECT_EQ(target->Send(kRecord, 24, 0), 0);
}

}  // namespace
