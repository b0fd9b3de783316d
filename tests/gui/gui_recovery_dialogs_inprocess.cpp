// The recovery dialogs inside one process, as a user meets them: the test's main thread is the
// interface thread and opens each dialog; a second thread plays the user, finds the dialog by
// its caption, reads its controls back through Win32 and presses its buttons. Real runs of the
// recovery engine go through the progress dialog: a FAT image made by mkfs.fat, a run stopped
// while its thread is held in a read, and lost files whose size question a run's thread asks
// through the window prompter. Screenshots go to $LUMENARD_ARTIFACTS.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/front_end.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "inprocess_host.h"
#include "platform/file.h"
#include "platform/text.h"
#include "recovery/recovery_test_support.h"
#include "resources/recovery_dialogs.h"
#include "ui/dialogs/recovery_dialogs.h"
#include "ui/dialogs/recovery_progress_dlg.h"
#include "ui/framework/module.h"
// <windows.h> names its own LoadImage; the program's is the one meant here.
#undef LoadImage
#include "volumes/image.h"

using namespace recovery_testing;

namespace {

using inprocess_testing::ExpectNoFailures;
using inprocess_testing::FindThreadWindow;
using inprocess_testing::IsDialog;
using inprocess_testing::PrepareInterfaceThread;
using inprocess_testing::Press;
using inprocess_testing::Pump;
using inprocess_testing::Screenshot;
using inprocess_testing::TextOf;
using inprocess_testing::WaitFor;

constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kDialogDrawMs = 300;  // lets a dialog draw before its screenshot
constexpr wchar_t kHostClass[] = L"LumenardRecoveryDialogsHost";
constexpr wchar_t kSizeCaption[] = L"Enter probable file size";
constexpr wchar_t kProgressCaption[] = L"Recovering files...";

std::wstring ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

std::wstring Wide(const std::u16string& text) { return platform::W(text.c_str()); }

// A visible dialog of the thread with the caption, other than except; null when none.
HWND FindDialog(DWORD thread, const std::wstring& caption, HWND except = nullptr) {
  return FindThreadWindow(thread, [&](HWND window) {
    return window != except && IsDialog(window) && TextOf(window) == caption;
  });
}

HWND WaitForDialog(DWORD thread, const std::wstring& caption, HWND except = nullptr) {
  HWND dialog = nullptr;
  WaitFor([&] { return (dialog = FindDialog(thread, caption, except)) != nullptr; });
  return dialog;
}

// Any visible dialog of the thread but the ones given (the folder chooser has no fixed caption).
HWND WaitForOtherDialog(DWORD thread, HWND except) {
  HWND dialog = nullptr;
  WaitFor([&] {
    dialog =
        FindThreadWindow(thread, [&](HWND window) { return window != except && IsDialog(window); });
    return dialog != nullptr;
  });
  return dialog;
}

// The text of a message box: its longest static text.
std::wstring MessageText(HWND box) {
  std::wstring longest;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        auto* longest = reinterpret_cast<std::wstring*>(data);
        const std::wstring text = TextOf(child);
        if (lstrcmpiW(className, L"Static") == 0 && text.size() > longest->size()) *longest = text;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&longest));
  return longest;
}

// A click of a radio button or a check box, as the mouse gives it.
void Click(HWND dialog, int button) {
  SendMessageTimeoutW(GetDlgItem(dialog, button), BM_CLICK, 0, 0, SMTO_BLOCK, 5000, nullptr);
}

bool Checked(HWND dialog, int button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(GetDlgItem(dialog, button), BM_GETCHECK, 0, 0, SMTO_BLOCK, 5000, &state);
  return state == BST_CHECKED;
}

void SetItemText(HWND dialog, int id, const wchar_t* text) {
  SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                      SMTO_BLOCK, 5000, nullptr);
}

bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Runs the user's part on a thread of its own while the interface thread runs a dialog. A
// failure closes the interface thread's dialogs so that its modal loops end.
class User {
 public:
  explicit User(std::function<void(User&)> part)
      : guiThread_(GetCurrentThreadId()), thread_([this, part] {
          part(*this);
          // After a failure, dialogs that open later are closed too, until the interface
          // thread is back.
          while (!finished_ && Failed()) {
            CloseDialogs();
            Sleep(200);
          }
        }) {}
  ~User() {
    finished_ = true;
    if (thread_.joinable()) thread_.join();
  }
  DWORD Gui() const { return guiThread_; }
  void Fail(const std::string& what) {
    {
      std::lock_guard lock(lock_);
      failures_.push_back(what);
    }
    // Shown at once too: a failure that leaves a dialog open is seen before the time-out.
    fprintf(stderr, "user: %s\n", what.c_str());
    CloseDialogs();
  }
  bool Failed() {
    std::lock_guard lock(lock_);
    return !failures_.empty();
  }
  void CloseDialogs() {
    EnumThreadWindows(
        guiThread_,
        [](HWND window, LPARAM) -> BOOL {
          wchar_t className[16] = {};
          GetClassNameW(window, className, 16);
          if (lstrcmpW(className, L"#32770") == 0)
            for (int button : {IDCANCEL, IDYES, IDOK}) PostMessageW(window, WM_COMMAND, button, 0);
          return TRUE;
        },
        0);
  }
  // Records a failure and says whether the check held.
  bool Check(bool condition, const std::string& what) {
    if (!condition) Fail(what);
    return condition;
  }
  template <typename A, typename B>
  bool Equal(const A& actual, const B& expected, const std::string& what) {
    if (actual == expected) return true;
    Fail(what + ": got \"" + Narrow(actual) + "\", expected \"" + Narrow(expected) + "\"");
    return false;
  }
  std::vector<std::string> Finish() {
    finished_ = true;
    thread_.join();
    std::lock_guard lock(lock_);
    return failures_;
  }

 private:
  static std::string Narrow(const std::wstring& text) {
    return platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(text.c_str()));
  }
  static std::string Narrow(const wchar_t* text) { return Narrow(std::wstring(text)); }
  template <typename T>
  static std::string Narrow(const T& value) {
    return std::to_string(value);
  }

  DWORD guiThread_;
  std::atomic<bool> finished_{false};
  std::mutex lock_;
  std::vector<std::string> failures_;
  std::thread thread_;
};

// The window system as the application object sees it, reduced to what the dialogs use.
class ShellRecorder : public IAppFrontEnd {
 public:
  void AddIdleHandler(CIdleHandler*) override {}
  ModeWindow CreateModeWindow(int32_t) override { return {}; }
  void ShowModeWindow(IMessageTarget*, std::u16string_view) override {}
  void ActivateWindow(IMessageTarget*) override {}
  void RunMessageLoop() override {}
  void PostQuit() override {}
  bool AskYesNo(std::u16string_view, std::u16string_view) override { return false; }
  void ShowError(std::u16string_view, std::u16string_view) override {}
  bool ShellOpen(std::u16string_view path, std::u16string_view verb) override {
    std::lock_guard lock(lock_);
    opened.push_back(std::u16string(verb) + u" " + std::u16string(path));
    return true;
  }
  bool ShowHelp(HelpRequest, std::u16string_view) override { return true; }
  void ShowAbout() override {}
  void ShowSplash() override {}

  std::vector<std::u16string> opened;

 private:
  std::mutex lock_;
};

std::atomic<int> g_startMessages{0};

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == UM_START_RECOVERY) {
    ++g_startMessages;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A read of the volume waits while the gate is closed (the run's thread is held inside a piece).
class Gate {
 public:
  void Close() {
    std::lock_guard lock(lock_);
    open_ = false;
  }
  void Open() {
    std::lock_guard lock(lock_);
    open_ = true;
    changed_.notify_all();
  }
  void Pass() {
    std::unique_lock lock(lock_);
    waiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  bool Reached() {
    std::lock_guard lock(lock_);
    return waiting_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = true;
  bool waiting_ = false;
};

class RecoveryDialogs : public RecoveryFixture {
 protected:
  static void SetUpTestSuite() {
    PrepareInterfaceThread();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassW(&windowClass);
  }

  void SetUp() override {
    FillDefaults(app_.Settings);
    app_.Settings.KeepFolderStructure = 1;
    SetDestination(destination_.path());
    app_.SetFrontEnd(&shell_);
    host_ = CreateWindowExW(0, kHostClass, L"Lumenard recovery", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            0, 0, 800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host_);
    g_startMessages = 0;
  }
  void TearDown() override {
    StopRecovery(job());
    job().Wait(10000);
    job().SetPrompter(&prompter_);
    windowPrompter_.reset();
    if (host_) DestroyWindow(host_);
    Pump(0);
  }

  // Questions of the run asked with the dialogs, on this thread.
  void UseWindowPrompter() {
    windowPrompter_ = ui::MakeWindowPrompter(host_);
    job().SetPrompter(windowPrompter_.get());
  }

  // Lost JPEG files, of a size not known, where the sector scan finds them (on 512-byte
  // units): 4096, a file of another kind at 102400, 307200.
  void AddLostFiles() {
    Add(u"Images", FoundFolder, kImagesGroup, IdLostFiles, 0, 0);
    firstLost_ = AddLost(u"image_4096.JPG", 4096, -1);
    AddFile(u"other.bin", 102400, 50);
    secondLost_ = AddLost(u"image_307200.JPG", 307200, -1);
  }

  INT_PTR RunWithProgress(std::vector<FoundObject*> objects, CVolume& volume) {
    Selection selection(volume, std::move(objects));
    BuildRecoveryList(job(), selection);
    if (!StartRecovery(job(), volume)) return -2;
    return ui::ShowRecoveryProgress(host_, job(), ui::ProgressMode::Recover);
  }

  ShellRecorder shell_;
  HWND host_ = nullptr;
  std::unique_ptr<IRecoveryPrompter> windowPrompter_;
  FoundObject* firstLost_ = nullptr;
  FoundObject* secondLost_ = nullptr;
};

SizeQuestion AJpegOfThreeMillionBytes() {
  SizeQuestion question;
  question.Name = u"image_123456789.JPG";
  question.TypeName = u"JPEG Image";
  question.Position = 123456789;
  question.CurrentSize = 3000000;
  question.Deleted = true;
  question.TypicalBytes = 2048 * 1024;
  question.DistanceAny = 5 * 1024 * 1024;
  question.DistanceSame = -1;
  return question;
}

}  // namespace

TEST_F(RecoveryDialogs, SizeDialogShowsTheFileRefusesSizesOfNothingAndGivesTheCustomSize) {
  SizeAnswer answer;
  User user([](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), kSizeCaption);
    if (!user.Check(dialog != nullptr, "no size dialog")) return;
    const std::wstring intro = ItemText(dialog, IDC_SIZE_INTRO);
    user.Check(intro.find(L"The file of the 'JPEG Image' type is found") == 0, "intro text");
    user.Equal(ItemText(dialog, IDC_SIZE_OFFSET), L"123456789", "offset");
    user.Equal(ItemText(dialog, IDC_SIZE_NAME), L"image_123456789.JPG", "name");
    user.Equal(ItemText(dialog, IDC_SIZE_TYPE), L"JPEG Image", "type");
    user.Equal(ItemText(dialog, IDC_SIZE_CONDITION), L"Deleted", "condition");
    user.Equal(ItemText(dialog, IDC_SIZE_DEFAULT_KB), L"2,048 KBytes", "default size");
    user.Equal(ItemText(dialog, IDC_SIZE_NEXT_ANY_KB), L"5,120 KBytes", "distance to any");
    user.Equal(ItemText(dialog, IDC_SIZE_NEXT_SAME_KB), L"0 KBytes", "no next of the type");
    user.Equal(ItemText(dialog, IDC_SIZE_CUSTOM), L"Custome size:", "custom radio");
    user.Equal(ItemText(dialog, IDC_SIZE_CUSTOM_NUMBER), L"2", "custom size offered");
    user.Equal(ItemText(dialog, IDC_SIZE_UNIT), L" MB", "unit offered");
    user.Check(Checked(dialog, IDC_SIZE_DEFAULT) && Checked(dialog, IDC_SIZE_SCOPE_THIS_FILE),
               "the first radio of each group starts checked");
    user.Check(!Enabled(dialog, IDC_SIZE_CUSTOM_NUMBER) && !Enabled(dialog, IDC_SIZE_UNIT),
               "the custom size is off until its radio is chosen");
    Click(dialog, IDC_SIZE_CUSTOM);
    user.Check(Enabled(dialog, IDC_SIZE_CUSTOM_NUMBER) && Enabled(dialog, IDC_SIZE_UNIT),
               "the custom radio turns the custom size on");

    for (const wchar_t* refused : {L"0", L"-5", L"3x"}) {
      SetItemText(dialog, IDC_SIZE_CUSTOM_NUMBER, refused);
      Press(dialog, IDOK);
      HWND box = WaitForDialog(user.Gui(), kSizeCaption, dialog);
      if (!user.Check(box != nullptr, "no message for a refused size")) return;
      user.Check(MessageText(box).find(L"greater than 0") != std::wstring::npos,
                 "the message says what a size must be");
      Press(box, IDOK);
      WaitFor([&] { return !IsWindow(box); });
      user.Check(IsWindow(dialog) && IsWindowVisible(dialog), "a refused size keeps the dialog");
    }
    SetItemText(dialog, IDC_SIZE_CUSTOM_NUMBER, L"3");
    SendMessageTimeoutW(GetDlgItem(dialog, IDC_SIZE_UNIT), CB_SETCURSEL, 3, 0, SMTO_BLOCK, 5000,
                        nullptr);
    Click(dialog, IDC_SIZE_SCOPE_ANY_TYPE);
    Screenshot(dialog, L"recovery-size-dialog", kDialogDrawMs);
    Press(dialog, IDOK);
  });
  ASSERT_TRUE(ui::AskProbableSize(host_, AJpegOfThreeMillionBytes(), answer));
  ExpectNoFailures(user.Finish());
  EXPECT_EQ(answer.End, SizeEnd::Ok);
  EXPECT_EQ(answer.Option, kSizeCustom);
  EXPECT_EQ(answer.Scope, SizeScope::AnyType);
  EXPECT_EQ(answer.CustomBytes, 3221225472);
}

TEST_F(RecoveryDialogs, SizeDialogEndsWithSkipCancelOrTheChosenOptionWithoutACustomSize) {
  struct Round {
    int button;
    int radio;
    SizeEnd end;
    int32_t option;
  };
  for (const Round round :
       {Round{IDC_SIZE_SKIP, 0, SizeEnd::Skip, 0}, Round{IDCANCEL, 0, SizeEnd::Cancel, 0},
        Round{IDOK, 0, SizeEnd::Ok, kSizeDefault},
        Round{IDOK, IDC_SIZE_NEXT_SAME, SizeEnd::Ok, kSizeNextSame}}) {
    SizeAnswer answer;
    answer.CustomBytes = 77;
    User user([round](User& user) {
      HWND dialog = WaitForDialog(user.Gui(), kSizeCaption);
      if (!user.Check(dialog != nullptr, "no size dialog")) return;
      if (round.radio) Click(dialog, round.radio);
      Click(dialog, IDC_SIZE_SCOPE_THIS_TYPE);
      Press(dialog, round.button);
    });
    ASSERT_TRUE(ui::AskProbableSize(host_, AJpegOfThreeMillionBytes(), answer));
    ExpectNoFailures(user.Finish());
    EXPECT_EQ(answer.End, round.end) << round.button;
    if (round.end != SizeEnd::Ok) continue;
    EXPECT_EQ(answer.Option, round.option);
    EXPECT_EQ(answer.Scope, SizeScope::ThisType);
    EXPECT_EQ(answer.CustomBytes, 0) << "a custom size only with the custom option";
  }
}

TEST_F(RecoveryDialogs, TryOpenWarningGoesOnOnlyWithOkAndCanBeTurnedOff) {
  app_.Settings.HideTryOpenWarning = 0;
  {
    User user([](User& user) {
      HWND dialog = WaitForDialog(user.Gui(), L"Warning!");
      if (!user.Check(dialog != nullptr, "no warning")) return;
      user.Equal(ItemText(dialog, IDC_TRY_OPEN_HIDE), L"Don't show this warning again.",
                 "check box");
      Screenshot(dialog, L"recovery-try-open", kDialogDrawMs);
      Press(dialog, IDCANCEL);
    });
    EXPECT_FALSE(ui::ConfirmTryOpen(host_));
    ExpectNoFailures(user.Finish());
    EXPECT_EQ(app_.Settings.HideTryOpenWarning, 0);
  }
  {
    User user([](User& user) {
      HWND dialog = WaitForDialog(user.Gui(), L"Warning!");
      if (!user.Check(dialog != nullptr, "no warning")) return;
      Click(dialog, IDC_TRY_OPEN_HIDE);
      Press(dialog, IDOK);
    });
    EXPECT_TRUE(ui::ConfirmTryOpen(host_));
    ExpectNoFailures(user.Finish());
    EXPECT_EQ(app_.Settings.HideTryOpenWarning, 1);
  }
  // Turned off: no dialog at all (nothing would answer one here).
  EXPECT_TRUE(ui::ConfirmTryOpen(host_));
}

TEST_F(RecoveryDialogs, RecoverDialogSavesTheDestinationMakesItAndAsksForTheStart) {
  const std::u16string folder = destination_.File(u"Recovered");
  SetDestination(folder);
  app_.Settings.KeepFolderStructure = 0;
  User user([folder](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), L"Recover");
    if (!user.Check(dialog != nullptr, "no Recover dialog")) return;
    user.Equal(ItemText(dialog, IDC_RECOVER_HEADING), L"Recover files", "heading");
    user.Equal(ItemText(dialog, IDC_RECOVER_DESTINATION), Wide(folder), "destination");
    user.Check(!Checked(dialog, IDC_RECOVER_KEEP_STRUCTURE), "keep folder structure off");
    Screenshot(dialog, L"recovery-recover", kDialogDrawMs);
    // The folder chooser, cancelled: nothing changes.
    Press(dialog, IDC_RECOVER_BROWSE);
    HWND chooser = WaitForOtherDialog(user.Gui(), dialog);
    if (!user.Check(chooser != nullptr, "no folder chooser")) return;
    Press(chooser, IDCANCEL);
    WaitFor([&] { return !IsWindow(chooser); });
    user.Equal(ItemText(dialog, IDC_RECOVER_DESTINATION), Wide(folder), "after the chooser");
    Click(dialog, IDC_RECOVER_KEEP_STRUCTURE);
    Press(dialog, IDOK);
  });
  EXPECT_EQ(ui::ShowRecoverDialog(host_, job(), volume_, host_), IDOK);
  ExpectNoFailures(user.Finish());
  Pump(0);
  EXPECT_EQ(g_startMessages.load(), 1) << "UM_START_RECOVERY posted once";
  EXPECT_EQ(app_.Settings.KeepFolderStructure, 1);
  EXPECT_EQ(ReadSettingsText(app_.Settings, kDestinationFolderField), folder);
  EXPECT_TRUE(platform::FolderExists(folder)) << "the destination's folder was made";
}

TEST_F(RecoveryDialogs, RecoverDialogRefusesTheDiskBeingRecoveredFromAndStaysOpen) {
  job().SetPrompter(nullptr);         // the dialog shows the refusal itself
  volume_.Kind = VolumeKindPhysical;  // a drive image is never the destination's disk
  job().SetDiskCheck([](const std::u16string&, CVolume&) { return platform::SameDisk::Yes; });
  User user([](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), L"Recover");
    if (!user.Check(dialog != nullptr, "no Recover dialog")) return;
    Press(dialog, IDOK);
    HWND box = WaitForDialog(user.Gui(), L"Error");
    if (!user.Check(box != nullptr, "no refusal")) return;
    user.Check(MessageText(box).find(L"folder is on the same drive with the source.") !=
                   std::wstring::npos,
               "the refusal's text");
    Press(box, IDOK);
    WaitFor([&] { return !IsWindow(box); });
    user.Check(IsWindow(dialog) && IsWindowVisible(dialog), "the dialog stays open");
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(ui::ShowRecoverDialog(host_, job(), volume_, host_), IDCANCEL);
  ExpectNoFailures(user.Finish());
  Pump(0);
  EXPECT_EQ(g_startMessages.load(), 0);
  EXPECT_EQ(job().Prompter(), nullptr) << "the borrowed prompter is given back";
}

TEST_F(RecoveryDialogs, ProgressOfARunOnAFatImageEndsWithTheFilesWrittenAndGoesToThem) {
  const std::u16string image = testing_support::FixturePath("fat/fat32.img");
  if (image.empty()) GTEST_SKIP() << "fixture images not made (./run fixtures)";
  app_.Settings.AutoSectorScan = 0;
  CVolume* volume = LoadImage(*computer_, image);
  ASSERT_TRUE(volume);
  ASSERT_TRUE(computer_->Analysis.StartAnalysis(*volume));
  ASSERT_TRUE(computer_->Analysis.WaitForPasses(*volume, kTimeoutMs));
  std::vector<FoundObject*> files;
  for (FoundObject* object : volume->Store.AllObjects())
    if (object->Id >= 0 && !(object->Flags & (FoundFolder | FoundDriveNode)))
      files.push_back(object);
  ASSERT_GT(files.size(), 10u);

  std::wstring total, result;
  User user([&](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), kProgressCaption);
    if (!user.Check(dialog != nullptr, "no progress dialog")) return;
    if (!user.Check(WaitFor([&] { return Visible(dialog, IDOK); }), "the run did not end")) return;
    user.Check(!Visible(dialog, IDCANCEL), "Abort hidden at the end");
    user.Check(Visible(dialog, IDC_PROGRESS_GO_TO_RECOVERED), "Go to Recovered shown");
    DWORD_PTR position = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, IDC_PROGRESS_TOTAL_BAR), PBM_GETPOS, 0, 0, SMTO_BLOCK,
                        5000, &position);
    user.Equal(static_cast<size_t>(position), files.size(), "total bar at the end");
    user.Equal(ItemText(dialog, IDC_PROGRESS_COUNTS), L"Recovery completed.", "the end");
    user.Equal(ItemText(dialog, IDC_PROGRESS_FILE_LABEL), L"Result:", "the result's label");
    total = ItemText(dialog, IDC_PROGRESS_TOTAL);
    result = ItemText(dialog, IDC_PROGRESS_FILE);
    Screenshot(dialog, L"recovery-progress-end", kDialogDrawMs);
    Press(dialog, IDC_PROGRESS_GO_TO_RECOVERED);
  });
  EXPECT_EQ(RunWithProgress(files, *volume), 0);
  ExpectNoFailures(user.Finish());
  EXPECT_FALSE(job().IsRunning());

  const int count = static_cast<int>(files.size());
  EXPECT_EQ(total, Wide(platform::Format(u"%d of %d", count, count)));
  EXPECT_GT(job().RecoveredCount.load(), 0);
  EXPECT_EQ(job().RecoveredCount + job().IncompleteCount + job().FailedCount, count)
      << "every listed file is written, incomplete or failed";
  EXPECT_EQ(result, Wide(RecoveryResultText(job().RecoveredCount, job().IncompleteCount,
                                            job().FailedCount, 0)));
  for (const RecoveryResult& written : job().Results()) {
    if (written.Outcome != RecoveryOutcome::Complete) continue;
    EXPECT_EQ(static_cast<int64_t>(testing_support::ReadWholeFile(written.TargetPath).size()),
              written.Object->Size)
        << platform::Utf16ToUtf8(written.TargetPath);
  }
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0], u"explore " + job().Destination());
}

TEST_F(RecoveryDialogs, AbortClosesTheProgressOnlyAfterTheRunsThreadHasEnded) {
  app_.Settings.ConfirmRecoveryAbort = 1;
  FoundObject* big = AddFile(u"big.bin", 0, 3 * 1024 * 1024);
  FoundObject* next = AddFile(u"next.bin", 3 * 1024 * 1024, 4096);
  Gate gate;
  gate.Close();
  volume_.onRead = [&gate](uint64_t) { gate.Pass(); };

  std::atomic<bool> runningWhileStopping{false};
  User user([&](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), kProgressCaption);
    if (!user.Check(dialog != nullptr, "no progress dialog")) return;
    if (!user.Check(WaitFor([&] { return gate.Reached(); }), "the run never read")) return;
    Press(dialog, IDCANCEL);
    HWND question = WaitForDialog(user.Gui(), L"Confirmation");
    if (!user.Check(question != nullptr, "no question before the stop")) return;
    user.Equal(MessageText(question), L"Are you sure you want to stop recovery?", "question");
    Press(question, IDYES);
    WaitFor([&] { return !IsWindow(question); });
    Sleep(4 * CRecoveryProgressDlg::kTimerMs);
    user.Check(IsWindow(dialog) && IsWindowVisible(dialog), "closed before the thread ended");
    user.Check(!Enabled(dialog, IDCANCEL), "Abort stays disabled while stopping");
    user.Check(ItemText(dialog, IDC_PROGRESS_FILE).find(L"Stopping") == 0, "says it stops");
    runningWhileStopping = job().IsRunning();
    Screenshot(dialog, L"recovery-progress-stopping", kDialogDrawMs);
    gate.Open();
    user.Check(WaitFor([&] { return !IsWindow(dialog); }), "did not close after the thread ended");
  });
  const INT_PTR result = RunWithProgress({big, next}, volume_);
  const bool runningAtClose = job().IsRunning();
  gate.Open();
  ExpectNoFailures(user.Finish());
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(runningWhileStopping) << "the thread was held in its read";
  EXPECT_FALSE(runningAtClose) << "the dialog ended before the run's thread";
  EXPECT_TRUE(Logged(u"Recovery aborted."));
  EXPECT_FALSE(platform::FileExists(Target(u"next.bin"))) << "nothing after the stop";
}

TEST_F(RecoveryDialogs, ARunsThreadAsksTheSizeThroughTheInterfaceThreadOncePerType) {
  UseWindowPrompter();
  AddLostFiles();
  int asked = 0;
  User user([&](User& user) {
    HWND progress = WaitForDialog(user.Gui(), kProgressCaption);
    HWND dialog = WaitForDialog(user.Gui(), kSizeCaption);
    if (!user.Check(progress && dialog, "no size question during the run")) return;
    ++asked;
    user.Equal(ItemText(dialog, IDC_SIZE_NAME), L"image_4096.JPG", "asked about the first");
    user.Equal(ItemText(dialog, IDC_SIZE_NEXT_ANY_KB), L"96 KBytes", "(102400 - 4096) / 1024");
    user.Equal(ItemText(dialog, IDC_SIZE_NEXT_SAME_KB), L"296 KBytes", "(307200 - 4096) / 1024");
    Click(dialog, IDC_SIZE_CUSTOM);
    SetItemText(dialog, IDC_SIZE_CUSTOM_NUMBER, L"3");
    SendMessageTimeoutW(GetDlgItem(dialog, IDC_SIZE_UNIT), CB_SETCURSEL, 1, 0, SMTO_BLOCK, 5000,
                        nullptr);
    Click(dialog, IDC_SIZE_SCOPE_THIS_TYPE);
    Press(dialog, IDOK);
    WaitFor([&] { return !IsWindow(dialog); });
    // The second file of the type is not asked about.
    WaitFor([&] {
      if (FindDialog(user.Gui(), kSizeCaption)) {
        ++asked;
        user.Fail("asked again for a file of the same type");
        return true;
      }
      return Visible(progress, IDOK);
    });
    user.Equal(ItemText(progress, IDC_PROGRESS_FILE), L"Recovered 2 files, 0 incomplete, 0 failed",
               "result");
    Press(progress, IDOK);
  });
  EXPECT_EQ(RunWithProgress({firstLost_, secondLost_}, volume_), IDOK);
  ExpectNoFailures(user.Finish());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Recovered(u"Lost files/Images/image_4096.JPG"), Original(4096, 3072));
  EXPECT_EQ(Recovered(u"Lost files/Images/image_307200.JPG"), Original(307200, 3072));
}

TEST_F(RecoveryDialogs, AStopEndsTheQuestionBeingAskedAndTheNextRunAsksAgain) {
  UseWindowPrompter();
  AddLostFiles();
  User user([&](User& user) {
    HWND progress = WaitForDialog(user.Gui(), kProgressCaption);
    HWND dialog = WaitForDialog(user.Gui(), kSizeCaption);
    if (!user.Check(progress && dialog, "no size question during the run")) return;
    // The stop comes while the refusal of a custom size is shown over the question.
    Click(dialog, IDC_SIZE_CUSTOM);
    SetItemText(dialog, IDC_SIZE_CUSTOM_NUMBER, L"0");
    Press(dialog, IDOK);
    HWND refusal = WaitForDialog(user.Gui(), kSizeCaption, dialog);
    if (!user.Check(refusal != nullptr, "no refusal of the size")) return;
    StopRecovery(job());  // as the closing main window does
    user.Check(WaitFor([&] { return !IsWindow(refusal) && !IsWindow(dialog); }, 5000),
               "the stop left the question");
    if (!user.Check(WaitFor([&] { return Visible(progress, IDOK); }), "the run did not end"))
      return;
    user.Equal(ItemText(progress, IDC_PROGRESS_FILE),
               L"Recovered 0 files, 0 incomplete, 0 failed, 1 skipped", "result");
    user.Equal(ItemText(progress, IDC_PROGRESS_COUNTS), L"Recovery stopped.", "the end");
    Press(progress, IDOK);
  });
  EXPECT_EQ(RunWithProgress({firstLost_, secondLost_}, volume_), IDOK);
  ExpectNoFailures(user.Finish());
  EXPECT_TRUE(Logged(u"FileRecovery: File 'image_4096.JPG' recovery cancelled"));
  EXPECT_TRUE(Logged(u"Recovery aborted."));

  // The questions of a later run are asked again, also outside the progress dialog.
  SizeAnswer answer;
  std::atomic<bool> answered{false};
  std::thread worker([&] {
    answer = windowPrompter_->AskProbableSize(AJpegOfThreeMillionBytes());
    answered = true;
  });
  User again([](User& user) {
    HWND dialog = WaitForDialog(user.Gui(), kSizeCaption);
    if (user.Check(dialog != nullptr, "the next question was not asked"))
      Press(dialog, IDC_SIZE_SKIP);
  });
  const ULONGLONG end = GetTickCount64() + kTimeoutMs;
  while (!answered && GetTickCount64() < end) {
    Pump(0);
    Sleep(10);
  }
  if (!answered) windowPrompter_->Stop();
  worker.join();
  ExpectNoFailures(again.Finish());
  EXPECT_EQ(answer.End, SizeEnd::Skip);
}

TEST_F(RecoveryDialogs, AThreadsOtherQuestionsAreMessageBoxesOnTheInterfaceThreadAndAStopEndsThem) {
  UseWindowPrompter();
  IRecoveryPrompter& prompter = *windowPrompter_;
  bool deleteAnswer = false;
  bool stoppedAnswer = true;
  std::optional<std::u16string> otherDestination = u"unchanged";
  std::atomic<bool> done{false};
  std::thread worker([&] {
    deleteAnswer = prompter.AskDeleteTemporaryFiles(3);
    prompter.ShowError(u"The folder cannot be made.");
    otherDestination = prompter.AskOtherDestination(
        DestinationQuestion{u"C:\\Out", u"Disk 1", u"Select another destination folder?"});
    stoppedAnswer = prompter.AskDeleteTemporaryFiles(1);
    done = true;
  });
  User user([&](User& user) {
    HWND box = WaitForDialog(user.Gui(), L"Confirmation");
    if (!user.Check(box != nullptr, "no question about the temporary files")) return;
    user.Equal(MessageText(box), L"Delete temporary files?", "its text");
    Press(box, IDYES);
    box = WaitForDialog(user.Gui(), L"Error");
    if (!user.Check(box != nullptr, "no error message")) return;
    user.Equal(MessageText(box), L"The folder cannot be made.", "the error's text");
    Press(box, IDOK);
    box = WaitForDialog(user.Gui(), L"Warning!");
    if (!user.Check(box != nullptr, "no destination question")) return;
    user.Equal(MessageText(box), L"Select another destination folder?", "the question's text");
    Press(box, IDCANCEL);
    // The last question is ended by a stop, as the run's stop ends it.
    box = WaitForDialog(user.Gui(), L"Confirmation");
    if (!user.Check(box != nullptr, "no last question")) return;
    prompter.Stop();
    user.Check(WaitFor([&] { return !IsWindow(box); }, 5000), "the stop left the message box");
  });
  const ULONGLONG end = GetTickCount64() + kTimeoutMs;
  while (!done && GetTickCount64() < end) {
    Pump(0);
    Sleep(10);
  }
  if (!done) prompter.Stop();
  worker.join();
  ExpectNoFailures(user.Finish());
  EXPECT_TRUE(deleteAnswer);
  EXPECT_FALSE(otherDestination.has_value()) << "Cancel gives the run up";
  EXPECT_FALSE(stoppedAnswer);
  // Stopped: a later question of a run's thread is not asked at all (it would wait forever:
  // nothing here serves the interface thread's queue).
  stoppedAnswer = true;
  std::thread late([&] { stoppedAnswer = prompter.AskDeleteTemporaryFiles(1); });
  late.join();
  EXPECT_FALSE(stoppedAnswer);
}
