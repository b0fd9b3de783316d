// A one-line progress bar for long work on a terminal:
//
//   Analysing  [##########..........]  50%  1.2 GiB of 2.4 GiB  85.3 MiB/s  0:14 left
//
// It redraws at most ten times a second, whatever the rate of updates, and stays quiet when
// standard output is not a terminal (a pipe or a file gets only what the command prints).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

enum class ProgressUnit { Bytes, Items };

// What one line shows.
struct ProgressState {
  std::string label;   // UTF-8
  uint64_t total = 0;  // 0 when unknown: no bar, no percentage
  uint64_t position = 0;
  double perSecond = 0;  // 0 when not yet known
  ProgressUnit unit = ProgressUnit::Bytes;
};

// The line for a state, at most width columns (counted in characters, not bytes).
std::string FormatProgressLine(const ProgressState& state, int width);
// "512 B", "1.5 KiB", "2.4 GiB".
std::string FormatByteSize(uint64_t bytes);

class ProgressBar {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kRedrawInterval{100};

  // On standard output when it is a terminal; quiet otherwise.
  ProgressBar(std::string label, uint64_t total, ProgressUnit unit = ProgressUnit::Bytes);
  // On any stream, drawn or not, with a given clock and width: for tests and other front ends.
  ProgressBar(std::string label, uint64_t total, ProgressUnit unit, std::ostream& out, bool draw,
              std::function<Clock::time_point()> now, int width);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void SetLabel(std::string label);
  void SetTotal(uint64_t total);
  // Redraws when the last drawing is older than kRedrawInterval.
  void Update(uint64_t position);
  // Draws the final state and ends the line; later updates are ignored.
  void Finish();
  // Wipes the line, so that a message can be printed; the next update draws it again.
  void Clear();

  bool drawing() const { return draw_; }

 private:
  void Draw(Clock::time_point now);
  double Speed(Clock::time_point now) const;

  std::ostream& out_;
  bool draw_;
  std::function<Clock::time_point()> now_;
  int width_;
  ProgressState state_;
  Clock::time_point start_;
  Clock::time_point lastDraw_;
  bool drawnOnce_ = false;
  bool finished_ = false;
  size_t lastColumns_ = 0;
};
