// Where the POSIX registry store keeps a key: one folder per key below the root's folder, its
// values in a file inside it (docs/formats/registry-store.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform::registry_store {

// The values file inside a key's folder. Its leading dot keeps it apart from subkey folders,
// whose names never start with a dot.
constexpr const char* kValuesFileName = ".values";

// The folder of a root: $LUMENARD_HOME, else $XDG_CONFIG_HOME/lumenard, else
// $HOME/.config/lumenard, followed by "/registry/HKEY_CURRENT_USER" or
// "/registry/HKEY_CLASSES_ROOT". The environment is read at each call, so a change of it
// takes effect at the next open. Empty when none of the three variables is set.
std::string RootFolder(RegistryRoot root);

// The folder names of a key path below its root: one per component between backslashes,
// ASCII letters folded to lower case and anything a file name cannot hold escaped, so that
// equal keys in any case give the same folder. Empty components are skipped. False when a
// component would not fit in a file name.
bool KeyFolderNames(std::u16string_view path, std::vector<std::string>* names);

// "HKEY_CURRENT_USER\<path>": how warnings name a key.
std::u16string KeyDisplayName(RegistryRoot root, std::u16string_view path);

}  // namespace platform::registry_store
