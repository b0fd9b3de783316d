#include "cli/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using Clock = ProgressBar::Clock;
using std::chrono::milliseconds;

size_t Columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The last UTF-8 sequence has all its bytes.
bool EndsWithWholeCharacter(const std::string& text) {
  size_t lead = text.size();
  while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return text.empty();
  auto first = static_cast<unsigned char>(text[lead - 1]);
  size_t length = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
  return text.size() - (lead - 1) == length;
}

size_t Redraws(const std::string& output) {
  return static_cast<size_t>(std::count(output.begin(), output.end(), '\r'));
}

// A clock that moves only when the test says so.
struct FakeClock {
  Clock::time_point now{};
  std::function<Clock::time_point()> Function() {
    return [this] { return now; };
  }
};

TEST(ProgressFormat, ByteSizesChangeUnitAtEachPowerOf1024) {
  EXPECT_EQ(FormatByteSize(0), "0 B");
  EXPECT_EQ(FormatByteSize(1023), "1023 B");
  EXPECT_EQ(FormatByteSize(1024), "1.0 KiB");
  EXPECT_EQ(FormatByteSize(1536), "1.5 KiB");
  EXPECT_EQ(FormatByteSize(500ull << 20), "500 MiB");
  EXPECT_EQ(FormatByteSize(5ull << 40), "5.0 TiB");
  EXPECT_EQ(FormatByteSize(UINT64_MAX), "16 EiB");
}

TEST(ProgressFormat, LineShowsBarPercentAmountsSpeedAndTimeLeft) {
  ProgressState state{"Analysing", 4ull << 30, 1ull << 30, 256.0 * (1 << 20), ProgressUnit::Bytes};
  std::string line = FormatProgressLine(state, 100);
  EXPECT_EQ(line.rfind("Analysing  [", 0), 0u) << line;
  EXPECT_NE(line.find("25%"), std::string::npos) << line;
  EXPECT_NE(line.find("1.0 GiB of 4.0 GiB"), std::string::npos) << line;
  EXPECT_NE(line.find("256 MiB/s"), std::string::npos) << line;
  EXPECT_NE(line.find("0:12 left"), std::string::npos) << line;
  // A quarter of the bar is filled.
  size_t open = line.find('['), close = line.find(']');
  std::string bar = line.substr(open + 1, close - open - 1);
  EXPECT_EQ(std::count(bar.begin(), bar.end(), '#'), static_cast<long>(bar.size() / 4)) << bar;
}

TEST(ProgressFormat, OddPositionsAndTotalsStayReadable) {
  ProgressState past{"Copying", 100, 250, 0, ProgressUnit::Items};
  std::string line = FormatProgressLine(past, 80);
  EXPECT_NE(line.find("100%"), std::string::npos) << line;
  EXPECT_NE(line.find("250 of 100"), std::string::npos) << line;

  ProgressState unknown{"Imaging", 0, 3 << 20, 0, ProgressUnit::Bytes};
  line = FormatProgressLine(unknown, 80);
  EXPECT_EQ(line.find('['), std::string::npos) << line;
  EXPECT_EQ(line.find('%'), std::string::npos) << line;
  EXPECT_NE(line.find("3.0 MiB"), std::string::npos) << line;

  ProgressState huge{"Scanning", UINT64_MAX, UINT64_MAX / 2, 1e300, ProgressUnit::Bytes};
  EXPECT_NE(FormatProgressLine(huge, 120).find("49%"), std::string::npos);
}

TEST(ProgressFormat, LineNeverExceedsTheWidthNorCutsACharacter) {
  ProgressState state{
      "Analysing \xe5\x86\x99\xe7\x9c\x9f \xc3\x9c"
      "berlingen",
      1000, 400, 12.5, ProgressUnit::Items};
  for (int width = 1; width <= 130; ++width) {
    std::string line = FormatProgressLine(state, width);
    ASSERT_LE(Columns(line), static_cast<size_t>(width)) << line;
    EXPECT_TRUE(EndsWithWholeCharacter(line)) << width;
  }
  // When room is short, the percentage survives longer than the bar's extras.
  std::string narrow = FormatProgressLine(state, 45);
  EXPECT_NE(narrow.find("40%"), std::string::npos) << narrow;
}

TEST(ProgressBarTest, RedrawsAtMostTenTimesASecond) {
  std::ostringstream out;
  FakeClock clock;
  ProgressBar bar("Scanning", 10000, ProgressUnit::Items, out, true, clock.Function(), 80);
  for (int i = 1; i <= 1000; ++i) {
    clock.now += milliseconds(1);
    bar.Update(static_cast<uint64_t>(i));
  }
  // One second of updates every millisecond: the first draws, then one per 100 ms.
  EXPECT_GE(Redraws(out.str()), 10u);
  EXPECT_LE(Redraws(out.str()), 11u);
  bar.Finish();
  EXPECT_EQ(out.str().back(), '\n');
  size_t afterFinish = out.str().size();
  clock.now += milliseconds(500);
  bar.Update(5000);
  bar.Finish();
  EXPECT_EQ(out.str().size(), afterFinish);
}

TEST(ProgressBarTest, SpeedIsMeasuredFromTheClock) {
  std::ostringstream out;
  FakeClock clock;
  ProgressBar bar("Reading", 100ull << 20, ProgressUnit::Bytes, out, true, clock.Function(), 100);
  clock.now += std::chrono::seconds(2);
  bar.Update(20ull << 20);
  EXPECT_NE(out.str().find("10 MiB/s"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("0:08 left"), std::string::npos) << out.str();
}

TEST(ProgressBarTest, QuietWhenNotDrawing) {
  std::ostringstream out;
  FakeClock clock;
  {
    ProgressBar bar("Scanning", 10, ProgressUnit::Items, out, false, clock.Function(), 80);
    EXPECT_FALSE(bar.drawing());
    for (int i = 0; i <= 10; ++i) {
      clock.now += milliseconds(200);
      bar.Update(static_cast<uint64_t>(i));
    }
    bar.Clear();
    bar.Finish();
  }
  EXPECT_TRUE(out.str().empty());
}

TEST(ProgressBarTest, ShorterLinesWipeWhatTheLongerOneLeftAndClearEmptiesTheLine) {
  std::ostringstream out;
  FakeClock clock;
  ProgressBar bar("A long label for the first drawing", 0, ProgressUnit::Items, out, true,
                  clock.Function(), 80);
  bar.Update(1);
  std::string first = out.str();
  bar.SetLabel("Short");
  clock.now += milliseconds(150);
  bar.Update(2);
  std::string second = out.str().substr(first.size());
  EXPECT_EQ(Columns(second), Columns(first)) << "the new line must cover the old one";

  out.str("");
  bar.Clear();
  std::string wipe = out.str();
  ASSERT_GE(wipe.size(), 7u);
  EXPECT_EQ(wipe.front(), '\r');
  EXPECT_EQ(wipe.back(), '\r');
  EXPECT_EQ(wipe.find_first_not_of(' ', 1), wipe.size() - 1) << "only blanks between the returns";
  // The next update draws at once, even within the interval.
  bar.Update(3);
  EXPECT_NE(out.str().find("Short"), std::string::npos);
  bar.Finish();
}

}  // namespace
