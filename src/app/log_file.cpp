#include "app/log_file.h"

#include <bit>

static_assert(std::endian::native == std::endian::little, "lines are written as UTF-16LE from memory");

namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";
constexpr uint64_t kBytesPerChar = sizeof(char16_t);

}  // namespace

bool CLogFile::Open(std::u16string_view path, Start start, uint64_t limitBytes) {
  Close();
  path_ = std::u16string(path);
  limit_ = limitBytes;
  const bool opened = start == Start::Append ? file_.OpenWrite(path_, platform::CreateMode::OpenExisting) ||
                                                   file_.OpenWrite(path_, platform::CreateMode::CreateAlways)
                                             : file_.OpenWrite(path_, platform::CreateMode::CreateAlways);
  if (!opened) {
    path_.clear();
    return false;
  }
  // A file left with an odd length by something else would put every later character off by
  // one byte; the next line starts on the following even offset instead.
  size_ = file_.Size();
  size_ += size_ % kBytesPerChar;
  if (size_ >= limit_) return StartOver();
  return true;
}

void CLogFile::Close() {
  file_.Close();
  path_.clear();
  size_ = 0;
}

bool CLogFile::Append(std::u16string_view line) {
  if (!file_.IsOpen()) return false;
  const uint64_t maxChars = limit_ / kBytesPerChar;
  if (maxChars <= kLineEnd.size()) return false;
  if (line.size() > maxChars - kLineEnd.size()) line = line.substr(0, maxChars - kLineEnd.size());

  std::u16string text(line);
  text += kLineEnd;
  const uint64_t bytes = text.size() * kBytesPerChar;
  if (bytes > limit_ - size_ && !StartOver()) return false;
  if (!file_.WriteAt(size_, text.data(), static_cast<uint32_t>(bytes))) return false;
  size_ += bytes;
  return true;
}

bool CLogFile::StartOver() {
  file_.Close();
  size_ = 0;
  return file_.OpenWrite(path_, platform::CreateMode::CreateAlways);
}
