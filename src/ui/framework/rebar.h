// The rebar at the top of a frame: one band per toolbar, each shown or hidden on its own.
#pragma once

#include <windows.h>

namespace ui {

class CReBar {
 public:
  bool Create(HWND parent);
  HWND Handle() const { return rebar_; }
  // Adds the child as a band of at least the given size; the band's identifier is its index.
  int AddBand(HWND child, SIZE minimum, bool breakLine);
  void ShowBand(int band, bool show);
  bool IsBandVisible(int band) const;
  // The height the rebar takes after laying out its bands for the parent's width.
  int Height() const;

 private:
  HWND rebar_ = nullptr;
  int bands_ = 0;
};

}  // namespace ui
