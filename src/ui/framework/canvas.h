// A small 32-bit picture drawn with GDI and then handed to an image list: white to begin with,
// its pixels open to the caller between the drawing steps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace ui {

class CCanvas {
 public:
  CCanvas(int width, int height);
  ~CCanvas();
  CCanvas(const CCanvas&) = delete;
  CCanvas& operator=(const CCanvas&) = delete;

  bool Ready() const { return dc_ && bitmap_ && previous_ && bits_; }
  HDC Dc() const { return dc_; }
  // The pixels as blue, green, red and alpha bytes, top row first, once GDI has drawn them.
  std::span<uint8_t> Pixels();
  // The picture with every pixel opaque (GDI leaves the alpha bytes at 0, which an image list
  // takes for transparent); the caller deletes it. Null when the canvas could not be made.
  HBITMAP TakeOpaqueBitmap();

 private:
  int width_;
  int height_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  void* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace ui
