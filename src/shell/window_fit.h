// Size of the main window for the panels that are shown.
#pragma once

#include <cstdint>

#include "panels/panel_table.h"

struct ScreenMetrics {
  int fullWidth;   // SM_CXFULLSCREEN
  int fullHeight;  // SM_CYFULLSCREEN
  int borderX;     // SM_CXBORDER
  int borderY;     // SM_CYBORDER
  int caption;     // SM_CYCAPTION
  int menu;        // SM_CYMENU
  int dlgFrameY;   // SM_CYDLGFRAME
};

struct WindowPlace {
  int left, top, width, height;
};

// The panels grow the window from a minimum of a fifth by a tenth of the
// screen; a window that gets wider than 3/4 (taller than 7/8) of the screen
// moves to the left (top) edge.
WindowPlace fitMainWindow(const ScreenMetrics& m, PanelState* const panels[PANEL_COUNT], int left, int top);

// A stored window rectangle (left, top, right, bottom) that the work area
// (same form) does not hold whole is moved into it, keeping its size; one wider
// or taller than the area goes to the area's left or top edge.
void keepInsideWorkArea(int32_t rect[4], const int32_t area[4]);
