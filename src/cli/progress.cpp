#include "cli/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "platform/console.h"

namespace {

constexpr int kDefaultWidth = 80;
constexpr int kMinBar = 10;
constexpr int kMaxBar = 30;
// Speeds measured over less time than this say more about the clock than about the work.
constexpr double kMinSecondsForSpeed = 0.25;

// Characters, not bytes: UTF-8 continuation bytes take no column.
size_t Columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The longest prefix of at most columns characters, never cutting a character in two.
std::string FirstColumns(const std::string& text, size_t columns) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen == columns) return text.substr(0, i);
    ++seen;
  }
  return text;
}

std::string FormatAmount(uint64_t value, ProgressUnit unit) {
  return unit == ProgressUnit::Bytes ? FormatByteSize(value) : std::to_string(value);
}

std::string FormatSpeed(double perSecond, ProgressUnit unit) {
  if (unit == ProgressUnit::Bytes) {
    double clamped = std::min(perSecond, 1.8e19);
    return FormatByteSize(static_cast<uint64_t>(clamped)) + "/s";
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, perSecond < 10 ? "%.1f/s" : "%.0f/s", perSecond);
  return buffer;
}

std::string FormatDuration(double seconds) {
  if (!(seconds < 360000)) return "99:59:59";
  auto total = static_cast<long long>(seconds + 0.5);
  char buffer[32];
  if (total >= 3600)
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, total % 60);
  return buffer;
}

int Percent(uint64_t position, uint64_t total) {
  if (total == 0) return 0;
  if (position >= total) return 100;
  return static_cast<int>(static_cast<long double>(position) * 100 / total);
}

std::string Bar(uint64_t position, uint64_t total, int width) {
  long double share = position >= total ? 1.0L : static_cast<long double>(position) / total;
  int filled = static_cast<int>(share * width);
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(width - filled), '.') + "]";
}

}  // namespace

std::string FormatByteSize(uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  return buffer;
}

std::string FormatProgressLine(const ProgressState& state, int width) {
  const bool known = state.total > 0;
  // The parts after the bar, the least needed last: they go first when the line is narrow.
  std::vector<std::string> parts;
  if (known) parts.push_back(std::to_string(Percent(state.position, state.total)) + "%");
  parts.push_back(known ? FormatAmount(state.position, state.unit) + " of " +
                              FormatAmount(state.total, state.unit)
                        : FormatAmount(state.position, state.unit));
  if (state.perSecond > 0) {
    parts.push_back(FormatSpeed(state.perSecond, state.unit));
    if (known && state.position < state.total)
      parts.push_back(
          FormatDuration(static_cast<double>(state.total - state.position) / state.perSecond) +
          " left");
  }

  const size_t limit = static_cast<size_t>(std::max(width, 1));
  auto tail = [&parts] {
    std::string text;
    for (const std::string& part : parts) text += "  " + part;
    return text;
  };
  auto room = [&] {
    return static_cast<long>(limit) - static_cast<long>(Columns(state.label + tail()));
  };

  // Drop optional parts until a bar of the smallest width fits, keeping the percentage.
  while (known && room() < kMinBar + 4 && parts.size() > 1) parts.pop_back();
  std::string line = state.label;
  if (known && room() >= kMinBar + 4)
    line += "  " +
            Bar(state.position, state.total, static_cast<int>(std::min<long>(kMaxBar, room() - 4)));
  line += tail();
  return FirstColumns(line, limit);
}

ProgressBar::ProgressBar(std::string label, uint64_t total, ProgressUnit unit)
    : ProgressBar(std::move(label), total, unit, std::cout,
                  platform::IsTerminal(platform::ConsoleStream::Output), Clock::now,
                  platform::TerminalWidth() > 0 ? platform::TerminalWidth() : kDefaultWidth) {}

ProgressBar::ProgressBar(std::string label, uint64_t total, ProgressUnit unit, std::ostream& out,
                         bool draw, std::function<Clock::time_point()> now, int width)
    : out_(out), draw_(draw), now_(std::move(now)), width_(width) {
  state_.label = std::move(label);
  state_.total = total;
  state_.unit = unit;
  start_ = now_();
}

ProgressBar::~ProgressBar() {
  if (!finished_) Finish();
}

void ProgressBar::SetLabel(std::string label) { state_.label = std::move(label); }

void ProgressBar::SetTotal(uint64_t total) { state_.total = total; }

void ProgressBar::Update(uint64_t position) {
  if (finished_) return;
  state_.position = position;
  if (!draw_) return;
  Clock::time_point now = now_();
  if (drawnOnce_ && now - lastDraw_ < kRedrawInterval) return;
  Draw(now);
}

void ProgressBar::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!draw_) return;
  Draw(now_());
  out_ << "\n";
  out_.flush();
}

void ProgressBar::Clear() {
  if (!draw_ || lastColumns_ == 0) return;
  out_ << "\r" << std::string(lastColumns_, ' ') << "\r";
  out_.flush();
  lastColumns_ = 0;
  drawnOnce_ = false;
}

double ProgressBar::Speed(Clock::time_point now) const {
  double seconds = std::chrono::duration<double>(now - start_).count();
  if (seconds < kMinSecondsForSpeed) return 0;
  return static_cast<double>(state_.position) / seconds;
}

void ProgressBar::Draw(Clock::time_point now) {
  state_.perSecond = Speed(now);
  // One column less than the terminal, so that the cursor never wraps to a new line.
  std::string line = FormatProgressLine(state_, std::max(width_ - 1, 1));
  size_t columns = Columns(line);
  out_ << "\r" << line;
  if (columns < lastColumns_) out_ << std::string(lastColumns_ - columns, ' ');
  out_.flush();
  lastColumns_ = columns;
  lastDraw_ = now;
  drawnOnce_ = true;
}
