#include "panels/panel_layout.h"

#include <algorithm>

PanelLayout computePanelLayout(const PanelLayoutInput& in) {
  const int32_t W = in.screenWidth, H = in.screenHeight;
  const int32_t fx = in.frameX, fy = in.frameY;
  const int32_t c = in.column, r = in.row;
  const LayoutSize V = in.valueExtent, N = in.numberExtent;
  const LayoutSize S{in.fieldExtent.width + 2 * fx, in.fieldExtent.height + 2 * fy};

  PanelLayout out;
  const int32_t x = c * W / 4, y = r * H / 8;
  const int32_t w = (c + 1) * W / 4 - x;
  const int32_t h = (r + 1) * H / 8 - y;
  out.panel = {x, y, w, h};
  // The bar follows the nominal cell height H / 8, not this cell's h.
  out.barArea = {0, 0, N.width - 1, H / 8 - N.height - fy};

  const int32_t vx = N.width + (w - V.width - N.width) / 2;
  const int32_t vy = h / 3 - 1;
  const int32_t vh = h / 3 - 2 * fy;
  const int32_t E = w - 2 * fx - vx - V.width;
  const int32_t R = w - 2 * fx - S.width;
  const int32_t bh = std::min((h - 6 * fy - V.height) / 2, PANEL_BUTTON_MAX_HEIGHT);
  const int32_t X0 = S.width + N.width;
  const int32_t bw = (R - X0) / 3 + 1;
  const int32_t mw = R - (R + 2 * X0) / 3 - bw - 1;

  LayoutRect* k = out.controls;
  k[SLOT_OUTPUT] = {0, out.barArea.bottom, N.width, N.height};
  k[SLOT_VALUE] = {vx, vy, V.width, vh};
  k[SLOT_UNIT] = {vx + V.width + 1, vy, E - 1, vh};
  k[SLOT_NAME] = {N.width - 1 + fx, vy, E, vh};
  k[SLOT_MAX_FIELD] = {N.width, vy - S.height, S.width, S.height};
  k[SLOT_REF_FIELD] = {R, vy - S.height, S.width, S.height};
  k[SLOT_MIN_FIELD] = {N.width, vy + vh, S.width, S.height};
  k[SLOT_ABS_FIELD] = {R, vy + vh, S.width, S.height};
  k[SLOT_MAX_BUTTON] = {X0, vy - bh - 1, bw, bh};
  k[SLOT_NUMBER] = {X0 + bw, 0, mw, vy / 2 - 1};
  k[SLOT_RECORDING] = {X0 + bw, vy / 2, mw, vy / 2 - 1};
  k[SLOT_REF_BUTTON] = {R - bw, vy - bh - 1, bw, bh};
  k[SLOT_MIN_BUTTON] = {X0, vy + vh, bw, bh};
  k[SLOT_AC_BUTTON] = {X0 + bw, vy + vh, mw, bh};
  k[SLOT_SETTINGS_BUTTON] = {R - bw, vy + vh, bw, bh};
  return out;
}
