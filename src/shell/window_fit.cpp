#include "shell/window_fit.h"

#include <algorithm>

WindowPlace fitMainWindow(const ScreenMetrics& m, PanelState* const panels[PANEL_COUNT], int left, int top) {
  int width = m.fullWidth / 5;
  int height = m.fullHeight / 10;
  for (int j = 0; j < PANEL_COUNT; ++j) {
    const PanelState* p = panels[j];
    if (!p || !p->visible.load()) continue;
    const int w = p->screenWidth.load(), h = p->screenHeight.load();
    const int column = p->column.load(), row = p->row.load();
    width = std::max(width, (column + 1) * w / 4 + 2 * m.borderX);
    height = std::max(height, m.menu + 2 * m.borderY + m.caption + (row + 1) * h / 8);
  }
  if (width > m.fullWidth * 3 / 4) left = 0;
  if (height > m.fullHeight * 7 / 8) top = 0;
  return {left, top, width, height + m.dlgFrameY};
}

void keepInsideWorkArea(int32_t rect[4], const int32_t area[4]) {
  for (int axis = 0; axis < 2; ++axis) {
    const int64_t size = int64_t{rect[axis + 2]} - rect[axis];
    const int64_t low = area[axis], high = area[axis + 2];
    int64_t from = rect[axis];
    if (from + size > high) from = high - size;
    if (from < low) from = low;
    rect[axis] = static_cast<int32_t>(from);
    rect[axis + 2] = static_cast<int32_t>(from + size);
  }
}
