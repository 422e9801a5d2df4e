// Helpers of the panel tests under Wine: message pumping and pixels.
#pragma once

#include <windows.h>

#include <functional>

#include "win_driver.h"

// Dispatches messages until done() or the deadline; returns done().
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// The pixels of a bitmap, or of a copy of a window's client area as it is on the screen.
class Pixels {
 public:
  explicit Pixels(HBITMAP bitmap);
  explicit Pixels(HWND window);
  ~Pixels();
  COLORREF at(int x, int y) const { return GetPixel(memory_, x, y); }
  // How many have red, green and blue each within tolerance of colour's.
  int count(COLORREF colour, int tolerance = 0) const;

 private:
  HDC memory_;
  HGDIOBJ old_;
  HBITMAP copy_ = nullptr;
  BITMAP info_{};
};
