#include "app/command_line.h"

#include "app/app.h"

namespace {

constexpr std::u16string_view kAddSignatureSwitch = u"/addsig";
constexpr std::u16string_view kSignatureWizardSwitch = u"/cs";
// The switch and the one character that separates it from the path.
constexpr size_t kAddSignatureSkip = kAddSignatureSwitch.size() + 1;

}  // namespace

StartupRequest ParseCommandLine(std::u16string_view commandLine) {
  StartupRequest request;
  const size_t addsig = commandLine.find(kAddSignatureSwitch);
  if (addsig != std::u16string_view::npos) {
    request.action = StartupRequest::Action::ImportSignatureFile;
    // A command line that ends with the switch leaves nothing to import.
    const size_t start = addsig + kAddSignatureSkip;
    if (start < commandLine.size())
      request.signatureFile = std::u16string(commandLine.substr(start));
    return request;
  }
  request.mode = commandLine.find(kSignatureWizardSwitch) != std::u16string_view::npos
                     ? ModeSignatureWizard
                     : ModeWizard;
  return request;
}
