#include "win_test_support.h"

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void pumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  pumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

COLORREF windowPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP copy = CreateCompatibleBitmap(dc, 1, 1);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, 1, 1, dc, x, y, SRCCOPY);
  const COLORREF colour = GetPixel(memory, 0, 0);
  SelectObject(memory, old);
  DeleteObject(copy);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return colour;
}

COLORREF bitmapPixel(HBITMAP bitmap, int x, int y) {
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const COLORREF colour = GetPixel(memory, x, y);
  SelectObject(memory, old);
  DeleteDC(memory);
  return colour;
}

int countWindowPixels(HWND window, COLORREF colour) {
  RECT r;
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP copy = CreateCompatibleBitmap(dc, r.right, r.bottom);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  int found = 0;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) found += GetPixel(memory, x, y) == colour;
  SelectObject(memory, old);
  DeleteObject(copy);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return found;
}
