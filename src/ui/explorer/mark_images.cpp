#include "ui/explorer/mark_images.h"

#include "ui/framework/canvas.h"

namespace {

void AddCheckBox(HIMAGELIST images, UINT state) {
  ui::CCanvas canvas(16, 16);
  if (!canvas.Ready()) return;
  RECT box{2, 2, 15, 15};
  if (state) ::DrawFrameControl(canvas.Dc(), &box, DFC_BUTTON, state);
  HBITMAP bitmap = canvas.TakeOpaqueBitmap();
  ImageList_Add(images, bitmap, nullptr);
  ::DeleteObject(bitmap);
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
