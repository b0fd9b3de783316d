// Logging every found file (LogFoundFiles) during the file-system analysis of a big FAT image:
// the analysis runs with the option off and on, in turn, and the seconds of each are compared.
// The log lines go to a log window:
//   - built natively: a target that takes each posted line as a window's queue would (what the
//     engine itself pays per line: the text, its time stamp, the log's copy, the post);
//   - built for Windows with the program's window code: the explorer window's status-bar log
//     list itself, in a window whose thread takes its messages while the analysis runs, and
//     the found-object notices go to a window of that thread too, as in the program. Then the
//     time until the list shows the last line counts as well.
//
// Each run reports its wall time and the processor time of the program (on a shared machine
// the second is the steadier). --engine-only sends the lines to the counting target on
// Windows too.
//
//   bench_log_found_files IMAGE [RUNS] [--engine-only]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#ifdef LUMENARD_BENCH_WINDOW
#include <windows.h>

#include "ui/explorer/main_frame_log_view.h"
#include "ui/framework/module.h"
#include "ui/framework/window_target.h"
#endif

#include "app/app.h"
#include "app/log.h"
#include "app/message_target.h"
#include "app/messages.h"
#include "app/settings_store.h"
#include "platform/text.h"
#include "volumes/computer.h"
#include "volumes/volume.h"
// The engine's LoadImage, not the Win32 macro of that name.
#undef LoadImage
#include "volumes/image.h"

namespace {

using Clock = std::chrono::steady_clock;

#ifdef LUMENARD_BENCH_WINDOW
constexpr bool kHaveWindows = true;
#else
constexpr bool kHaveWindows = false;
#endif

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and kernel seconds of this process so far.
double ProcessorSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& time) {
    return ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
#else
  return double(std::clock()) / CLOCKS_PER_SEC;
#endif
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Takes the messages of a window that lives on no thread: counts them.
class CountingTarget : public IMessageTarget {
 public:
  void Post(uint32_t message, uintptr_t, intptr_t) override {
    if (message == UM_LOG_LINE) ++lines;
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Post(message, wParam, lParam);
    return 0;
  }
  std::atomic<uint64_t> lines{0};
};

// Where the analysis's messages go, and how its end is waited for.
class Windows {
 public:
  explicit Windows(bool engineOnly) : window_(kHaveWindows && !engineOnly) {
    if (!window_) {
      g_pApp->SetMainWindowTarget(&counter_);
      g_pApp->SetLogWindowTarget(&counter_);
      return;
    }
#ifdef LUMENARD_BENCH_WINDOW
    ui::CModule::Init(::GetModuleHandleW(nullptr));
    main_ = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 100, nullptr,
                              nullptr, nullptr, nullptr);
    log_.Create(main_);
    g_pApp->SetMainWindowTarget(ui::TargetForWindow(main_));
    g_pApp->SetLogWindowTarget(log_.Target());
#endif
  }
  ~Windows() {
    g_pApp->SetMainWindowTarget(nullptr);
    g_pApp->SetLogWindowTarget(nullptr);
#ifdef LUMENARD_BENCH_WINDOW
    if (main_) ::DestroyWindow(main_);
#endif
  }

  // Until the analysis has ended; on Windows the window thread takes its messages meanwhile.
  void WaitWhile(const std::atomic<int32_t>& running) {
    while (running.load() != 0) {
#ifdef LUMENARD_BENCH_WINDOW
      if (!window_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      Pump();
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
#else
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
#endif
    }
  }

  // Until the log list shows the newest line (natively there is no list: at once).
  void WaitForList() {
#ifdef LUMENARD_BENCH_WINDOW
    while (window_) {
      Pump();
      if (log_.QueuedLines() == 0) break;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
#endif
  }

  uint64_t ListLines() const {
#ifdef LUMENARD_BENCH_WINDOW
    if (window_) return static_cast<uint64_t>(::SendMessageW(log_.Combo(), CB_GETCOUNT, 0, 0));
#endif
    return counter_.lines.load();
  }

 private:
#ifdef LUMENARD_BENCH_WINDOW
  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  HWND main_ = nullptr;
  ui::CLogView log_;
#endif
  const bool window_;
  CountingTarget counter_;
};

struct Run {
  double analysis = 0;   // start to the end of the analysis
  double shown = 0;      // start until the log list has taken every line
  double processor = 0;  // processor seconds of the analysis and the list
  uint64_t files = 0;
};

Run AnalyseOnce(CLocalComputer& computer, CVolume& volume, Windows& windows, bool logFiles) {
  g_pApp->Settings.LogFoundFiles = logFiles ? 1 : 0;
  Run run;
  const Clock::time_point start = Clock::now();
  const double processorStart = ProcessorSeconds();
  computer.Analysis.StartAnalysis(volume);
  windows.WaitWhile(computer.Status->Running);
  computer.Analysis.WaitForPasses(volume, 600000);
  run.analysis = SecondsSince(start);
  windows.WaitForList();
  run.shown = SecondsSince(start);
  run.processor = ProcessorSeconds() - processorStart;
  run.files = volume.FileSystemFiles;
  return run;
}

}  // namespace

double Percent(double base, double value) { return base > 0 ? (value - base) / base * 100 : 0; }

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMAGE [RUNS] [--engine-only]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const bool engineOnly = argc > 3 && std::string(argv[3]) == "--engine-only";

  CApp app;
  g_pApp = &app;
  FillDefaults(app.Settings);
  app.Settings.AutoSectorScan = 0;
  app.Settings.AnalyzeQueued = 0;
  CLocalComputer* computer = CreateLocalComputer();
  CVolume* volume = LoadImage(*computer, platform::Utf8ToUtf16(argv[1]));
  if (!volume) {
    std::fprintf(stderr, "cannot load the image %s\n", argv[1]);
    return 1;
  }
  Windows windows(engineOnly);
#ifdef LUMENARD_BENCH_WINDOW
  std::printf("log lines to %s\n", engineOnly ? "a counting target" : "the explorer's log list");
#else
  std::printf("log lines to a counting target\n");
#endif

  std::vector<double> off, on, shown, offCpu, onCpu;
  uint64_t files = 0;
  // One run that fills the page cache, then off and on in turn.
  AnalyseOnce(*computer, *volume, windows, false);
  for (int index = 0; index < runs; ++index) {
    const Run plain = AnalyseOnce(*computer, *volume, windows, false);
    const Run logged = AnalyseOnce(*computer, *volume, windows, true);
    off.push_back(plain.analysis);
    offCpu.push_back(plain.processor);
    on.push_back(logged.analysis);
    shown.push_back(logged.shown);
    onCpu.push_back(logged.processor);
    files = logged.files;
    std::printf(
        "run %d: without %.3f s (%.3f s processor), with LogFoundFiles %.3f s (list "
        "complete %.3f s, %.3f s processor)\n",
        index + 1, plain.analysis, plain.processor, logged.analysis, logged.shown,
        logged.processor);
  }
  const double a = Median(off), b = Median(on), c = Median(shown);
  const double ca = Median(offCpu), cb = Median(onCpu);
  std::printf(
      "%llu files; medians: without %.3f s, with %.3f s (%+.1f %%), list complete %.3f s "
      "(%+.1f %%); processor %.3f s and %.3f s (%+.1f %%); %zu log lines, %llu in the "
      "list\n",
      static_cast<unsigned long long>(files), a, b, Percent(a, b), c, Percent(a, c), ca, cb,
      Percent(ca, cb), g_pLog ? g_pLog->LineCount() : size_t{0},
      static_cast<unsigned long long>(windows.ListLines()));
  computer->Analysis.Shutdown();
  return 0;
}
