#include "platform/posix/registry_location.h"

#include <cstdlib>

namespace platform::registry_store {

namespace {

// Longest file name the common POSIX file systems take.
constexpr size_t kMaxFileNameBytes = 255;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = Environment("LUMENARD_HOME");
  if (!home.empty()) return home;
  std::string config = Environment("XDG_CONFIG_HOME");
  if (!config.empty()) return config + "/lumenard";
  std::string user = Environment("HOME");
  if (!user.empty()) return user + "/.config/lumenard";
  return {};
}

const char* RootName(RegistryRoot root) {
  return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

void AppendHex(std::string* out, unsigned value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out->push_back(kDigits[(value >> shift) & 0xF]);
}

// Printable ASCII stays (letters in lower case); '/', '%', control characters and a leading
// '.' become "%XX", other UTF-16 units "%uXXXX".
std::string EncodeComponent(std::u16string_view component) {
  std::string name;
  for (size_t i = 0; i < component.size(); ++i) {
    char16_t unit = component[i];
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
    bool plain =
        unit >= 0x20 && unit < 0x7F && unit != u'/' && unit != u'%' && !(i == 0 && unit == u'.');
    if (plain) {
      name.push_back(static_cast<char>(unit));
    } else if (unit < 0x80) {
      name.push_back('%');
      AppendHex(&name, unit, 2);
    } else {
      name += "%u";
      AppendHex(&name, unit, 4);
    }
  }
  return name;
}

}  // namespace

std::string RootFolder(RegistryRoot root) {
  std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + "/registry/" + RootName(root);
}

bool KeyFolderNames(std::u16string_view path, std::vector<std::string>* names) {
  names->clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    std::u16string_view component = path.substr(start, end - start);
    if (!component.empty()) {
      std::string name = EncodeComponent(component);
      if (name.size() > kMaxFileNameBytes) return false;
      names->push_back(std::move(name));
    }
    start = end + 1;
  }
  return true;
}

std::u16string KeyDisplayName(RegistryRoot root, std::u16string_view path) {
  std::string rootName = RootName(root);
  std::u16string text(rootName.begin(), rootName.end());
  if (!path.empty()) text += u'\\';
  text += path;
  return text;
}

}  // namespace platform::registry_store
