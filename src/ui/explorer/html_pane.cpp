#include "ui/explorer/html_pane.h"

struct CHtmlPane::Browser {};

CHtmlPane::CHtmlPane() = default;
CHtmlPane::~CHtmlPane() = default;

bool CHtmlPane::Create(HWND parent, std::u16string_view page) {
  window_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                              parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  return window_ != nullptr;
}
