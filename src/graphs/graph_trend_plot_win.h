// The plot of a graph window: the portable view and history plus the drawing
// objects, label texts and hit rectangles, painted into the window's client
// area. The window's dialog procedure hands it the window's messages.
#pragma once

#include <windows.h>

#include <atomic>

#include "graphs/plot_labels.h"
#include "graphs/trend_history.h"
#include "graphs/trend_plot.h"

struct PageFrame;

inline constexpr int SELECTOR_COUNT = TRACE_COUNT + 1;  // eight traces, then the time scale
inline constexpr int HIT_CURVES = 8, HIT_LEFT_STRIP = 9, HIT_RIGHT_STRIP = 10, HIT_RECT_COUNT = 11;
inline constexpr int LABEL_SIDES = 4;  // 0 left, 1 right, 2 top, 3 bottom
inline constexpr COLORREF LABEL_COLOUR = 0x404040;
inline constexpr int SCREEN_PEN_WIDTH = 2;

class GraphTrendPlot : public TrendPlot {
 public:
  // The base construction over the window's client rectangle: drawing
  // objects, fonts for the screen size, a provisional curve area.
  GraphTrendPlot(HWND window, const RECT& plotRect);
  ~GraphTrendPlot() override;
  GraphTrendPlot(const GraphTrendPlot&) = delete;
  GraphTrendPlot& operator=(const GraphTrendPlot&) = delete;

  // The graph's set-up for slot s: selectors, history, view, fonts, colours,
  // scroll bar, layout.
  void initialise(int slot, const HWND selectors[SELECTOR_COUNT]);
  void layout();
  void setColours(const COLORREF* colours, int width);
  void setTraceRange(int trace);
  // The 550 ms timer's step.
  void sample(const std::atomic<float>* currentValues);

  void handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void command(int id);
  void repaint();  // plotRect, without erasing

  int traceChannel(int trace) const;  // selector of a trace: 0 none, 1-32
  int timeScale() const;              // selection of the time-scale list
  bool showsChannel(int channel) const;

  // The plot on a printer page or picture: frame, grid and title, labels,
  // curves with the page's pens, and the legend 01-08 (page_drawing_win.cpp).
  void drawPage(HDC dc, const PageFrame& page, HFONT label, HFONT rotated, HPEN framePen, const HPEN* tracePens);

  HWND window = nullptr;
  int graphSlot = 0;
  int leftScaleTrace = 0, rightScaleTrace = 0;
  PlotRect hitRects[HIT_RECT_COUNT] = {};
  COLORREF traceColour[32] = {};  // the first 16 double as the colour dialog's custom colours

 protected:
  void showScroll(int max, int position) override;
  void refreshLabels() override;

 private:
  // plot_render_win.cpp
  void paint();
  bool buildLabels();  // true when a text changed
  void drawGrid(HDC dc, const PlotRect& area, HPEN pen);
  void drawLabels(HDC dc, const PlotRect& area, HFONT horizontal, HFONT vertical, COLORREF colour);
  void drawTraces(HDC dc, const PlotRect& area, const HPEN* pens);
  void drawLimit(HDC dc, int trace, int y, bool upper);
  void drawCurve(HDC dc, int trace, int fromPoint, int toPoint);

  void replaceFonts(int textHeight, int rotatedHeight, int weight);

  TrendHistory trend;
  HWND selectors_[SELECTOR_COUNT] = {};
  HWND vScrollBar_ = nullptr;
  HBRUSH backgroundBrush_ = nullptr;
  HPEN gridPen_ = nullptr, dragPen_ = nullptr;
  HPEN tracePen_[TRACE_COUNT] = {};
  HFONT textFont_ = nullptr, rotatedFont_ = nullptr;
  SIZE textSize_ = {};
  int screenWidth_ = 0, screenHeight_ = 0;
  int lastPlotWidth_ = 0;
  PlotRect screenPlotArea_;
  int labelsSet_[LABEL_SIDES] = {};
  wchar_t labels_[2][VERTICAL_DIVISIONS + 1][LABEL_TEXT_SIZE] = {};  // left and right value labels
};
