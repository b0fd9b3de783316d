#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace testing_support {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path folder = fs::temp_directory_path() /
                    ("lumenard-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(folder);
  path_ = folder.u16string();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(fs::path(path_), ignored);
}

std::u16string TempFolder::File(std::u16string_view name) const {
  return (fs::path(path_) / fs::path(std::u16string(name))).u16string();
}

std::u16string FixturePath(std::string_view name) {
  const char* dir = std::getenv("LUMENARD_FIXTURES");
  if (!dir || !*dir) return {};
  std::string path = std::string(dir) + "/" + std::string(name);
#ifdef _WIN32
  // Wine maps the Unix root to drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  fs::path p = fs::u8path(path);
  if (!fs::exists(p)) return {};
  return p.u16string();
}

std::vector<uint8_t> ReadWholeFile(const std::u16string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteWholeFile(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace testing_support
