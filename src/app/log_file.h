// The log's own file, kept while the program runs when the settings ask for it: one UTF-16LE
// line after another, each ending with CR LF, no byte-order mark. The file never grows past its
// size limit: a line that would cross it starts the file over, so it always holds the latest lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

class CLogFile {
 public:
  enum class Start { Append, Clear };

  // Opens or creates the file; Append keeps what it holds (unless that is already at the limit).
  bool Open(std::u16string_view path, Start start, uint64_t limitBytes);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  const std::u16string& Path() const { return path_; }
  uint64_t Size() const { return size_; }

  // False when the write failed; the file stays open and the caller decides.
  bool Append(std::u16string_view line);

 private:
  bool StartOver();

  platform::File file_;
  std::u16string path_;
  uint64_t size_ = 0;
  uint64_t limit_ = 0;
};
