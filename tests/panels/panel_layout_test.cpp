#include "panels/panel_layout.h"

#include <gtest/gtest.h>

namespace {

PanelLayoutInput exampleInput() {
  PanelLayoutInput in;
  in.screenWidth = 1022;
  in.screenHeight = 719;
  in.frameX = 3;
  in.frameY = 3;
  in.valueExtent = {96, 24};
  in.numberExtent = {26, 17};
  in.fieldExtent = {80, 16};
  in.column = 2;
  in.row = 5;
  return in;
}

bool overlap(const LayoutRect& a, const LayoutRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(PanelLayout, ControlsFitTheCellWithoutOverlapping) {
  const PanelLayout p = computePanelLayout(exampleInput());
  EXPECT_EQ(p.panel, (LayoutRect{511, 449, 255, 90}));
  const LayoutRect bar{0, 0, p.barArea.right, p.barArea.bottom};
  for (int a = 0; a < PANEL_SLOT_COUNT; ++a) {
    const LayoutRect& k = p.controls[a];
    EXPECT_TRUE(k.width > 0 && k.height > 0 && k.x >= 0 && k.y >= 0) << a;
    EXPECT_TRUE(k.x + k.width <= p.panel.width && k.y + k.height <= p.panel.height) << a;
    EXPECT_FALSE(overlap(k, bar)) << a;
    for (int b = a + 1; b < PANEL_SLOT_COUNT; ++b) EXPECT_FALSE(overlap(k, p.controls[b])) << a << " " << b;
  }
}

TEST(PanelLayout, GridCellsTileTheScreen) {
  PanelLayoutInput in = exampleInput();
  // Neighbouring cells meet exactly although W / 4 and H / 8 do not divide.
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 8; ++r) {
      in.column = c;
      in.row = r;
      const LayoutRect cell = computePanelLayout(in).panel;
      if (c == 3) EXPECT_EQ(cell.x + cell.width, 1022);
      if (r == 7) EXPECT_EQ(cell.y + cell.height, 719);
      if (c < 3) {
        in.column = c + 1;
        EXPECT_EQ(computePanelLayout(in).panel.x, cell.x + cell.width);
      }
    }
  }
}

TEST(PanelLayout, TallCellCapsButtonHeight) {
  PanelLayoutInput in = exampleInput();
  in.screenHeight = 2000;  // h = 250: (250 - 18 - 24) / 2 = 104
  const PanelLayout p = computePanelLayout(in);
  EXPECT_EQ(p.controls[SLOT_MAX_BUTTON].height, 36);
  EXPECT_EQ(p.controls[SLOT_MIN_BUTTON].height, 36);
  EXPECT_EQ(p.controls[SLOT_MAX_BUTTON].y, 250 / 3 - 1 - 36 - 1);
  EXPECT_EQ(p.barArea.bottom, 2000 / 8 - 17 - 3);
}

}  // namespace
