// Functions of system libraries that the program loads only when it needs them.
#pragma once

#include <windows.h>

namespace ui {

// The exported function as the given pointer type, or null.
template <typename Function>
Function LibraryFunction(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // Through a plain function pointer type, which any function pointer may be cast to.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace ui
