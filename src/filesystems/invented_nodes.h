// The store's own nodes ("Lost folders", "Lost files", a file-type group folder) above an
// object the drive has no folder for, as the start of that object's path.
#pragma once

#include <string>

#include "filesystems/found_object.h"

class FoundObjectStore;

// The names of the store's nodes above an object that is not below the root, outermost first,
// each followed by the separator ("Lost files\Images\"). Empty for what lies below the root, and
// for a parent chain that breaks off or loops.
std::u16string InventedNodePrefix(const FoundObjectStore& store, const FoundObject& object,
                                  char16_t separator);
