// The signature-file import tells the user what happened in a message box with an OK button.
#pragma once

#include "signatures/signature_messages.h"

namespace ui {

class CSignatureMessageBox : public ISignatureMessages {
 public:
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
};

}  // namespace ui
