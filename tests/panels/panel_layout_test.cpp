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

TEST(PanelLayout, ExampleToThePixel) {
  const PanelLayout p = computePanelLayout(exampleInput());
  EXPECT_EQ(p.panel, (LayoutRect{511, 449, 255, 90}));
  EXPECT_EQ(p.barArea, (BarRect{0, 0, 25, 69}));
  const LayoutRect* k = p.controls;
  EXPECT_EQ(k[SLOT_OUTPUT], (LayoutRect{0, 69, 26, 17}));
  EXPECT_EQ(k[SLOT_VALUE], (LayoutRect{92, 29, 96, 24}));
  EXPECT_EQ(k[SLOT_UNIT], (LayoutRect{189, 29, 60, 24}));
  EXPECT_EQ(k[SLOT_NAME], (LayoutRect{28, 29, 61, 24}));
  EXPECT_EQ(k[SLOT_MAX_FIELD], (LayoutRect{26, 7, 86, 22}));
  EXPECT_EQ(k[SLOT_REF_FIELD], (LayoutRect{163, 7, 86, 22}));
  EXPECT_EQ(k[SLOT_MIN_FIELD], (LayoutRect{26, 53, 86, 22}));
  EXPECT_EQ(k[SLOT_ABS_FIELD], (LayoutRect{163, 53, 86, 22}));
  EXPECT_EQ(k[SLOT_MAX_BUTTON], (LayoutRect{112, 4, 18, 24}));
  EXPECT_EQ(k[SLOT_NUMBER], (LayoutRect{130, 0, 15, 13}));
  EXPECT_EQ(k[SLOT_RECORDING], (LayoutRect{130, 14, 15, 13}));
  EXPECT_EQ(k[SLOT_REF_BUTTON], (LayoutRect{145, 4, 18, 24}));
  EXPECT_EQ(k[SLOT_MIN_BUTTON], (LayoutRect{112, 53, 18, 24}));
  EXPECT_EQ(k[SLOT_AC_BUTTON], (LayoutRect{130, 53, 15, 24}));
  EXPECT_EQ(k[SLOT_SETTINGS_BUTTON], (LayoutRect{145, 53, 18, 24}));
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
