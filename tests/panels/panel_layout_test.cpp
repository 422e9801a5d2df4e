#include "panels/panel_layout.h"

#include <gtest/gtest.h>

namespace {

// A 1022 x 719 screen with the frames and text extents of a real machine.
constexpr PanelLayoutInput EXAMPLE{1022, 719, 3, 3, {96, 24}, {26, 17}, {80, 16}, 0, 0};

bool overlap(const LayoutRect& a, const LayoutRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

// On a normal and a tall screen neighbouring cells meet exactly although W / 4 and H / 8 do not divide, and
// every control lies inside its cell, apart from the bar and the others; the bar follows the nominal cell
// height H / 8.
TEST(PanelLayout, CellsTileTheScreenAndHoldTheirControls) {
  for (int height : {719, 2000}) {
    PanelLayoutInput in = EXAMPLE;
    in.screenHeight = height;
    int bottom[4] = {};
    for (in.row = 0; in.row < 8; ++in.row) {
      int right = 0;
      for (in.column = 0; in.column < 4; ++in.column) {
        const PanelLayout p = computePanelLayout(in);
        SCOPED_TRACE(testing::Message() << height << " row " << in.row << " column " << in.column);
        EXPECT_TRUE(p.panel.x == right && p.panel.y == bottom[in.column]);
        right += p.panel.width;
        bottom[in.column] += p.panel.height;
        EXPECT_EQ(p.barArea.bottom, height / 8 - 17 - 3);
        const LayoutRect bar{0, 0, p.barArea.right, p.barArea.bottom};
        for (int a = 0; a < PANEL_SLOT_COUNT; ++a) {
          const LayoutRect& k = p.controls[a];
          EXPECT_TRUE(k.width > 0 && k.height > 0 && k.x >= 0 && k.y >= 0) << a;
          EXPECT_TRUE(k.x + k.width <= p.panel.width && k.y + k.height <= p.panel.height) << a;
          EXPECT_FALSE(overlap(k, bar)) << a;
          for (int b = a + 1; b < PANEL_SLOT_COUNT; ++b) EXPECT_FALSE(overlap(k, p.controls[b])) << a << " " << b;
        }
      }
      EXPECT_EQ(right, 1022);
    }
    for (int b : bottom) EXPECT_EQ(b, height);
  }
}
