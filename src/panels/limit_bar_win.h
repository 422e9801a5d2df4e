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

  // What is on the screen: a refresh that would paint the same is skipped
  // (the panel's paint repaints the bar whenever the screen lost it).
  mutable BarPlan shown_;
  mutable bool painted_ = false;

  HBRUSH inRangeBrush;
  HBRUSH outOfRangeBrush;
  HBRUSH frameBrush;
  HBRUSH seenBrush;
};
