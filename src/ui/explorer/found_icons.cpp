#include "ui/explorer/found_icons.h"

#include <shellapi.h>

#include <cstdint>
#include <initializer_list>
#include <span>

#include "ui/explorer/stock_icons.h"
#include "ui/framework/canvas.h"

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
  ui::CCanvas canvas(kSide, kSide);
  if (!canvas.Ready()) return nullptr;
  if (icon) ::DrawIconEx(canvas.Dc(), 0, 0, icon, kSide, kSide, 0, nullptr, DI_NORMAL);
  if (picture.look == Look::Deleted) {
    std::span<uint8_t> pixels = canvas.Pixels();
    for (size_t i = 0; i < pixels.size(); ++i)
      if (i % 4 != 3) pixels[i] = static_cast<uint8_t>((pixels[i] + 255) / 2);
  }
  DrawMark(canvas.Dc(), picture.mark);
  return canvas.TakeOpaqueBitmap();
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
