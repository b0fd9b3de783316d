// Fuzz target for the file-type record reader: registry values and .filesig files come from
// outside. Whatever the bytes, reading must stay inside them, a record that is taken must
// serialize back to the same bytes, and matching with the conditions it carries must stay
// inside the candidate and agree between the plain loop and the screened matcher.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "signatures/file_types.h"
#include "signatures/signature_file.h"
#include "signatures/type_matcher.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckMatching(const FileType& type, std::span<const uint8_t> bytes) {
  FileTypeDatabase database;
  FileType* added = database.AddType(std::make_unique<FileType>(type));
  if (!added) return;
  TypeMatcher matcher(database);
  // Candidates of several readable lengths, each in a heap block of exactly that size, so that
  // the sanitizer sees a read past it.
  for (size_t readable : {size_t{0}, size_t{3}, size_t{512}, bytes.size()}) {
    std::vector<uint8_t> candidate(bytes.begin(), bytes.begin() + std::min(readable, bytes.size()));
    candidate.resize(readable, 0x5A);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[readable ? readable : 1]);
    std::copy(candidate.begin(), candidate.end(), exact.get());
    bool plain = added->Matches(exact.get(), readable);
    bool screened = false;
    matcher.ForEachMatch(exact.get(), readable,
                         [&](const FileType&) { return screened = true, false; });
    Check(plain == screened);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);

  DeserializeResult read = DeserializeFileType(bytes);
  Check(read.type ? read.problem.empty() && read.consumed <= size : !read.problem.empty());
  if (read.type) {
    std::vector<uint8_t> again = read.type->Serialize();
    Check(again.size() == read.consumed);
    Check(std::equal(again.begin(), again.end(), bytes.begin()));
    CheckMatching(*read.type, bytes);
  }

  std::u16string problem;
  std::unique_ptr<FileType> file = ParseSignatureFile(bytes, &problem);
  Check(!file || (read.type && read.consumed == size));
  return 0;
}
