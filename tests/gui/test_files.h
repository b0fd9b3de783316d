// The files the window tests read: the fixtures, what the program wrote, and folders for it
// to write into, with the Unix paths of the test's environment as Wine's Windows paths.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gui_testing {

// The whole file, shared with a writer that still holds it open; empty when it cannot be opened.
inline std::vector<char> ReadFileBytes(const std::wstring& path) {
  std::vector<char> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read != 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  CloseHandle(file);
  return bytes;
}

// A Unix path as Wine sees it on drive Z:.
inline std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// $LUMENARD_FIXTURES/relative as a Windows path; empty when it is not there.
inline std::wstring FixturePath(const std::wstring& relative) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"LUMENARD_FIXTURES", buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::wstring path = WindowsPath(std::wstring(buffer, length) + L"/" + relative);
  return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

// A new empty folder below the temporary folder.
inline std::wstring NewTempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

}  // namespace gui_testing
