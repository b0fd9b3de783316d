// The application object's modes, exit and idle save, driven through a scripted front end that
// behaves like the GUI thread's message loop: posted messages first, the quit message when the
// queue is empty, then idle handlers, then the next thing the "user" does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "app/message_target.h"
#include "app/settings_store.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace {

class FakeFrontEnd;

struct FakeWindow : IMessageTarget {
  FakeWindow(FakeFrontEnd& frontEnd, int32_t mode) : frontEnd(frontEnd), mode(mode) {}
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }

  FakeFrontEnd& frontEnd;
  int32_t mode;
  bool open = true;
  bool shown = false;
  bool activated = false;
  std::u16string title;
};

struct PostedMessage {
  FakeWindow* window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

class FakeFrontEnd : public IAppFrontEnd {
 public:
  explicit FakeFrontEnd(CApp& app) : app_(app) {}

  void AddIdleHandler(CIdleHandler* handler) override { idleHandlers.push_back(handler); }

  ModeWindow CreateModeWindow(int32_t mode) override {
    if (failCreate) return {};
    windows.push_back(std::make_unique<FakeWindow>(*this, mode));
    return {windows.back().get(), windows.back().get()};
  }
  void ShowModeWindow(IMessageTarget* window, std::u16string_view title) override {
    auto* fake = static_cast<FakeWindow*>(window);
    fake->shown = true;
    fake->title = title;
  }
  void ActivateWindow(IMessageTarget* window) override {
    static_cast<FakeWindow*>(window)->activated = true;
  }

  void RunMessageLoop() override {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    for (;;) {
      if (!queue.empty()) {
        PostedMessage message = queue.front();
        queue.pop_front();
        Dispatch(message);
        continue;
      }
      if (quitPosted) {
        quitPosted = false;
        break;
      }
      for (CIdleHandler* handler : idleHandlers) handler->OnIdle();
      if (userActions.empty()) {
        // A real loop would wait here for ever.
        ++loopsWithoutQuit;
        break;
      }
      auto action = std::move(userActions.front());
      userActions.pop_front();
      action();
    }
    --depth;
  }
  void PostQuit() override { quitPosted = true; }

  bool AskYesNo(std::u16string_view text, std::u16string_view caption) override {
    questions.push_back(std::u16string(caption) + u"|" + std::u16string(text));
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowError(std::u16string_view, std::u16string_view) override {}
  bool ShellOpen(std::u16string_view path, std::u16string_view verb) override {
    opened.push_back(std::u16string(verb) + u" " + std::u16string(path));
    return true;
  }
  bool ShowHelp(HelpRequest request, std::u16string_view helpFile) override {
    helpRequests.push_back(request);
    return true;
  }
  void ShowAbout() override { ++aboutShown; }
  void ShowSplash() override { ++splashShown; }

  // The window's close handling: the application's exit decides whether it closes.
  void Dispatch(const PostedMessage& message) {
    posted.push_back(message);
    if (message.message != kWindowCloseMessage || !message.window->open) return;
    if (app_.OnWindowClose(message.wParam, message.lParam)) {
      message.window->open = false;
      app_.ForgetWindow(message.window);
    }
  }
  void UserCloses(FakeWindow* window) {
    userActions.push_back([window] { window->Post(kWindowCloseMessage, 0, 0); });
  }

  std::vector<std::unique_ptr<FakeWindow>> windows;
  std::deque<PostedMessage> queue;
  std::vector<PostedMessage> posted;
  std::deque<std::function<void()>> userActions;
  std::deque<bool> answers;
  std::vector<std::u16string> questions;
  std::vector<std::u16string> opened;
  std::vector<HelpRequest> helpRequests;
  std::vector<CIdleHandler*> idleHandlers;
  bool failCreate = false;
  bool quitPosted = false;
  int depth = 0;
  int maxDepth = 0;
  int loopsWithoutQuit = 0;
  int aboutShown = 0;
  int splashShown = 0;

 private:
  CApp& app_;
};

void FakeWindow::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  frontEnd.queue.push_back({this, message, wParam, lParam});
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("LUMENARD_HOME", platform::Utf16ToUtf8(home_.path()).c_str(), 1);
#endif
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    key_ = u"Software\\Corvane\\LumenardTest\\app-" + platform::Utf8ToUtf16(std::to_string(stamp));
    app.SetRegistryKey(key_);
    FillDefaults(app.Settings);
    app.Settings.ConfirmExit = 0;
    app.SetFrontEnd(&frontEnd);
  }
  void TearDown() override {
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, key_);
  }

  bool Stored() const {
    platform::RegistryKey key;
    if (key.Open(platform::RegistryRoot::CurrentUser, key_) != platform::kErrorSuccess)
      return false;
    std::vector<uint8_t> data;
    return key.ReadBinary(kSettingsValueName, &data) == platform::kErrorSuccess &&
           data.size() == sizeof(SettingsRecord);
  }
  void ForgetStored() {
    platform::RegistryKey key;
    if (key.Open(platform::RegistryRoot::CurrentUser, key_) == platform::kErrorSuccess)
      key.DeleteValue(kSettingsValueName);
  }
  FakeWindow* Window(size_t index) { return frontEnd.windows.at(index).get(); }

  testing_support::TempFolder home_;
  std::u16string key_;
  CApp app;
  FakeFrontEnd frontEnd{app};
};

TEST_F(AppTest, SwitchModeMinusOneOnlyReportsTheStoredMode) {
  app.Settings.AppMode = ModeExplorerSecond;
  EXPECT_EQ(app.SwitchMode(-1), ModeExplorerSecond);
  EXPECT_TRUE(frontEnd.windows.empty());
  EXPECT_TRUE(frontEnd.queue.empty());
  EXPECT_EQ(frontEnd.depth + frontEnd.maxDepth, 0);
  EXPECT_EQ(app.Settings.AppMode, ModeExplorerSecond);
}

TEST_F(AppTest, SwitchModeZeroReopensTheStoredMode) {
  app.Settings.AppMode = ModeExplorerSecond;
  frontEnd.userActions.push_back([this] { frontEnd.UserCloses(Window(0)); });
  EXPECT_EQ(app.SwitchMode(0), -1);
  ASSERT_EQ(frontEnd.windows.size(), 1u);
  EXPECT_EQ(Window(0)->mode, ModeExplorerSecond);
  EXPECT_EQ(app.Settings.AppMode, ModeExplorerSecond);
  EXPECT_EQ(ArrangementOfMode(Window(0)->mode), 2);
}

// Run opens the first window; a mode command inside its loop opens the second, whose nested
// loop closes the first through its ordinary close; the outer loop then serves the new window
// until the user closes it, which ends Run.
TEST_F(AppTest, ModeSwitchClosesTheOldWindowInsideANestedLoop) {
  app.Settings.ShowSplash = 1;
  frontEnd.userActions.push_back([this] {
    EXPECT_EQ(app.SwitchMode(ModeExplorer), -1);
    // Back in the first loop: the old window is gone, the new one serves.
    EXPECT_FALSE(Window(0)->open);
    EXPECT_EQ(app.MainWindow(), Window(1));
    EXPECT_EQ(app.LogWindow(), Window(1));
    frontEnd.UserCloses(Window(1));
  });

  EXPECT_EQ(app.Run(ModeWizard), -1);

  EXPECT_EQ(frontEnd.splashShown, 1);
  ASSERT_EQ(frontEnd.windows.size(), 2u);
  EXPECT_EQ(Window(0)->mode, ModeWizard);
  EXPECT_EQ(Window(1)->mode, ModeExplorer);
  EXPECT_TRUE(Window(1)->shown && Window(1)->activated);
  EXPECT_EQ(Window(1)->title, u"Lumenard");
  EXPECT_EQ(frontEnd.maxDepth, 2);
  EXPECT_EQ(frontEnd.loopsWithoutQuit, 0);

  ASSERT_FALSE(frontEnd.posted.empty());
  const PostedMessage& close = frontEnd.posted.front();
  EXPECT_EQ(close.window, Window(0));
  EXPECT_EQ(close.message, kWindowCloseMessage);
  EXPECT_EQ(close.wParam, 0xFFFFFFFFu);
  EXPECT_EQ(close.lParam, 1);

  EXPECT_EQ(app.Settings.AppMode, ModeExplorer);
  EXPECT_EQ(app.MainWindow(), nullptr);
  EXPECT_TRUE(Stored());
}

// Without "/cs" the wizard opens whatever mode was stored; "/addsig" wins over "/cs".
TEST_F(AppTest, CommandLineChoosesTheFirstWindow) {
  app.Settings.AppMode = ModeExplorer;
  StartupRequest plain = ParseCommandLine(u"\"C:\\Lumenard\\lumenard.exe\"");
  ASSERT_EQ(plain.action, StartupRequest::Action::OpenWindow);
  frontEnd.userActions.push_back([this] { frontEnd.UserCloses(Window(0)); });
  app.Run(plain.mode);
  EXPECT_EQ(Window(0)->mode, ModeWizard);

  EXPECT_EQ(ParseCommandLine(u"lumenard.exe /cs").mode, ModeSignatureWizard);

  StartupRequest association = ParseCommandLine(
      u"\"C:\\Program Files\\Lumenard\\lumenard.exe\" \"/addsig C:\\My Files\\a b.filesig\"");
  EXPECT_EQ(association.action, StartupRequest::Action::ImportSignatureFile);
  EXPECT_EQ(association.signatureFile, u"C:\\My Files\\a b.filesig\"");

  StartupRequest both = ParseCommandLine(u"lumenard.exe /cs /addsig x.filesig");
  EXPECT_EQ(both.action, StartupRequest::Action::ImportSignatureFile);
  EXPECT_EQ(both.signatureFile, u"x.filesig");

  EXPECT_EQ(ParseCommandLine(u"lumenard.exe /addsig").signatureFile, u"");
  EXPECT_EQ(ParseCommandLine(u"lumenard.exe /addsig ").signatureFile, u"");
}

TEST_F(AppTest, FailedWindowReturnsMinusOneAfterTheOldWindowWasAskedToClose) {
  frontEnd.userActions.push_back([this] {
    frontEnd.failCreate = true;
    EXPECT_EQ(app.SwitchMode(ModeExplorer), -1);
    EXPECT_EQ(frontEnd.maxDepth, 1);
    ASSERT_EQ(frontEnd.queue.size(), 1u);
    EXPECT_EQ(frontEnd.queue.front().window, Window(0));
  });
  app.Run(ModeWizard);
  // The posted close ended the only window and with it the application.
  EXPECT_FALSE(Window(0)->open);
  EXPECT_EQ(frontEnd.loopsWithoutQuit, 0);
}

TEST_F(AppTest, ExitWithoutConfirmationQuitsAndSaves) {
  app.Settings.ConfirmExit = 0;
  EXPECT_EQ(app.Exit(), 1);
  EXPECT_TRUE(frontEnd.questions.empty());
  EXPECT_TRUE(frontEnd.quitPosted);
  EXPECT_TRUE(Stored());
}

TEST_F(AppTest, ExitDeclinedKeepsRunningAndSavesNothing) {
  app.Settings.ConfirmExit = 1;
  frontEnd.answers = {false};
  EXPECT_EQ(app.Exit(), 0);
  ASSERT_EQ(frontEnd.questions.size(), 1u);
  EXPECT_EQ(frontEnd.questions[0], u"Confirmation|Are you sure you want to exit the application?");
  EXPECT_FALSE(frontEnd.quitPosted);
  EXPECT_FALSE(Stored());

  frontEnd.answers = {true};
  EXPECT_EQ(app.Exit(), 1);
  EXPECT_TRUE(frontEnd.quitPosted);
  EXPECT_TRUE(Stored());
}

// With ConfirmExit set a mode switch still asks nothing, since nothing exits: the old window
// closes at once and the switch's loop ends. Only a real exit asks, and No keeps the window.
TEST_F(AppTest, ModeSwitchClosesTheOldWindowWithoutTheExitQuestion) {
  app.Settings.ConfirmExit = 1;
  frontEnd.answers = {false, true};
  frontEnd.userActions.push_back([this] {
    app.SwitchMode(ModeExplorer);
    // Back in the first loop: the switch's own loop ended with the old window's close.
    EXPECT_EQ(frontEnd.depth, 1);
    EXPECT_FALSE(Window(0)->open);
    EXPECT_TRUE(Window(1)->open);
    EXPECT_TRUE(frontEnd.questions.empty());
    frontEnd.UserCloses(Window(1));
    frontEnd.UserCloses(Window(1));
  });
  app.Run(ModeWizard);
  EXPECT_EQ(frontEnd.questions.size(), 2u);
  EXPECT_FALSE(Window(1)->open);
  EXPECT_EQ(frontEnd.loopsWithoutQuit, 0);
}

TEST_F(AppTest, IdleSavesOncePerChange) {
  ASSERT_EQ(app.OnIdle(), 0);
  EXPECT_TRUE(Stored());

  ForgetStored();
  app.OnIdle();
  EXPECT_FALSE(Stored()) << "an idle period without a change wrote the settings";

  app.Settings.LogFoundFiles = 1;
  app.OnIdle();
  EXPECT_TRUE(Stored());
  SettingsRecord loaded{};
  ASSERT_TRUE(LoadSettings(loaded, key_));
  EXPECT_EQ(loaded.LogFoundFiles, 1);
}

TEST_F(AppTest, ApplicationCommandsReachTheShellAndTheHelp) {
  EXPECT_TRUE(app.OnCommand(CommandHelpContents));
  EXPECT_TRUE(app.OnCommand(CommandRecoveryGuide));
  EXPECT_TRUE(app.OnCommand(CommandHelpSearch));
  EXPECT_TRUE(app.OnCommand(CommandWebSite));
  EXPECT_TRUE(app.OnCommand(CommandAbout));
  EXPECT_FALSE(app.OnCommand(ModeExplorer));
  WriteSettingsText(app.Settings, kDestinationFolderField, u"D:\\Found");
  EXPECT_TRUE(app.ExploreDestination());

  ASSERT_EQ(frontEnd.opened.size(), 3u);
  EXPECT_EQ(frontEnd.opened[0], u"open " + app.GetHelpFilePath());
  EXPECT_EQ(frontEnd.opened[1].rfind(u"open https://", 0), 0u);
  EXPECT_EQ(frontEnd.opened[2], u"explore D:\\Found");
  EXPECT_EQ(frontEnd.helpRequests,
            (std::vector<HelpRequest>{HelpRequest::QuickStart, HelpRequest::Search}));
  EXPECT_EQ(frontEnd.aboutShown, 1);
}

TEST(AppHelpFile, IsBesideTheProgram) {
  EXPECT_EQ(HelpFilePathFor(u"C:\\Program Files\\Lumenard\\lumenard.exe"),
            u"C:\\Program Files\\Lumenard\\lumenard.chm");
  EXPECT_EQ(HelpFilePathFor(u"/opt/lumenard/bin/lumenard-cli"), u"/opt/lumenard/bin/lumenard.chm");
  EXPECT_EQ(HelpFilePathFor(u"lumenard.exe"), u"lumenard.chm");
}

}  // namespace
