#include "graphs/graph_trend_plot_win.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/channel_ranges.h"
#include "graphs/plot_geometry.h"
#include "graphs/print_graph_win.h"
#include "resource.h"
#include "settings/meter_settings.h"
#include "shell/app_win.h"

namespace {

constexpr int RUSSIAN_CHARSET_CODE = 204;
constexpr int FONT_ESCAPEMENT_UP = 900;

HFONT makeFont(int height, int escapement, int weight) {
  return CreateFontW(height, 0, escapement, escapement, weight, FALSE, FALSE, FALSE, RUSSIAN_CHARSET_CODE,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"Arial Cyr");
}

template <typename T>
void deleteHandle(T& handle) {
  if (handle) DeleteObject(handle);
  handle = nullptr;
}

const std::atomic<int32_t> UNIT_GAINS[GAIN_TABLE_SIZE] = {1, 1, 1, 1, 1, 1, 1, 1};

}  // namespace

GraphTrendPlot::GraphTrendPlot(HWND w, const RECT& r) : window(w) {
  backgroundBrush_ = CreateSolidBrush(RGB(255, 255, 255));
  gridPen_ = CreatePen(PS_SOLID, 0, 0xE0E0E0);
  dragPen_ = CreatePen(PS_DOT, 0, 0);
  screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
  screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
  replaceFonts(screenHeight_ / 48, screenHeight_ / 50, 600);
  plotRect = {r.left, r.top, r.right, r.bottom};
  const int f = GetSystemMetrics(SM_CXDLGFRAME), c = GetSystemMetrics(SM_CYCAPTION);
  plotArea = {r.left + f, r.top + c, r.right - f, r.bottom - c};
  for (auto& range : channelRange) {
    range[0] = -10.0;
    range[1] = 10.0;
  }
}

GraphTrendPlot::~GraphTrendPlot() {
  for (HPEN& pen : tracePen_) deleteHandle(pen);
  deleteHandle(textFont_);
  deleteHandle(rotatedFont_);
  deleteHandle(backgroundBrush_);
  deleteHandle(gridPen_);
  deleteHandle(dragPen_);
}

void GraphTrendPlot::replaceFonts(int textHeight, int rotatedHeight, int weight) {
  deleteHandle(textFont_);
  deleteHandle(rotatedFont_);
  textFont_ = makeFont(textHeight, 0, weight);
  rotatedFont_ = makeFont(rotatedHeight, FONT_ESCAPEMENT_UP, weight);
}

void GraphTrendPlot::initialise(int slot, const HWND selectors[SELECTOR_COUNT]) {
  graphSlot = slot;
  for (int i = 0; i < SELECTOR_COUNT; ++i) selectors_[i] = selectors[i];
  const MeterSettings* s = meterSettings.load();

  // History and view.
  int hour = 0, minute = 0;
  if (s && s->TimeType != 0) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    hour = now.wHour;
    minute = now.wMinute;
  }
  const int scale = timeScale();
  trend.init(SECONDS_PER_POINT[scale >= 0 && scale < TIME_SCALE_COUNT ? scale : 0], GetTickCount(), hour, minute);
  for (int t = 0; t < TRACE_COUNT; ++t) setTraceRange(t);

  // The window's side.
  vScrollBar_ = GetDlgItem(window, IDC_GRAPH_VSCROLL);
  SetScrollRange(vScrollBar_, SB_CTL, 0, 1, FALSE);
  if (s) {
    leftScaleTrace = s->lrScale[2 * slot];
    rightScaleTrace = s->lrScale[2 * slot + 1];
  }
  replaceFonts(screenHeight_ / 64, screenHeight_ / 72, 800);
  COLORREF colours[TRACE_COUNT] = {};
  for (int t = 0; t < TRACE_COUNT && s; ++t) colours[t] = static_cast<COLORREF>(s->colPlot[slot][t]);
  setColours(colours, SCREEN_PEN_WIDTH);
  if (s) restoreSavedZoom(s->scaleYMode[slot], s->scaleYValue[slot]);
  updateView();
  layout();
}

void GraphTrendPlot::layout() {
  RECT client;
  GetClientRect(window, &client);
  RECT bar{};
  if (vScrollBar_) GetWindowRect(vScrollBar_, &bar);
  const GraphLayout l = layoutGraph(client.right, client.bottom, bar.right - bar.left);
  if (vScrollBar_) MoveWindow(vScrollBar_, l.barX, l.barY, bar.right - bar.left, l.barHeight, TRUE);
  plotRect = l.plotRect;
  refreshLabels();
}

void GraphTrendPlot::setColours(const COLORREF* colours, int width) {
  for (int t = 0; t < TRACE_COUNT; ++t) {
    deleteHandle(tracePen_[t]);
    tracePen_[t] = CreatePen(PS_SOLID, width, colours[t]);
    traceColour[t] = colours[t];
  }
  repaint();
}

void GraphTrendPlot::setTraceRange(int t) {
  const MeterSettings* s = meterSettings.load();
  const AcquisitionState* engine = engineState();
  const int c = traceChannel(t);
  if (s) {
    const std::atomic<int32_t>* gains = engine ? engine->gainFactor : UNIT_GAINS;
    channelRange[t][0] = channelRangeLow(*s, gains, c);
    channelRange[t][1] = channelRangeHigh(*s, gains, c);
  }
  // Shown whole until the next zoom, scroll or undo.
  shownLow[t] = channelRange[t][0];
  shownHigh[t] = channelRange[t][1];
}

void GraphTrendPlot::sample(const std::atomic<float>* currentValues) {
  float values[INPUT_CHANNELS] = {};
  if (currentValues)
    for (int c = 0; c < INPUT_CHANNELS; ++c) values[c] = currentValues[c].load(std::memory_order_relaxed);
  int channels[TRACE_COUNT];
  for (int t = 0; t < TRACE_COUNT; ++t) channels[t] = traceChannel(t);
  SYSTEMTIME now;
  GetLocalTime(&now);
  const SampleRepaint r =
      trend.takeSample(GetTickCount(), now.wSecond, values, channels, plotArea.left, plotArea.width());
  if (r.whole) repaint();
  if (r.scrolled) InvalidateRect(window, nullptr, TRUE);
  if (r.column) {
    const RECT column{r.columnLeft, plotArea.top, r.columnLeft + 1, plotArea.bottom};
    InvalidateRect(window, &column, TRUE);
  }
}

void GraphTrendPlot::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const int ux = LOWORD(lParam), uy = HIWORD(lParam);
  switch (message) {
    case WM_PAINT:
      paint();
      break;
    case WM_VSCROLL:
      if (vScrollBar_) scroll(LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_LBUTTONDOWN:
      buttonDown(ux, uy);
      break;
    case WM_MOUSEMOVE: {
      const DragBands bands = mouseMove((wParam & MK_LBUTTON) != 0, ux, uy);
      for (int i = 0; i < bands.count; ++i) {
        const RECT r{bands.band[i].left, bands.band[i].top, bands.band[i].right, bands.band[i].bottom};
        InvalidateRect(window, &r, FALSE);
      }
      break;
    }
    case WM_LBUTTONUP:
      buttonUp(ux, uy);
      break;
    case WM_RBUTTONDOWN:
      undo(static_cast<short>(ux), static_cast<short>(uy));
      break;
  }
}

void GraphTrendPlot::command(int id) {
  MeterSettings* s = meterSettings.load();
  if (id == IDC_GRAPH_PRINT) {
    printGraph(window);  // may end with this plot deleted: nothing of it after
    return;
  }
  if (id > CMD_LEFT_SCALE_BASE && id <= CMD_LEFT_SCALE_BASE + TRACE_COUNT) {
    leftScaleTrace = id - CMD_LEFT_SCALE_BASE;
    if (s) s->lrScale[2 * graphSlot] = leftScaleTrace;
    repaint();
    return;
  }
  if (id > CMD_RIGHT_SCALE_BASE && id <= CMD_RIGHT_SCALE_BASE + TRACE_COUNT) {
    rightScaleTrace = id - CMD_RIGHT_SCALE_BASE;
    if (s) s->lrScale[2 * graphSlot + 1] = rightScaleTrace;
    repaint();
    return;
  }
  for (int t = 0; t < TRACE_COUNT; ++t) {
    if (id != GetDlgCtrlID(selectors_[t])) continue;
    const int c = traceChannel(t);
    if (s && c != s->chPlot[TRACE_COUNT * graphSlot + t]) {
      s->chPlot[TRACE_COUNT * graphSlot + t] = c;
      setTraceRange(t);
    }
    repaint();
    return;
  }
}

void GraphTrendPlot::repaint() {
  const RECT r{plotRect.left, plotRect.top, plotRect.right, plotRect.bottom};
  InvalidateRect(window, &r, FALSE);
}

int GraphTrendPlot::traceChannel(int t) const {
  const LRESULT c = selectors_[t] ? SendMessageW(selectors_[t], CB_GETCURSEL, 0, 0) : 0;
  return c >= 1 && c <= INPUT_CHANNELS ? static_cast<int>(c) : 0;
}

int GraphTrendPlot::timeScale() const {
  const LRESULT i = selectors_[TRACE_COUNT] ? SendMessageW(selectors_[TRACE_COUNT], CB_GETCURSEL, 0, 0) : 0;
  return i >= 0 && i < TIME_SCALE_COUNT ? static_cast<int>(i) : 0;
}

bool GraphTrendPlot::showsChannel(int channel) const {
  for (int t = 0; t < TRACE_COUNT; ++t)
    if (traceChannel(t) == channel) return true;
  return false;
}

void GraphTrendPlot::showScroll(int max, int position) {
  if (!vScrollBar_) return;
  SetScrollRange(vScrollBar_, SB_CTL, 0, max, FALSE);
  SetScrollPos(vScrollBar_, SB_CTL, position, TRUE);
}

// The view or the layout changed: new texts, and everything shown again.
void GraphTrendPlot::refreshLabels() {
  buildLabels();
  repaint();
}
