#include "win_test_support.h"

#include <cstdlib>

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); !done(); driver::pump(10))
    if (GetTickCount() - start > timeoutMs) return false;
  return true;
}

namespace {
HBITMAP screenCopy(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP copy = CreateCompatibleBitmap(dc, r.right, r.bottom);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return copy;
}
}  // namespace

Pixels::Pixels(HBITMAP bitmap) : memory_(CreateCompatibleDC(nullptr)), old_(SelectObject(memory_, bitmap)) {
  GetObjectW(bitmap, sizeof info_, &info_);
}

Pixels::Pixels(HWND window) : Pixels(screenCopy(window)) {
  copy_ = static_cast<HBITMAP>(GetCurrentObject(memory_, OBJ_BITMAP));
}

Pixels::~Pixels() {
  SelectObject(memory_, old_);
  DeleteDC(memory_);
  if (copy_ != nullptr) DeleteObject(copy_);
}

int Pixels::count(COLORREF colour, int tolerance) const {
  int found = 0;
  for (int y = 0; y < info_.bmHeight; ++y) {
    for (int x = 0; x < info_.bmWidth; ++x) {
      const COLORREF c = at(x, y);
      found += std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
               std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
               std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance;
    }
  }
  return found;
}
