#include "ui/framework/grey_image.h"

#include <cstring>

namespace ui {

uint32_t GreyPixel(uint32_t bgra) {
  const uint32_t colour = bgra & 0x00FFFFFFu;
  if (colour == 0) return bgra;
  const uint32_t blue = colour & 0xFF, green = (colour >> 8) & 0xFF, red = (colour >> 16) & 0xFF;
  // Integer weights of 0.299, 0.587 and 0.114 over 1000, rounded.
  const uint32_t grey = (299 * red + 587 * green + 114 * blue + 500) / 1000;
  return (bgra & 0xFF000000u) | (grey << 16) | (grey << 8) | grey;
}

void MakeGrey(std::span<uint32_t> pixels) {
  for (uint32_t& pixel : pixels) pixel = GreyPixel(pixel);
}

namespace {

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

bool IconPixels(HICON icon, int size, std::span<uint32_t> pixels) {
  if (!icon || size <= 0 || pixels.size() < static_cast<size_t>(size) * size) return false;
  ICONINFO iconInfo{};
  if (!::GetIconInfo(icon, &iconInfo)) return false;
  bool read = false;
  if (iconInfo.hbmColor) {
    BITMAPINFO info = TopDown32(size, size);
    HDC dc = ::GetDC(nullptr);
    read =
        ::GetDIBits(dc, iconInfo.hbmColor, 0, size, pixels.data(), &info, DIB_RGB_COLORS) == size;
    ::ReleaseDC(nullptr, dc);
  }
  if (iconInfo.hbmColor) ::DeleteObject(iconInfo.hbmColor);
  if (iconInfo.hbmMask) ::DeleteObject(iconInfo.hbmMask);
  return read;
}

HBITMAP BitmapOfPixels(std::span<const uint32_t> pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height)
    return nullptr;
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return bitmap;
  std::memcpy(bits, pixels.data(), static_cast<size_t>(width) * height * sizeof(uint32_t));
  return bitmap;
}

}  // namespace ui
