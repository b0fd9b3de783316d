#include "ui/framework/rebar.h"

#include <commctrl.h>

#include "ui/framework/module.h"

namespace ui {

bool CReBar::Create(HWND parent) {
  rebar_ =
      ::CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"",
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                            RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER | CCS_TOP,
                        0, 0, 0, 0, parent, nullptr, CModule::Instance(), nullptr);
  if (!rebar_) return false;
  REBARINFO info{sizeof(info)};
  ::SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
  return true;
}

int CReBar::AddBand(HWND child, SIZE minimum, bool breakLine) {
  REBARBANDINFOW band{};
  band.cbSize = sizeof(band);
  band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_ID | RBBIM_SIZE;
  band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | (breakLine ? RBBS_BREAK : 0);
  band.hwndChild = child;
  band.cxMinChild = minimum.cx;
  band.cyMinChild = minimum.cy;
  band.cx = minimum.cx;
  band.wID = static_cast<UINT>(bands_);
  ::SendMessageW(rebar_, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
  return bands_++;
}

void CReBar::ShowBand(int band, bool show) {
  const LRESULT index = ::SendMessageW(rebar_, RB_IDTOINDEX, band, 0);
  if (index >= 0) ::SendMessageW(rebar_, RB_SHOWBAND, index, show);
}

bool CReBar::IsBandVisible(int band) const {
  const LRESULT index = ::SendMessageW(rebar_, RB_IDTOINDEX, band, 0);
  if (index < 0) return false;
  REBARBANDINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = RBBIM_STYLE;
  ::SendMessageW(rebar_, RB_GETBANDINFOW, index, reinterpret_cast<LPARAM>(&info));
  return !(info.fStyle & RBBS_HIDDEN);
}

int CReBar::Height() const {
  if (!rebar_ || !::IsWindowVisible(rebar_)) return 0;
  RECT rect{};
  ::GetWindowRect(rebar_, &rect);
  return rect.bottom - rect.top;
}

}  // namespace ui
