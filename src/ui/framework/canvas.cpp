#include "ui/framework/canvas.h"

namespace ui {

CCanvas::CCanvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  bitmap_ = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
  dc_ = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  if (!bitmap_ || !dc_ || !bits_) return;
  previous_ = ::SelectObject(dc_, bitmap_);
  RECT all{0, 0, width, height};
  ::FillRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

CCanvas::~CCanvas() {
  if (dc_) {
    if (previous_) ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  if (bitmap_) ::DeleteObject(bitmap_);
}

std::span<uint8_t> CCanvas::Pixels() {
  if (!Ready()) return {};
  ::GdiFlush();
  return {static_cast<uint8_t*>(bits_), static_cast<size_t>(width_) * height_ * 4};
}

HBITMAP CCanvas::TakeOpaqueBitmap() {
  std::span<uint8_t> pixels = Pixels();
  if (pixels.empty()) return nullptr;
  for (size_t alpha = 3; alpha < pixels.size(); alpha += 4) pixels[alpha] = 255;
  ::SelectObject(dc_, previous_);
  previous_ = nullptr;
  HBITMAP bitmap = bitmap_;
  bitmap_ = nullptr;
  bits_ = nullptr;
  return bitmap;
}

}  // namespace ui
