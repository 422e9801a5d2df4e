// The limit bar's state and arithmetic: scale, limit lines, the band of seen
// values and the value marker. Painting is done by the window layer from the
// list of fills that planBar returns.
#pragma once

#include <cstdint>

// (left, top, right, bottom); right and bottom edges excluded.
struct BarRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const BarRect&) const = default;
};

enum class BarFill : uint8_t {
  Frame,       // black outline, button-face inside (limits off)
  InRange,     // (64,128,64)
  OutOfRange,  // (255,0,0)
  SeenBand,    // (224,224,128)
  Marker,      // white
};

struct BarPaint {
  BarRect rect;
  BarFill fill = BarFill::Frame;
  bool operator==(const BarPaint&) const = default;
};

// At most: two out-of-range zones, in-range zone, seen band, last marker, marker.
inline constexpr int BAR_PLAN_CAPACITY = 6;

struct BarPlan {
  BarPaint items[BAR_PLAN_CAPACITY];
  int count = 0;
  void add(BarRect r, BarFill f) {
    if (count < BAR_PLAN_CAPACITY) items[count++] = BarPaint{r, f};
  }
  bool operator==(const BarPlan& o) const {
    if (count != o.count) return false;
    for (int i = 0; i < count; ++i)
      if (!(items[i] == o.items[i])) return false;
    return true;
  }
};

inline constexpr float BAR_SEEN_MIN_RESET = 1.0e9f;
inline constexpr float BAR_SEEN_MAX_RESET = -1.0e9f;

class LimitBar {
 public:
  explicit LimitBar(BarRect area) : barArea(area) {}

  // Each moves its line only while the lower one stays below the upper one.
  void setBarLow(float v);
  void setBarHigh(float v);

  // Pixel row of value u: bottom edge minus the scaled height, truncated.
  int32_t position(float u) const;

  // What a draw of value v paints, in order; updates lastMarker and, with
  // the limits off, resets the seen band.
  BarPlan planBar(float v);

  BarRect barArea;
  BarRect lastMarker{};
  float lowLimit = -5.0f;
  float highLimit = 5.0f;
  float scaleLow = -10.0f;
  float scaleHigh = 10.0f;
  float shownValue = 0.0f;
  float seenMin = BAR_SEEN_MIN_RESET;
  float seenMax = BAR_SEEN_MAX_RESET;
  int32_t limitsShown = 0;

 private:
  void recomputeScale();
};
