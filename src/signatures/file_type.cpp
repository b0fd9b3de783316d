#include "signatures/file_type.h"

#include <algorithm>
#include <cstring>

namespace {

template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != 0) ++length;
  return std::u16string_view(field, length);
}

template <size_t N>
void SetField(char16_t (&field)[N], std::u16string_view text) {
  size_t length = std::min(text.size(), N - 1);
  std::fill(std::begin(field), std::end(field), char16_t{0});
  std::copy_n(text.begin(), length, field);
}

bool IsExtensionSeparator(char16_t c) { return c == u',' || c == u';'; }

bool IsStrippedFromExtension(char16_t c) {
  return c == u',' || c == u';' || c == u' ' || c == u'*' || c == u'.';
}

}  // namespace

FileType::FileType() : FileTypeHeader{} {
  Enabled = 1;
  Visible = 1;
  TypicalSizeKB = 1024;
  Coincidence = 100;
  Reserved44 = 50;
  SearchOrder = 50;
}

FileType FileType::Group(int32_t groupId, std::u16string_view name) {
  FileType group;
  group.GroupId = groupId;
  group.HasChildren = 1;
  group.SetTitle(name);
  return group;
}

std::u16string_view FileType::TitleText() const { return FieldText(Title); }
std::u16string_view FileType::DescriptionText() const { return FieldText(Description); }
std::u16string_view FileType::ExtensionsText() const { return FieldText(Extensions); }
std::u16string_view FileType::NamePrefixText() const { return FieldText(NamePrefix); }
std::u16string_view FileType::DescriptionUrlText() const { return FieldText(DescriptionUrl); }

std::u16string_view FileType::DisplayName() const {
  std::u16string_view title = TitleText();
  return title.empty() ? DescriptionText() : title;
}

std::u16string_view FileType::FirstExtension() const {
  std::u16string_view list = ExtensionsText();
  size_t end = 0;
  while (end < list.size() && !IsExtensionSeparator(list[end])) ++end;
  return list.substr(0, end);
}

std::vector<std::u16string> FileType::ExtensionList() const {
  std::vector<std::u16string> result;
  std::u16string_view rest = ExtensionsText();
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && !IsExtensionSeparator(rest[end])) ++end;
    std::u16string_view piece = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    while (!piece.empty() && IsStrippedFromExtension(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && IsStrippedFromExtension(piece.back())) piece.remove_suffix(1);
    if (!piece.empty()) result.emplace_back(piece);
  }
  return result;
}

void FileType::SetTitle(std::u16string_view text) { SetField(Title, text); }
void FileType::SetDescription(std::u16string_view text) { SetField(Description, text); }
void FileType::SetExtensions(std::u16string_view text) { SetField(Extensions, text); }
void FileType::SetNamePrefix(std::u16string_view text) { SetField(NamePrefix, text); }
void FileType::SetDescriptionUrl(std::u16string_view text) { SetField(DescriptionUrl, text); }

bool FileType::Matches(const uint8_t* candidate, size_t readable) const {
  for (const Signature& signature : Signatures)
    if (signature.Holds(candidate, readable)) return true;
  return false;
}

void FileType::ReplaceRecord(const FileType& other) {
  static_cast<FileTypeHeader&>(*this) = static_cast<const FileTypeHeader&>(other);
  Signatures = other.Signatures;
}
