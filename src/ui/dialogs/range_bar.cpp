#include "ui/dialogs/range_bar.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "resources/explorer_dialogs.h"
#include "ui/framework/module.h"
#include "volumes/virtual_drive.h"

namespace {

struct RangeState {
  int start = 0;
  int end = kVirtualRangeUnits;
  // The end being dragged: 0 start, 1 end, -1 none.
  int dragging = -1;
};

RangeState* StateOf(HWND window) {
  return reinterpret_cast<RangeState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

int PositionAt(HWND window, int x) {
  RECT client;
  ::GetClientRect(window, &client);
  if (client.right <= 0) return 0;
  return std::clamp(static_cast<int>(static_cast<long long>(x) * kVirtualRangeUnits / client.right),
                    0, kVirtualRangeUnits);
}

int XOf(const RECT& client, int position) {
  return static_cast<int>(static_cast<long long>(position) * client.right / kVirtualRangeUnits);
}

void Report(HWND window, const RangeState& state) {
  ::PostMessageW(::GetParent(window), UM_RANGE_CHANGED, static_cast<WPARAM>(state.start),
                 static_cast<LPARAM>(state.end));
}

void Paint(HWND window, const RangeState& state) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
  RECT chosen{XOf(client, state.start), client.top, XOf(client, state.end), client.bottom};
  if (chosen.right <= chosen.left) chosen.right = chosen.left + 1;
  ::FillRect(dc, &chosen, ::GetSysColorBrush(COLOR_HIGHLIGHT));
  ::FrameRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOWFRAME));
  if (::GetFocus() == window) ::DrawFocusRect(dc, &client);
  ::EndPaint(window, &paint);
}

void MoveEnd(HWND window, RangeState& state, int end, int position) {
  if (end == 0)
    state.start = std::min(position, state.end);
  else
    state.end = std::max(position, state.start);
  ::InvalidateRect(window, nullptr, FALSE);
  Report(window, state);
}

LRESULT CALLBACK RangeBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RangeState* state = StateOf(window);
  switch (message) {
    case WM_NCCREATE:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new RangeState));
      break;
    case WM_NCDESTROY:
      delete state;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    case WM_PAINT:
      if (!state) break;
      Paint(window, *state);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      if (!state) break;
      ::SetFocus(window);
      const int position = PositionAt(window, GET_X_LPARAM(lParam));
      state->dragging =
          std::abs(position - state->start) <= std::abs(position - state->end) ? 0 : 1;
      // Both ends at one place: a click to the right widens the range.
      if (state->start == state->end && position > state->end) state->dragging = 1;
      ::SetCapture(window);
      MoveEnd(window, *state, state->dragging, position);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!state || state->dragging < 0) break;
      MoveEnd(window, *state, state->dragging, PositionAt(window, GET_X_LPARAM(lParam)));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (state) state->dragging = -1;
      if (message == WM_LBUTTONUP) ::ReleaseCapture();
      return 0;
    case WM_KEYDOWN:
      // Left and Right move the start, with Shift the end, by a hundredth of the drive.
      if (!state || (wParam != VK_LEFT && wParam != VK_RIGHT)) break;
      {
        const int step = wParam == VK_LEFT ? -10 : 10;
        const int end = ::GetKeyState(VK_SHIFT) < 0 ? 1 : 0;
        const int from = end == 0 ? state->start : state->end;
        MoveEnd(window, *state, end, std::clamp(from + step, 0, kVirtualRangeUnits));
      }
      return 0;
    case kRangeBarSetRange:
      if (!state) break;
      state->start = std::clamp(static_cast<int>(wParam), 0, kVirtualRangeUnits);
      state->end = std::clamp(static_cast<int>(lParam), state->start, kVirtualRangeUnits);
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case kRangeBarGetRange:
      if (!state) break;
      return MAKELRESULT(state->start, state->end);
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterRangeBar() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (::GetClassInfoExW(ui::CModule::Instance(), L"LumenardRangeBar", &windowClass)) return true;
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = RangeBarProcedure;
  windowClass.hInstance = ui::CModule::Instance();
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_SIZEWE);
  windowClass.lpszClassName = L"LumenardRangeBar";
  return ::RegisterClassExW(&windowClass) != 0;
}
