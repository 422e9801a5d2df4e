#include "panels/panel_layout.h"

#include <gtest/gtest.h>

namespace {

// A 1022 x 719 screen with the frames and text extents of a real machine; column 2, row 5 (a 90-pixel cell).
constexpr PanelLayoutInput EXAMPLE{1022, 719, 3, 3, {96, 24}, {26, 17}, {80, 16}, 2, 5};

bool overlap(const LayoutRect& a, const LayoutRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

// In a normal and a tall cell every control lies inside the cell, apart from the bar and the others; the bar
// follows the nominal cell height H / 8.
TEST(PanelLayout, ControlsFitTheCellWithoutOverlapping) {
  for (int height : {719, 2000}) {
    PanelLayoutInput in = EXAMPLE;
    in.screenHeight = height;
    const PanelLayout p = computePanelLayout(in);
    EXPECT_EQ(p.barArea.bottom, height / 8 - 17 - 3);
    const LayoutRect bar{0, 0, p.barArea.right, p.barArea.bottom};
    for (int a = 0; a < PANEL_SLOT_COUNT; ++a) {
      const LayoutRect& k = p.controls[a];
      SCOPED_TRACE(height * 100 + a);
      EXPECT_TRUE(k.width > 0 && k.height > 0 && k.x >= 0 && k.y >= 0);
      EXPECT_TRUE(k.x + k.width <= p.panel.width && k.y + k.height <= p.panel.height);
      EXPECT_FALSE(overlap(k, bar));
      for (int b = a + 1; b < PANEL_SLOT_COUNT; ++b) EXPECT_FALSE(overlap(k, p.controls[b])) << b;
    }
  }
}

// Neighbouring cells meet exactly although W / 4 and H / 8 do not divide.
TEST(PanelLayout, GridCellsTileTheScreen) {
  PanelLayoutInput in = EXAMPLE;
  int bottom[4] = {};
  for (in.row = 0; in.row < 8; ++in.row) {
    int right = 0;
    for (in.column = 0; in.column < 4; ++in.column) {
      const LayoutRect cell = computePanelLayout(in).panel;
      EXPECT_EQ(cell.x, right);
      EXPECT_EQ(cell.y, bottom[in.column]);
      right += cell.width;
      bottom[in.column] += cell.height;
    }
    EXPECT_EQ(right, 1022);
  }
  for (int b : bottom) EXPECT_EQ(b, 719);
}
