#include "ui/explorer/mark_images.h"

#include <cstdint>

namespace {

// A 32-bit 16 x 16 picture the caller draws into and then gives to an image list.
class Canvas {
 public:
  Canvas() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(nullptr);
    bitmap_ = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (bitmap_ && dc_) previous_ = ::SelectObject(dc_, bitmap_);
    RECT all{0, 0, 16, 16};
    if (dc_) ::FillRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    if (dc_) {
      if (previous_) ::SelectObject(dc_, previous_);
      ::DeleteDC(dc_);
    }
    if (bitmap_) ::DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  bool Ready() const { return dc_ && bitmap_ && previous_; }

  // GDI leaves the alpha bytes at 0, which the image list would take for transparent.
  void Finish() {
    ::GdiFlush();
    auto* pixels = static_cast<uint8_t*>(bits_);
    for (int i = 3; i < 16 * 16 * 4; i += 4) pixels[i] = 255;
  }

  void AddTo(HIMAGELIST images) {
    ::SelectObject(dc_, previous_);
    previous_ = nullptr;
    ImageList_Add(images, bitmap_, nullptr);
  }

 private:
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  void* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

void AddCheckBox(HIMAGELIST images, UINT state) {
  Canvas canvas;
  if (!canvas.Ready()) return;
  RECT box{2, 2, 15, 15};
  if (state) ::DrawFrameControl(canvas.Dc(), &box, DFC_BUTTON, state);
  canvas.Finish();
  canvas.AddTo(images);
}

}  // namespace

HIMAGELIST CreateMarkStateImages() {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32, 4, 0);
  if (!images) return nullptr;
  AddCheckBox(images, 0);
  AddCheckBox(images, DFCS_BUTTONCHECK | DFCS_FLAT);
  AddCheckBox(images, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_FLAT);
  AddCheckBox(images, DFCS_BUTTON3STATE | DFCS_CHECKED | DFCS_FLAT);
  return images;
}
