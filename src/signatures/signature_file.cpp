#include "signatures/signature_file.h"

#include <vector>

#include "platform/file.h"
#include "platform/text.h"

namespace {

constexpr char16_t kCantOpenText[] = u"Signature file '%s' can't open!";
constexpr char16_t kAddedText[] = u"Signature file '%s' added!";
constexpr char16_t kUpdatedText[] = u"Signature file '%s' updated!";
constexpr char16_t kWriteErrorText[] = u"Error write a file!";

std::u16string_view StripQuotesAndBlanks(std::u16string_view path) {
  auto strip = [](char16_t c) { return c == u'"' || c == u' ' || c == u'\t'; };
  while (!path.empty() && strip(path.front())) path.remove_prefix(1);
  while (!path.empty() && strip(path.back())) path.remove_suffix(1);
  return path;
}

// The whole file, when it opens and is not larger than a record may be.
bool ReadSignatureFile(std::u16string_view path, std::vector<uint8_t>* bytes,
                       std::u16string* problem) {
  platform::File file;
  if (!file.OpenRead(path)) {
    *problem = platform::SystemErrorMessage(platform::LastError());
    return false;
  }
  const uint64_t size = file.Size();
  if (size > kMaxSignatureFileSize) {
    *problem = platform::Format(u"%I64u bytes, more than the 16383 a file type may take", size);
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  platform::ReadResult read = file.ReadAt(0, bytes->data(), static_cast<uint32_t>(size));
  if (read.status != platform::ReadStatus::Ok || read.bytes != size) {
    *problem = u"the file could not be read whole";
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<FileType> ParseSignatureFile(std::span<const uint8_t> bytes,
                                             std::u16string* problem) {
  DeserializeResult read = DeserializeFileType(bytes);
  if (!read.type) {
    *problem = read.problem;
    return nullptr;
  }
  if (read.consumed != bytes.size()) {
    *problem = platform::Format(u"%u bytes follow the record of %u bytes",
                                static_cast<unsigned>(bytes.size() - read.consumed),
                                static_cast<unsigned>(read.consumed));
    return nullptr;
  }
  // Found objects keep 0 for "no type" and negative numbers for groups and folders.
  if (read.type->TypeId <= 0 || read.type->TypeId > kMaxTypeId) {
    *problem = platform::Format(u"the type id %d is not a type's", read.type->TypeId);
    return nullptr;
  }
  return std::move(read.type);
}

FileType* AddSignatureFile(FileTypeDatabase& database, std::u16string_view path,
                           ISignatureMessages& messages) {
  const std::u16string file(StripQuotesAndBlanks(path));
  if (!database.IsLoaded()) database.Load();

  std::vector<uint8_t> bytes;
  std::u16string problem;
  std::unique_ptr<FileType> type;
  if (ReadSignatureFile(file, &bytes, &problem)) type = ParseSignatureFile(bytes, &problem);
  if (!type) {
    LogFileTypeProblem(platform::Format(u"Signature file '%s' refused: %s", file, problem));
    messages.ShowMessage(platform::Format(kCantOpenText, file), u"Error!");
    return nullptr;
  }

  FileType* result = nullptr;
  const char16_t* text = kAddedText;
  if (FileType* existing = database.FindType(type->TypeId)) {
    if (database.ReplaceType(*existing, *type)) result = existing;
    text = kUpdatedText;
  } else {
    result = database.AddType(std::move(type));
  }
  if (!result) {
    messages.ShowMessage(platform::Format(kCantOpenText, file), u"Error!");
    return nullptr;
  }
  messages.ShowMessage(platform::Format(text, file), u"ok");
  database.Save();
  return result;
}

bool WriteSignatureFile(const FileType& type, std::u16string_view path) {
  std::vector<uint8_t> bytes = type.Serialize();
  platform::File file;
  if (!file.OpenWrite(path, platform::CreateMode::CreateAlways)) return false;
  bool written = file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  file.Close();
  return written;
}

bool SaveSignatureFile(const FileType& type, std::u16string_view path,
                       ISignatureMessages& messages) {
  if (WriteSignatureFile(type, path)) return true;
  messages.ShowMessage(kWriteErrorText, u"");
  return false;
}

FileType* AddToSignaturesList(FileTypeDatabase& database, std::unique_ptr<FileType> type) {
  if (!type) return nullptr;
  FileType* result = nullptr;
  if (FileType* existing = database.FindType(type->TypeId))
    result = database.ReplaceType(*existing, *type) ? existing : nullptr;
  else
    result = database.AddType(std::move(type));
  if (result) database.SaveType(*result);
  return result;
}

int ImportSignatureFileFromCommandLine(std::u16string_view argumentText,
                                       ISignatureMessages& messages) {
  if (g_pFileTypes) {
    AddSignatureFile(*g_pFileTypes, argumentText, messages);
  } else {
    FileTypeDatabase database;
    AddSignatureFile(database, argumentText, messages);
  }
  return 0;
}
