#include "ui/explorer/found_icons.h"

#include <shellapi.h>

#include <cstdint>
#include <initializer_list>

#include "ui/explorer/stock_icons.h"

namespace {

constexpr int kSide = 16;

enum class Look { Plain, Deleted };
enum class Mark { None, HoldsDeleted, Lost, Scanned };

struct Picture {
  bool folder;
  bool open;
  Look look;
  Mark mark;
};

// By icon number.
constexpr Picture kPictures[kFoundIconCount] = {
    {false, false, Look::Plain, Mark::None},        {false, false, Look::Deleted, Mark::None},
    {true, false, Look::Plain, Mark::None},         {true, true, Look::Plain, Mark::None},
    {true, false, Look::Plain, Mark::HoldsDeleted}, {true, true, Look::Plain, Mark::HoldsDeleted},
    {true, false, Look::Deleted, Mark::None},       {true, true, Look::Deleted, Mark::None},
    {true, false, Look::Plain, Mark::Lost},         {true, true, Look::Plain, Mark::Lost},
    {false, false, Look::Plain, Mark::Scanned},     {false, false, Look::Deleted, Mark::Scanned},
};

HICON OpenFolderIcon() {
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof(info);
  if (SUCCEEDED(::SHGetStockIconInfo(SIID_FOLDEROPEN, SHGSI_ICON | SHGSI_SMALLICON, &info)))
    return info.hIcon;
  return SmallShellIcon(ShellIcon::Folder);
}

COLORREF MarkColour(Mark mark) {
  switch (mark) {
    case Mark::Lost:
      return RGB(208, 48, 48);
    case Mark::Scanned:
      return RGB(40, 110, 210);
    case Mark::HoldsDeleted:
    case Mark::None:
      break;
  }
  return RGB(128, 128, 128);
}

void DrawMark(HDC dc, Mark mark) {
  if (mark == Mark::None) return;
  HBRUSH brush = ::CreateSolidBrush(MarkColour(mark));
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::Ellipse(dc, 9, 9, kSide, kSide);
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::DeleteObject(brush);
}

// The icon drawn on white into a 32-bit bitmap, faded for deleted objects (still plain to see
// for the shell's pale file icon), with its mark.
HBITMAP DrawPicture(HICON icon, const Picture& picture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kSide;
  info.bmiHeader.biHeight = -kSide;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  if (!bitmap || !dc || !bits) {
    if (dc) ::DeleteDC(dc);
    if (bitmap) ::DeleteObject(bitmap);
    return nullptr;
  }
  HGDIOBJ previous = ::SelectObject(dc, bitmap);
  RECT all{0, 0, kSide, kSide};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  if (icon) ::DrawIconEx(dc, 0, 0, icon, kSide, kSide, 0, nullptr, DI_NORMAL);
  ::GdiFlush();
  auto* pixels = static_cast<uint8_t*>(bits);
  if (picture.look == Look::Deleted) {
    for (int i = 0; i < kSide * kSide * 4; ++i)
      if (i % 4 != 3) pixels[i] = static_cast<uint8_t>((pixels[i] + 255) / 2);
  }
  DrawMark(dc, picture.mark);
  ::GdiFlush();
  // GDI leaves the alpha bytes at 0, which the image list would take for transparent.
  for (int i = 3; i < kSide * kSide * 4; i += 4) pixels[i] = 255;
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);
  return bitmap;
}

}  // namespace

HIMAGELIST CreateFoundImageList() {
  HIMAGELIST images = ImageList_Create(kSide, kSide, ILC_COLOR32, kFoundIconCount, 4);
  if (!images) return nullptr;
  HICON file = SmallShellIcon(ShellIcon::File);
  HICON folder = SmallShellIcon(ShellIcon::Folder);
  HICON openFolder = OpenFolderIcon();
  for (const Picture& picture : kPictures) {
    HICON icon = !picture.folder ? file : picture.open ? openFolder : folder;
    HBITMAP bitmap = DrawPicture(icon, picture);
    // A picture that cannot be drawn still takes its place, so the numbers stay right.
    if (!bitmap || ImageList_Add(images, bitmap, nullptr) < 0) {
      if (HICON blank = ::CopyIcon(icon)) {
        ImageList_AddIcon(images, blank);
        ::DestroyIcon(blank);
      }
    }
    if (bitmap) ::DeleteObject(bitmap);
  }
  for (HICON icon : {file, folder, openFolder})
    if (icon) ::DestroyIcon(icon);
  return images;
}
