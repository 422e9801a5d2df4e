#include "shell/window_place_win.h"

#include "shell/window_fit.h"

bool storedWindowRect(HWND window, int32_t rect[4]) {
  RECT r;
  if (IsIconic(window) || IsZoomed(window)) {
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    if (!GetWindowPlacement(window, &place)) return false;
    r = place.rcNormalPosition;
    // The normal position is in work-area coordinates of its monitor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor))
      OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
  } else if (!GetWindowRect(window, &r)) {
    return false;
  }
  rect[0] = r.left;
  rect[1] = r.top;
  rect[2] = r.right;
  rect[3] = r.bottom;
  return true;
}

void keepOnScreen(HWND window) {
  RECT r;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetWindowRect(window, &r) || !GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  int32_t rect[4] = {r.left, r.top, r.right, r.bottom};
  const int32_t area[4] = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
  keepInsideWorkArea(rect, area);
  if (rect[0] != r.left || rect[1] != r.top) SetWindowPos(window, nullptr, rect[0], rect[1], 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
