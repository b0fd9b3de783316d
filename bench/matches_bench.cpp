// The cost of testing one 512-byte unit against every built-in file type, as the sector scanner
// does for every unit of a drive: random data (most of a drive), data full of near misses
// (headers that pass a first condition and fail a later one), zeros, and text.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "signatures/file_types.h"
#include "signatures/type_matcher.h"

namespace {

using namespace std::literals;

constexpr size_t kUnit = 512;
constexpr size_t kBlock = 2 * 1024 * 1024;  // the scanner's block
constexpr int kRounds = 12;                 // passes over one block; the fastest counts

std::vector<uint8_t> RandomBlock(std::mt19937& random) {
  std::vector<uint8_t> block(kBlock);
  for (uint8_t& byte : block) byte = static_cast<uint8_t>(random());
  return block;
}

// Every unit starts with one of the prefixes that pass the first condition of some type and
// then fail on the rest, over random bytes.
std::vector<uint8_t> NearMissBlock(std::mt19937& random) {
  static const std::string_view prefixes[] = {
      "RIFF\x10\x20\x00\x00WAVE"sv,
      "RIFF\x00\x00\x01\x00"
      "AVI "sv,
      "\xFF\xD8\xFF\xDB"sv,
      "\xFF\xD8\xFF\xE2"sv,
      "PK\x03\x04\x0A\x00"sv,
      "\x89PNG\r\n\x1A\n\x00\x00\x00\x0CIHDX"sv,
      "BM\x10\x00"sv,
      "GIF89"sv,
      "\xEB\x58\x90MSDOS5.0"sv,
      "\x00\x00\x01\x00"sv,
      "II*\x00\x08\x00\x00\x00"sv,
      "\xD0\xCF\x11\xDF"sv,
  };
  std::vector<uint8_t> block = RandomBlock(random);
  size_t index = 0;
  for (size_t unit = 0; unit < kBlock; unit += kUnit) {
    std::string_view prefix = prefixes[index++ % std::size(prefixes)];
    std::memcpy(block.data() + unit, prefix.data(), prefix.size());
  }
  return block;
}

std::vector<uint8_t> TextBlock(std::mt19937& random) {
  static const char kWords[] =
      "the quick brown fox jumps over the lazy dog <p> <br> <b> HTM lt; \r\n";
  std::vector<uint8_t> block(kBlock);
  for (uint8_t& byte : block) byte = static_cast<uint8_t>(kWords[random() % (sizeof(kWords) - 1)]);
  return block;
}

// The plain loop of the scanner's specification: Matches of every type, in list order.
size_t PlainPass(const FileTypeDatabase& database, const std::vector<uint8_t>& block) {
  size_t matches = 0;
  for (size_t unit = 0; unit < kBlock; unit += kUnit)
    for (const auto& type : database.Types())
      if (FileTypeDatabase::Matches(*type, block.data() + unit, kBlock - unit)) ++matches;
  return matches;
}

size_t ScreenedPass(const TypeMatcher& matcher, const std::vector<uint8_t>& block) {
  size_t matches = 0;
  for (size_t unit = 0; unit < kBlock; unit += kUnit)
    matcher.ForEachMatch(block.data() + unit, kBlock - unit,
                         [&](const FileType&) { return ++matches, true; });
  return matches;
}

// The fastest of several passes over one block: other programs on the machine only ever add time.
template <typename Pass>
double NanosecondsPerUnit(Pass pass, size_t* matches) {
  double best = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    *matches = pass();
    std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count() / (kBlock / kUnit));
  }
  return best;
}

void Report(const char* name, const FileTypeDatabase& database, const TypeMatcher& matcher,
            const std::vector<uint8_t>& block) {
  size_t plainMatches = 0, screenedMatches = 0;
  double plain = NanosecondsPerUnit([&] { return PlainPass(database, block); }, &plainMatches);
  double screened =
      NanosecondsPerUnit([&] { return ScreenedPass(matcher, block); }, &screenedMatches);
  std::printf("%-10s %9.1f %12.1f %10zu%s\n", name, plain, screened, plainMatches,
              plainMatches == screenedMatches ? "" : "  (the two ways disagree!)");
}

}  // namespace

int main() {
  FileTypeDatabase database;
  for (FileType& type : BuiltinTypes()) database.AddType(std::move(type));
  TypeMatcher matcher(database);
  std::printf(
      "Matches over %zu built-in types (%zu signatures), ns per 512-byte unit, fastest of %d "
      "passes\n"
      "over a 2 MiB block; plain: Matches of every type in turn, screened: TypeMatcher.\n\n",
      database.Types().size(), matcher.ScreenCount(), kRounds);
  std::printf("%-10s %9s %12s %10s\n", "data", "plain", "screened", "matches");

  std::mt19937 random(20240611);
  Report("random", database, matcher, RandomBlock(random));
  Report("near-miss", database, matcher, NearMissBlock(random));
  Report("zeros", database, matcher, std::vector<uint8_t>(kBlock, 0));
  Report("text", database, matcher, TextBlock(random));
  return 0;
}
