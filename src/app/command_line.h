// The program's command line: "/addsig" followed by a signature file imports that file and ends
// without a window (the .filesig association produces it); "/cs" opens the New Signature Wizard
// instead of the wizard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct StartupRequest {
  enum class Action { OpenWindow, ImportSignatureFile };
  Action action = Action::OpenWindow;
  int32_t mode = 0;              // for OpenWindow: the mode to run
  std::u16string signatureFile;  // for ImportSignatureFile: the text after the switch
};

// The whole command line as one string, program path included. "/addsig" wins over "/cs";
// the import gets the text from the eighth character after the start of "/addsig" (the switch
// and one separator) to the end, quotes and all.
StartupRequest ParseCommandLine(std::u16string_view commandLine);
