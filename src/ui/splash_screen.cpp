#include "ui/splash_screen.h"

#include <thread>

#include "ui/framework/module.h"
#include "ui/framework/window.h"

namespace ui {

namespace {

constexpr UINT_PTR kCloseTimer = 1;

class CSplashWindow : public CCustomWindow {
 public:
  explicit CSplashWindow(HBITMAP bitmap) : bitmap_(bitmap) {}

 protected:
  bool OnCreate(const CREATESTRUCTW&) override {
    ::SetTimer(Handle(), kCloseTimer, CSplashScreen::kShowMilliseconds, nullptr);
    return true;
  }
  void OnTimer(UINT_PTR) override { Destroy(); }
  void OnDestroy() override {
    ::KillTimer(Handle(), kCloseTimer);
    ::PostQuitMessage(0);
  }
  bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message == WM_LBUTTONDOWN) {
      Destroy();
      return true;
    }
    if (message != WM_PAINT) return false;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, bitmap_);
    const RECT client = ClientRect();
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::EndPaint(Handle(), &paint);
    return true;
  }

 private:
  HBITMAP bitmap_;
};

}  // namespace

bool CSplashScreen::Show(int bitmapId) {
  bitmap_ = static_cast<HBITMAP>(::LoadImageW(CModule::Instance(), MAKEINTRESOURCEW(bitmapId),
                                              IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bitmap_) return false;
  try {
    // The object lives as long as the application object that keeps it.
    std::thread(&CSplashScreen::ThreadMain, this).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void CSplashScreen::Close() {
  if (HWND window = window_.load()) ::PostMessageW(window, WM_CLOSE, 0, 0);
}

void CSplashScreen::ThreadMain() {
  BITMAP size{};
  ::GetObjectW(bitmap_, sizeof(size), &size);
  if (!CCustomWindow::Register({kClassName, 0, 0, COLOR_WINDOW + 1})) return;

  const int left = (::GetSystemMetrics(SM_CXSCREEN) - size.bmWidth) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - size.bmHeight) / 2;
  CSplashWindow window(bitmap_);
  const RECT rect{left, top, left + size.bmWidth, top + size.bmHeight};
  if (!window.Create(kClassName, u"Lumenard", WS_POPUP | WS_VISIBLE,
                     WS_EX_TOOLWINDOW | WS_EX_TOPMOST, rect, nullptr, nullptr))
    return;
  window_ = window.Handle();
  ::UpdateWindow(window.Handle());

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  window_ = nullptr;
}

}  // namespace ui
