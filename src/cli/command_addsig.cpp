// lumenard-cli addsig FILE.filesig: adds the file type of a signature file to the saved
// database, or updates the type with the same id.
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/engine_session.h"
#include "platform/text.h"
#include "signatures/file_types.h"
#include "signatures/signature_file.h"

namespace {

// The desktop program shows these texts in message boxes; here they are printed.
class PrintedMessages : public ISignatureMessages {
 public:
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
    (caption == u"ok" ? std::cout : std::cerr) << platform::Utf16ToUtf8(text) << "\n";
  }
};

int RunAddSignature(const CliArgs& args) {
  if (args.size() != 1) return CliUsageError("addsig takes one signature file");
  EngineSession session;
  FileTypeDatabase local;
  FileTypeDatabase& database = g_pFileTypes ? *g_pFileTypes : local;
  PrintedMessages messages;
  const FileType* type = AddSignatureFile(database, platform::Utf8ToUtf16(args[0]), messages);
  if (!type) return kExitFailure;
  std::cout << type->TypeId << " " << platform::Utf16ToUtf8(type->DisplayName()) << "\n";
  return kExitSuccess;
}

}  // namespace

LUMENARD_CLI_COMMAND(addsig, "addsig FILE.filesig",
                     "add or update a file type from a signature file", RunAddSignature);
