// Helpers of the panel tests under Wine: message pumping and pixels.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches messages until done() or the deadline; returns done().
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
void pumpFor(DWORD ms);

// Colour of a pixel of a window as it is on the screen.
COLORREF windowPixel(HWND window, int x, int y);
// Pixels of a window's client area, as on the screen, that have exactly this colour.
int countWindowPixels(HWND window, COLORREF colour);
// Colour of a pixel of a bitmap.
COLORREF bitmapPixel(HBITMAP bitmap, int x, int y);
