// The limit bar painted into its panel window.
#pragma once

#include <windows.h>

#include "panels/limit_bar.h"

class LimitBarWindow : public LimitBar {
 public:
  LimitBarWindow(HWND window, BarRect area);
  ~LimitBarWindow();
  LimitBarWindow(const LimitBarWindow&) = delete;
  LimitBarWindow& operator=(const LimitBarWindow&) = delete;

  // Paints the bar for value v on the window's device context.
  void drawBar(float v);
  // Paints the bar again as last drawn (after the window was repainted),
  // leaving its state alone.
  void repaintBar() const;

  HWND window;

 private:
  void paint(const BarPlan& plan) const;

  HBRUSH inRangeBrush;
  HBRUSH outOfRangeBrush;
  HBRUSH frameBrush;
  HBRUSH seenBrush;
};
