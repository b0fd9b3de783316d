// Screenshots of the window tests: a rectangle of a device context copied into 24-bit pixels and
// written as a BMP file into $LUMENARD_ARTIFACTS, which ./run test turns into PNG files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gui_testing {

// Bottom-up rows of 24-bit pixels, each row padded to four bytes, as a BMP file holds them.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// Copies width × height pixels at (x, y) of source. Null, or what failed.
inline const char* CaptureArea(HDC source, int x, int y, int width, int height, Capture& capture) {
  capture = {width, height, {}};
  if (width <= 0 || height <= 0) return "the window has no area";
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // A copy of what is shown. (Wine's PrintWindow leaves the bitmap black.)
  const char* failure = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) ? nullptr : "BitBlt failed";
  SelectObject(memory, old);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  capture.pixels.resize(stride * static_cast<size_t>(height));
  if (GetDIBits(memory, bitmap, 0, height, capture.pixels.data(), &info, DIB_RGB_COLORS) != height && !failure)
    failure = "GetDIBits did not return every row";
  DeleteObject(bitmap);
  DeleteDC(memory);
  return failure;
}

inline bool WriteBmp(const std::wstring& path, const Capture& capture) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = capture.width;
  header.biHeight = capture.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(capture.pixels.size());
  header.biXPelsPerMeter = header.biYPelsPerMeter = 2835;  // 72 dpi
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) && written == sizeof(file);
  ok = ok && WriteFile(out, &header, sizeof(header), &written, nullptr) && written == sizeof(header);
  ok = ok && WriteFile(out, capture.pixels.data(), header.biSizeImage, &written, nullptr) &&
       written == header.biSizeImage;
  CloseHandle(out);
  return ok;
}

// $LUMENARD_ARTIFACTS, made when missing; empty when it is not set. A Unix path when the test
// runs under Wine, which maps the root to Z:.
inline std::wstring ArtifactsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"LUMENARD_ARTIFACTS", buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(buffer, length);
  if (folder[0] == L'/') folder = L"Z:" + folder;
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace gui_testing
