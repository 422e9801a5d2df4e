// The viewer's window onto a recording: the rows in view (time), the share of
// every trace's range in view (values), zooming, scrolling, the undo of zooms
// and following the end of a recording that grows. No drawing here.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/trace_envelope.h"

struct View {
  RowSpan span;
  // The values in view as shares of each trace's range: 0 its low end, 1 its high end.
  double bottom = 0.0, top = 1.0;
  bool operator==(const View&) const = default;
};

class ViewModel {
 public:
  static constexpr double MIN_ROWS = 4.0;       // the deepest zoom: rows across the plot
  static constexpr double MIN_VALUE_SHARE = 1e-6;

  // The file's rows now. A view at the end of the recording follows it: the
  // whole recording stays whole, a zoomed view moves on with the end.
  void setRowCount(uint64_t rows);
  uint64_t rowCount() const { return rows_; }
  const View& view() const { return view_; }
  // Whether the view shows the last row.
  bool atEnd() const;

  // Each returns true when the view changed. Zooms can be undone.
  bool showAll();
  // factor > 1 shows more rows, < 1 fewer; anchor: the share of the width that stays put.
  bool zoomTime(double factor, double anchor, bool remember = true);
  // The rectangle between shares x0..x1 of the width and y0..y1 of the height (0: the bottom).
  bool zoomTo(double x0, double x1, double y0, double y1);
  // A share of the view's width (negative: back in time), or of its height.
  bool scrollTime(double share);
  bool scrollValues(double share);
  // Puts position at the middle of the view, keeping the zoom.
  bool centreOn(double position);
  bool undo();
  bool canUndo() const { return !undo_.empty(); }

 private:
  bool apply(View next, bool remember);
  View clamped(View v) const;
  double wholeRows() const { return rows_ > 0 ? static_cast<double>(rows_) : 1.0; }

  uint64_t rows_ = 0;
  View view_;
  std::vector<View> undo_;
};

// Time axis: ticks at round steps, labelled in seconds from the start of the
// recording or in clock time.
struct TimeTick {
  double seconds;  // from the start of the recording
  char label[32];
};
// Ticks between start and end seconds for width pixels, labels at least
// minSpacing pixels apart. With clock, secondOfDay is the start's time of day
// and labels read the clock (hh:mm:ss, with fractions when the step needs them).
std::vector<TimeTick> timeTicks(double start, double end, int width, int minSpacing, bool clock,
                                double secondOfDay);
// A time to the millisecond: "123.456" seconds (or "1:02:03.456" past an
// hour) from the start, or the clock "hh:mm:ss.mmm".
void timeText(double seconds, bool clock, double secondOfDay, char* out, size_t size);
// The start of a recording from its file name ("YYMMDD_HHMMSS" before the
// extension, as the recorder names it): seconds since midnight; -1 when the
// name is not of that form.
double startSecondOfDay(const char* fileName);
// Marker times: from the start, or (clock-time recordings) from midnight. When
// no marker fits within the recording's length, they are taken as clock time.
double markerSeconds(double timePos, bool clockMarkers, double secondOfDay);
bool markersInClockTime(const std::vector<double>& timePos, double lengthSeconds, double secondOfDay);
