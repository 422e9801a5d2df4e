// Where a panel and its controls go in its grid cell. Pure integer
// arithmetic on 32-bit values; every division truncates toward zero.
#pragma once

#include <cstdint>

#include "panels/limit_bar.h"

struct LayoutSize {
  int32_t width = 0, height = 0;
};

// (x, y, width, height)
struct LayoutRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const LayoutRect&) const = default;
};

struct PanelLayoutInput {
  int32_t screenWidth = 0;   // W
  int32_t screenHeight = 0;  // H
  int32_t frameX = 0;        // SM_CXDLGFRAME
  int32_t frameY = 0;        // SM_CYDLGFRAME
  LayoutSize valueExtent;    // V: "-00.0000" in the value font
  LayoutSize numberExtent;   // N: "00" in the output-label font
  LayoutSize fieldExtent;    // S: "-00.0000" in the small fields' font, without the frame
  int32_t column = 0;
  int32_t row = 0;
};

enum PanelSlot : int {
  SLOT_OUTPUT,
  SLOT_VALUE,
  SLOT_UNIT,
  SLOT_NAME,
  SLOT_MAX_FIELD,
  SLOT_REF_FIELD,
  SLOT_MIN_FIELD,
  SLOT_ABS_FIELD,
  SLOT_MAX_BUTTON,
  SLOT_NUMBER,
  SLOT_RECORDING,
  SLOT_REF_BUTTON,
  SLOT_MIN_BUTTON,
  SLOT_AC_BUTTON,
  SLOT_SETTINGS_BUTTON,
  PANEL_SLOT_COUNT
};

inline constexpr int32_t PANEL_BUTTON_MAX_HEIGHT = 36;

struct PanelLayout {
  LayoutRect panel;  // in the parent's client area
  BarRect barArea;   // in panel coordinates
  LayoutRect controls[PANEL_SLOT_COUNT];
};

PanelLayout computePanelLayout(const PanelLayoutInput& in);
