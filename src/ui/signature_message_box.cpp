#include "ui/signature_message_box.h"

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace ui {

void CSignatureMessageBox::ShowMessage(std::u16string_view text, std::u16string_view caption) {
  const std::u16string message(text);
  const std::u16string title(caption);
  // No window exists during an import: the box has no owner.
  ::MessageBoxW(nullptr, platform::W(message.c_str()), platform::W(title.c_str()), MB_OK);
}

}  // namespace ui
