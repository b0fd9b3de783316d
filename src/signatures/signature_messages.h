// How the signature-file operations tell the user what happened: a message box with an OK
// button in the desktop program, a printed line in the command-line program, a record in tests.
#pragma once

#include <string_view>

class ISignatureMessages {
 public:
  virtual ~ISignatureMessages() = default;
  virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
};
