// Fixed sizes of a trend graph: traces, history, divisions, zoom factors and
// time scales, and the pixel rectangle the plot arithmetic works in.
#pragma once

#include <cstdint>

inline constexpr int TRACE_COUNT = 8;
inline constexpr int HISTORY_POINTS = 2048;
inline constexpr int VERTICAL_DIVISIONS = 4;
inline constexpr int HORIZONTAL_DIVISIONS = 4;
inline constexpr double SCALE_UNITS = 1000.0;  // view units over a channel's whole range
inline constexpr int ZOOM_STEP_COUNT = 10;
inline constexpr double ZOOM_FACTORS[ZOOM_STEP_COUNT] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
inline constexpr int GRID_STEP = 30;   // pixels (= points) per time division
inline constexpr int LABEL_STEP = 60;  // pixels between time labels; the scroll step
inline constexpr int PRINT_WIDTH_THRESHOLD = 1920;  // wider curve areas are printer pages
inline constexpr int TIME_SCALE_COUNT = 10;
// Seconds per point of each time scale, which is also minutes per time label.
inline constexpr int32_t SECONDS_PER_POINT[TIME_SCALE_COUNT] = {1, 2, 4, 10, 20, 60, 120, 240, 600, 1200};
inline constexpr int INPUT_CHANNELS = 32;

struct PlotRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PlotRect&) const = default;
  int width() const { return right > left ? right - left : left - right; }
  int height() const { return bottom > top ? bottom - top : top - bottom; }
  // Edges included.
  bool contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
};
