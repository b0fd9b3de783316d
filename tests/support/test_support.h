// Helpers shared by the test executables of every subsystem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A fresh empty folder for one test, removed when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::u16string& path() const { return path_; }
  // A path inside the folder, with the platform's separator.
  std::u16string File(std::u16string_view name) const;

 private:
  std::u16string path_;
};

// A drive image made by tests/fixtures/*.sh, as a path this platform opens (Z:\ under Wine).
// Empty when the fixtures were not made (the test then skips).
std::u16string FixturePath(std::string_view name);

std::vector<uint8_t> ReadWholeFile(const std::u16string& path);
bool WriteWholeFile(const std::u16string& path, const std::vector<uint8_t>& bytes);

}  // namespace testing_support
