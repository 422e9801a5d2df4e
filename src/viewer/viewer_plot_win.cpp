// The viewer's plot: the traces on one time axis with a value axis on each
// side, the output-switching markers, the cursors; zoom by a dragged
// rectangle, the wheel and the keys; the same picture on a page.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "graphs/plot_geometry.h"
#include "graphs/plot_labels.h"
#include "graphs/trend_plot.h"
#include "viewer/viewer_win.h"

namespace {

constexpr COLORREF GRID = RGB(224, 224, 224), TEXT = RGB(64, 64, 64), FRAME = RGB(128, 128, 128);
constexpr COLORREF MARKER_ON = RGB(0, 32, 128), MARKER_OFF = RGB(16, 128, 0);  // the recorder's label colours
constexpr COLORREF CURSOR_COLOURS[2] = {RGB(220, 0, 0), RGB(0, 0, 220)};
constexpr int RUSSIAN_CHARSET_CODE = 204;
constexpr int FONT_ESCAPEMENT_UP = 900;
constexpr int SCROLL_RANGE = 10000;
constexpr int ZOOM_MIN_DRAG_PX = ZOOM_MIN_DRAG;  // as in the graph windows
constexpr int CURSOR_GRIP_PX = 3;
constexpr int LABEL_SPACING_EM = 7;   // time labels at least this many letter widths apart
constexpr int DOT_SPACING_PX = 6;     // rows this far apart get a dot each
constexpr double WHEEL_ZOOM = 0.8, KEY_SCROLL = 0.1;
constexpr DWORD WHEEL_UNDO_PAUSE_MS = 1000;  // wheel steps closer than this are one zoom to undo

static_assert(sizeof(LinePoint) == sizeof(POINT), "trace points go to GDI as they are");

// How a picture is drawn: on screen, or on a page with its own sizes. On
// screen the picture is a bitmap of ours whose strokes are written straight
// into its pixels (a day's traces are millions of them).
struct Style {
  HFONT label = nullptr, rotated = nullptr;
  int penWidth = 1;
  bool page = false;
  uint32_t* pixels = nullptr;  // top-down rows of `stride` pixels, 0x00RRGGBB
  int stride = 0;
};

// A trace's column strokes written into the pixels, within the curves.
void writeStrokes(const Style& style, const TraceLines& lines, const RECT& curves, COLORREF colour) {
  const uint32_t pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (size_t i = 0; i + 1 < lines.points.size(); i += 2) {
    const int x = lines.points[i].x;
    if (x < curves.left || x > curves.right) continue;
    const int top = std::max<int>(lines.points[i].y, curves.top);
    const int end = std::min<int>(lines.points[i + 1].y, curves.bottom + 1);  // the end is not drawn, as with LineTo
    uint32_t* p = style.pixels + static_cast<size_t>(top) * style.stride + x;
    for (int y = top; y < end; ++y, p += style.stride) *p = pixel;
  }
}

// What the latest picture shows, for the mouse and the overlays.
struct Shown {
  RECT curves{};
  RowSpan span;
  double rowsPerPixel() const { return span.rows / std::max(1L, curves.right - curves.left); }
  int xOf(double row) const {
    return curves.left + static_cast<int>(std::floor((row - span.first) / rowsPerPixel()));
  }
  double rowAt(int x) const {
    const double k = rowsPerPixel(), p = span.first + (x - curves.left + (k < 1 ? 0.0 : 0.5)) * k;
    return k < 1 ? std::round(p) : std::floor(p);
  }
};

struct PlotState {
  HDC baseDc = nullptr, backDc = nullptr;
  HBITMAP base = nullptr, back = nullptr;
  uint32_t* pixels = nullptr;  // the base picture's
  int width = 0, height = 0;
  bool dirty = true;
  Shown shown;
  HFONT font = nullptr, rotated = nullptr;
  bool pressed = false, zooming = false, tracking = false;
  int movingCursor = -1;
  POINT start{}, now{};
  DWORD lastWheel = 0;
  TraceEnvelope envelope;
  TraceLines lines;
} plot;

HFONT makeFont(int height, int escapement, int weight) {
  return CreateFontW(height, 0, escapement, escapement, weight, FALSE, FALSE, FALSE, RUSSIAN_CHARSET_CODE,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"Arial Cyr");
}

SIZE extent(HDC dc, const wchar_t* text, int length = -1) {
  SIZE s{};
  GetTextExtentPoint32W(dc, text, length < 0 ? lstrlenW(text) : length, &s);
  return s;
}

std::wstring wide(const char* utf8) {
  wchar_t out[LABEL_TEXT_SIZE];
  out[0] = 0;
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, LABEL_TEXT_SIZE);
  out[LABEL_TEXT_SIZE - 1] = 0;
  return out;
}

void line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// The channel's name for an axis or a legend: its name, or its number.
std::string channelLabel(int c) {
  const ViewerDocument& d = viewer.doc;
  const std::string name = d.name(c);
  if (!name.empty()) return name;
  std::string number = "#";
  return number += std::to_string(d.file().channels()[c].number);
}

// The whole picture into area: grid, labels, markers, traces, frame. Returns what it shows.
Shown paintPicture(HDC dc, const RECT& area, const Style& style) {
  ViewerDocument& d = viewer.doc;
  Shown shown;
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  FillRect(dc, &area, white);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, style.label);
  const SIZE letter = extent(dc, L"0");
  SelectObject(dc, style.rotated);
  const SIZE column = extent(dc, L"0");
  RECT& c = shown.curves;
  c = {area.left + column.cy + 4, area.top + letter.cy + 4, area.right - column.cy - 4,
       area.bottom - letter.cy - 6};
  if (!d.open() || c.right - c.left < 8 || c.bottom - c.top < 8) {
    SelectObject(dc, style.label);
    SetTextColor(dc, TEXT);
    RECT all = area;
    DrawTextW(dc, L"Откройте запись: File → «Открыть...», или перетащите файл в окно", -1, &all,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return shown;
  }
  shown.span = d.view.view().span;
  const int width = c.right - c.left;

  // Grid and time labels.
  HPEN gridPen = CreatePen(PS_SOLID, style.page ? style.penWidth / 2 : 0, GRID);
  HGDIOBJ oldPen = SelectObject(dc, gridPen);
  for (int i = 0; i <= VERTICAL_DIVISIONS; ++i) {
    const int y = c.top + (c.bottom - c.top) * i / VERTICAL_DIVISIONS;
    line(dc, c.left, y, c.right, y);
  }
  const double start = d.secondsOf(shown.span.first), end = d.secondsOf(shown.span.first + shown.span.rows);
  SelectObject(dc, style.label);
  SetTextColor(dc, TEXT);
  for (const TimeTick& t : timeTicks(start, end, width, LABEL_SPACING_EM * letter.cx, d.clockTime, d.startOfDay)) {
    const int x = shown.xOf(d.rowAt(t.seconds));
    line(dc, x, c.top, x, c.bottom);
    const std::wstring text = wide(t.label);
    const SIZE s = extent(dc, text.c_str());
    if (x - s.cx / 2 >= area.left && x + s.cx / 2 <= area.right)
      TextOutW(dc, x - s.cx / 2, c.bottom + 3, text.c_str(), static_cast<int>(text.size()));
  }

  // Value labels of the two axes, each in its trace's colour, as in the graph windows.
  SelectObject(dc, style.rotated);
  for (int side = 0; side < 2; ++side) {
    const int ch = d.scale[side];
    if (ch < 0 || static_cast<size_t>(ch) >= d.shown.size()) continue;
    double low, high;
    d.shownRange(ch, &low, &high);
    const ValueLabels labels = valueLabels(low, high, channelLabel(ch).c_str(), "");
    SetTextColor(dc, d.colours[ch]);
    for (int i = 0; i <= VERTICAL_DIVISIONS; ++i) {
      const std::wstring text = wide(labels.text[i]);
      const SIZE s = extent(dc, text.c_str());
      const int y = valueLabelStart(i, c.top, c.bottom, s.cx);
      TextOutW(dc, side == 0 ? c.left - s.cy - 2 : c.right + 2, y, text.c_str(), static_cast<int>(text.size()));
    }
  }

  // Markers: a dotted line each, labelled with its output above the curves.
  SelectObject(dc, style.label);
  const auto& markers = d.file().markers();
  int labelsEnd = INT_MIN;  // labels that would overlap the one before are left out
  for (size_t m = 0; m < d.markerSeconds.size() && m < markers.size(); ++m) {
    const int x = shown.xOf(d.rowAt(d.markerSeconds[m]));
    if (x < c.left || x > c.right) continue;
    const COLORREF colour = markers[m].typeIndex ? MARKER_ON : MARKER_OFF;
    HPEN pen = CreatePen(PS_DOT, 0, colour);
    SelectObject(dc, pen);
    line(dc, x, c.top, x, c.bottom);
    SelectObject(dc, gridPen);
    DeleteObject(pen);
    wchar_t text[16];
    wsprintfW(text, L"K%d", markers[m].number);
    const int w = extent(dc, text).cx;
    if (x - w / 2 <= labelsEnd) continue;
    labelsEnd = x + w / 2 + letter.cx;
    SetTextColor(dc, colour);
    TextOutW(dc, x - w / 2, c.top - letter.cy - 2, text, lstrlenW(text));
  }

  // Traces, from the summary's level with a block per column, or from the rows.
  const std::vector<int> channels = d.shownChannels();
  auto envelope = [&](const RecordingSummary* s) {
    traceEnvelope(s, d.file().rows(), d.file().rowCount(), shown.span, width, channels, &plot.envelope);
  };
  if (d.summary)
    d.summary->read([&](const RecordingSummary& s) { envelope(&s); });
  else
    envelope(nullptr);
  HRGN clip = CreateRectRgn(c.left, c.top, c.right + 1, c.bottom + 1);
  SelectClipRgn(dc, clip);
  const bool dots = plot.envelope.points && shown.rowsPerPixel() * DOT_SPACING_PX <= 1.0;
  for (size_t t = 0; t < channels.size(); ++t) {
    double low, high;
    d.shownRange(channels[t], &low, &high);
    traceLines(plot.envelope, shown.span, t, channels.size(), low, high, c.left, c.top, c.bottom, &plot.lines);
    HPEN pen = CreatePen(PS_SOLID, style.penWidth, d.colours[channels[t]]);
    SelectObject(dc, pen);
    const auto* points = reinterpret_cast<const POINT*>(plot.lines.points.data());
    if (style.pixels && !plot.envelope.points) {
      GdiFlush();
      writeStrokes(style, plot.lines, c, d.colours[channels[t]]);
    } else if (!plot.lines.counts.empty()) {
      PolyPolyline(dc, points, reinterpret_cast<const DWORD*>(plot.lines.counts.data()),
                   static_cast<DWORD>(plot.lines.counts.size()));
    }
    if (dots) {
      HBRUSH brush = CreateSolidBrush(d.colours[channels[t]]);
      const int r = std::max(2, style.penWidth + 1);
      for (const LinePoint& p : plot.lines.points) {
        const RECT dot{p.x - r, p.y - r, p.x + r + 1, p.y + r + 1};
        FillRect(dc, &dot, brush);
      }
      DeleteObject(brush);
    }
    SelectObject(dc, gridPen);
    DeleteObject(pen);
  }
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);

  HPEN framePen = CreatePen(PS_SOLID, style.page ? style.penWidth / 2 : 0, FRAME);
  SelectObject(dc, framePen);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, c.left, c.top, c.right + 1, c.bottom + 1);
  SelectObject(dc, oldPen);
  DeleteObject(framePen);
  DeleteObject(gridPen);
  return shown;
}

// The cursors (solid, in red and blue) and, on screen, the mouse's row and the zoom rectangle.
void paintOverlay(HDC dc, const Shown& shown, int penWidth, bool screen) {
  const ViewerDocument& d = viewer.doc;
  if (!d.open() || shown.curves.right <= shown.curves.left) return;
  const RECT& c = shown.curves;
  HGDIOBJ old = GetCurrentObject(dc, OBJ_PEN);
  for (int i = 0; i < 2; ++i) {
    if (!std::isfinite(d.cursor[i])) continue;
    const int x = shown.xOf(d.cursor[i]);
    if (x < c.left || x > c.right) continue;
    HPEN pen = CreatePen(PS_SOLID, penWidth, CURSOR_COLOURS[i]);
    SelectObject(dc, pen);
    line(dc, x, c.top, x, c.bottom + 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (!screen) return;
  if (std::isfinite(d.hover)) {
    HPEN pen = CreatePen(PS_DOT, 0, TEXT);
    SelectObject(dc, pen);
    SetBkMode(dc, TRANSPARENT);
    const int x = shown.xOf(d.hover);
    line(dc, x, c.top, x, c.bottom + 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (plot.zooming) {
    HPEN pen = CreatePen(PS_DOT, 0, 0);
    SelectObject(dc, pen);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, std::min(plot.start.x, plot.now.x), std::min(plot.start.y, plot.now.y),
              std::max(plot.start.x, plot.now.x) + 1, std::max(plot.start.y, plot.now.y) + 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void updateScrollBars(HWND window) {
  const ViewerDocument& d = viewer.doc;
  SCROLLINFO si{sizeof si, SIF_ALL | SIF_DISABLENOSCROLL, 0, SCROLL_RANGE, SCROLL_RANGE + 1, 0, 0};
  if (d.open()) {
    const View& v = d.view.view();
    const double whole = std::max(1.0, static_cast<double>(d.view.rowCount()));
    si.nPage = static_cast<UINT>(std::max(1.0, std::round(v.span.rows / whole * SCROLL_RANGE)));
    si.nPos = static_cast<int>(std::round(v.span.first / whole * SCROLL_RANGE));
  }
  SetScrollInfo(window, SB_HORZ, &si, TRUE);
  SCROLLINFO vi{sizeof vi, SIF_ALL | SIF_DISABLENOSCROLL, 0, SCROLL_RANGE, SCROLL_RANGE + 1, 0, 0};
  if (d.open()) {
    // The values in view within the channel's range (or beyond it, when scrolled there).
    const View& v = d.view.view();
    const double low = std::min(0.0, v.bottom), high = std::max(1.0, v.top);
    vi.nPage = static_cast<UINT>(std::max(1.0, std::round((v.top - v.bottom) / (high - low) * SCROLL_RANGE)));
    vi.nPos = static_cast<int>(std::round((high - v.top) / (high - low) * SCROLL_RANGE));
  }
  SetScrollInfo(window, SB_VERT, &vi, TRUE);
}

void ensureBuffers(HWND window, int width, int height) {
  if (plot.base && width == plot.width && height == plot.height) return;
  if (plot.base) {
    DeleteDC(plot.baseDc);
    DeleteDC(plot.backDc);
    DeleteObject(plot.base);
    DeleteObject(plot.back);
  }
  HDC screen = GetDC(window);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, std::max(width, 1), -std::max(height, 1), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  plot.base = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  plot.pixels = static_cast<uint32_t*>(bits);
  plot.back = CreateCompatibleBitmap(screen, std::max(width, 1), std::max(height, 1));
  plot.baseDc = CreateCompatibleDC(screen);
  plot.backDc = CreateCompatibleDC(screen);
  ReleaseDC(window, screen);
  SelectObject(plot.baseDc, plot.base);
  SelectObject(plot.backDc, plot.back);
  plot.width = width;
  plot.height = height;
  plot.dirty = true;
}

void paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  ensureBuffers(window, r.right, r.bottom);
  if (plot.dirty) {
    if (!plot.font) {
      const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
      plot.font = makeFont(screenHeight / 64, 0, FW_NORMAL);
      plot.rotated = makeFont(screenHeight / 64, FONT_ESCAPEMENT_UP, FW_NORMAL);
    }
    plot.shown = paintPicture(plot.baseDc, r, Style{plot.font, plot.rotated, 1, false, plot.pixels, plot.width});
    plot.dirty = false;
    updateScrollBars(window);
  }
  BitBlt(plot.backDc, 0, 0, r.right, r.bottom, plot.baseDc, 0, 0, SRCCOPY);
  paintOverlay(plot.backDc, plot.shown, 1, true);
  BitBlt(dc, 0, 0, r.right, r.bottom, plot.backDc, 0, 0, SRCCOPY);
  EndPaint(window, &ps);
}

bool inCurves(int x, int y) {
  const RECT& c = plot.shown.curves;
  return viewer.doc.open() && x >= c.left && x <= c.right && y >= c.top && y <= c.bottom;
}

double clampRow(double row) {
  const double last = static_cast<double>(viewer.doc.view.rowCount()) - 1;
  return std::clamp(row, 0.0, std::max(0.0, last));
}

void viewChanged(bool changed) {
  if (changed) redrawPlot();
}

// A click puts a cursor: the first, then the second, then moves the nearer one; Shift puts the second.
void placeCursor(int x, bool second) {
  ViewerDocument& d = viewer.doc;
  const double row = clampRow(plot.shown.rowAt(x));
  int i = second ? 1 : !std::isfinite(d.cursor[0]) ? 0 : !std::isfinite(d.cursor[1]) ? 1 : -1;
  if (i < 0) i = std::fabs(d.cursor[0] - row) <= std::fabs(d.cursor[1] - row) ? 0 : 1;
  d.cursor[i] = row;
  refreshReadings(true);
  refreshOverlay();
}

void buttonUp(int x, int y, bool shift) {
  ReleaseCapture();
  if (plot.movingCursor >= 0) {
    plot.movingCursor = -1;
    refreshReadings(true);
    return;
  }
  if (!plot.pressed) return;
  plot.pressed = false;
  const bool zoom = plot.zooming;
  plot.zooming = false;
  const RECT& c = plot.shown.curves;
  const int dx = std::abs(x - plot.start.x), dy = std::abs(y - plot.start.y);
  if (!zoom || (dx < ZOOM_MIN_DRAG_PX && dy < ZOOM_MIN_DRAG_PX)) {
    if (zoom) refreshOverlay();
    else placeCursor(plot.start.x, shift);
    return;
  }
  const double w = std::max(1L, c.right - c.left), h = std::max(1L, c.bottom - c.top);
  const auto share = [](double v, double from, double size) { return std::clamp((v - from) / size, 0.0, 1.0); };
  double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  if (dx >= ZOOM_MIN_DRAG_PX) x0 = share(plot.start.x, c.left, w), x1 = share(x, c.left, w);
  if (dy >= ZOOM_MIN_DRAG_PX) y0 = share(c.bottom - plot.start.y, 0, h), y1 = share(c.bottom - y, 0, h);
  if (!viewer.doc.view.zoomTo(x0, x1, y0, y1)) refreshOverlay();
  else redrawPlot();
}

void scaleMenu(HWND window, int side, POINT at) {
  const ViewerDocument& d = viewer.doc;
  HMENU menu = CreatePopupMenu();
  const int base = side ? CMD_VIEWER_RIGHT_SCALE : CMD_VIEWER_LEFT_SCALE;
  AppendMenuW(menu, MF_STRING | (d.scale[side] == NO_SCALE ? MF_CHECKED : 0), base - 1, L"Нет");
  for (int c : d.shownChannels()) {
    if (c >= CMD_VIEWER_RIGHT_SCALE - CMD_VIEWER_LEFT_SCALE - 1) break;  // the commands' room
    const std::wstring text = L"#" + std::to_wstring(d.file().channels()[c].number) + L": " +
                              wide(d.name(c).c_str());
    AppendMenuW(menu, MF_STRING | (d.scale[side] == c ? MF_CHECKED : 0), base + c, text.c_str());
  }
  ClientToScreen(window, &at);
  TrackPopupMenu(menu, TPM_LEFTBUTTON, at.x, at.y, 0, viewer.window, nullptr);
  DestroyMenu(menu);
}

void scroll(HWND window, int bar, int request) {
  ViewerDocument& d = viewer.doc;
  if (!d.open()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(window, bar, &si);
  const double page = 1.0, line = KEY_SCROLL;
  const double sign = bar == SB_HORZ ? 1.0 : -1.0;  // the vertical bar's top shows the high values
  switch (request) {
    case SB_LINELEFT: viewChanged(bar == SB_HORZ ? d.view.scrollTime(-line) : d.view.scrollValues(line)); return;
    case SB_LINERIGHT: viewChanged(bar == SB_HORZ ? d.view.scrollTime(line) : d.view.scrollValues(-line)); return;
    case SB_PAGELEFT: viewChanged(bar == SB_HORZ ? d.view.scrollTime(-page) : d.view.scrollValues(page)); return;
    case SB_PAGERIGHT: viewChanged(bar == SB_HORZ ? d.view.scrollTime(page) : d.view.scrollValues(-page)); return;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      const double moved = static_cast<double>(si.nTrackPos - si.nPos) / SCROLL_RANGE;
      if (bar == SB_HORZ) {
        viewChanged(d.view.centreOn(static_cast<double>(si.nTrackPos) / SCROLL_RANGE *
                                        static_cast<double>(d.view.rowCount()) +
                                    d.view.view().span.rows / 2));
      } else {
        const View& v = d.view.view();
        const double low = std::min(0.0, v.bottom), high = std::max(1.0, v.top);
        viewChanged(d.view.scrollValues(sign * moved * (high - low) / (v.top - v.bottom)));
      }
      return;
    }
  }
}

void key(int code) {
  ViewerDocument& d = viewer.doc;
  if (!d.open()) return;
  switch (code) {
    case VK_LEFT: viewChanged(d.view.scrollTime(-KEY_SCROLL)); return;
    case VK_RIGHT: viewChanged(d.view.scrollTime(KEY_SCROLL)); return;
    case VK_PRIOR: viewChanged(d.view.scrollTime(-1.0)); return;
    case VK_NEXT: viewChanged(d.view.scrollTime(1.0)); return;
    case VK_HOME: viewChanged(d.view.scrollTime(-static_cast<double>(d.view.rowCount()))); return;
    case VK_END: viewChanged(d.view.scrollTime(static_cast<double>(d.view.rowCount()))); return;
    case VK_UP: viewChanged(d.view.scrollValues(KEY_SCROLL)); return;
    case VK_DOWN: viewChanged(d.view.scrollValues(-KEY_SCROLL)); return;
    case VK_ADD:
    case VK_OEM_PLUS: viewChanged(d.view.zoomTime(0.5, 0.5)); return;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: viewChanged(d.view.zoomTime(2.0, 0.5)); return;
    case VK_BACK: viewChanged(d.view.undo()); return;
  }
}

LRESULT CALLBACK plotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  ViewerDocument& d = viewer.doc;
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      plot.dirty = true;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      if (!inCurves(x, y)) return 0;
      SetCapture(window);
      for (int i = 0; i < 2; ++i)
        if (std::isfinite(d.cursor[i]) && std::abs(plot.shown.xOf(d.cursor[i]) - x) <= CURSOR_GRIP_PX)
          plot.movingCursor = i;
      plot.pressed = plot.movingCursor < 0;
      plot.start = plot.now = {x, y};
      return 0;
    case WM_MOUSEMOVE: {
      if (!plot.tracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
        plot.tracking = TrackMouseEvent(&track) != 0;
      }
      const RECT& c = plot.shown.curves;
      if (plot.movingCursor >= 0) {
        d.cursor[plot.movingCursor] = clampRow(plot.shown.rowAt(std::clamp<int>(x, c.left, c.right)));
        refreshReadings(true);
      } else if (plot.pressed) {
        plot.now = {std::clamp<int>(x, c.left, c.right), std::clamp<int>(y, c.top, c.bottom)};
        plot.zooming = plot.zooming || std::abs(x - plot.start.x) > CURSOR_GRIP_PX ||
                       std::abs(y - plot.start.y) > CURSOR_GRIP_PX;
        if (!(wParam & MK_LBUTTON)) {
          buttonUp(x, y, false);
          return 0;
        }
      }
      d.hover = inCurves(x, y) ? clampRow(plot.shown.rowAt(x)) : NAN;
      refreshReadings(false);
      refreshOverlay();
      return 0;
    }
    case WM_MOUSELEAVE:
      plot.tracking = false;
      d.hover = NAN;
      refreshReadings(false);
      refreshOverlay();
      return 0;
    case WM_LBUTTONUP:
      buttonUp(x, y, (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_RBUTTONDOWN: {
      const RECT& c = plot.shown.curves;
      if (!d.open()) return 0;
      if (x < c.left || x > c.right) scaleMenu(window, x > c.right ? 1 : 0, POINT{x, y});
      else viewChanged(d.view.undo());
      return 0;
    }
    case WM_MOUSEWHEEL: {
      if (!d.open()) return 0;
      POINT at{x, y};
      ScreenToClient(window, &at);
      const int steps = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      if (steps == 0) return 0;
      if (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) {
        viewChanged(d.view.scrollTime(-steps * KEY_SCROLL));
        return 0;
      }
      const RECT& c = plot.shown.curves;
      const double anchor = std::clamp(static_cast<double>(at.x - c.left) / std::max(1L, c.right - c.left), 0.0, 1.0);
      const bool remember = GetTickCount() - plot.lastWheel > WHEEL_UNDO_PAUSE_MS;
      plot.lastWheel = GetTickCount();
      viewChanged(d.view.zoomTime(std::pow(WHEEL_ZOOM, steps), anchor, remember));
      return 0;
    }
    case WM_KEYDOWN:
      key(static_cast<int>(wParam));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      scroll(window, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      if (plot.base) {
        DeleteDC(plot.baseDc);
        DeleteDC(plot.backDc);
        DeleteObject(plot.base);
        DeleteObject(plot.back);
        plot.base = nullptr;
      }
      DeleteObject(plot.font);
      DeleteObject(plot.rotated);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool registerPlotWindow(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = plotProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
  wc.lpszClassName = L"SkalenorViewPlot";
  return RegisterClassExW(&wc) != 0;
}

void redrawPlot() {
  plot.dirty = true;
  InvalidateRect(viewer.plot, nullptr, FALSE);
  UpdateWindow(viewer.plot);  // at once: a zoom or scroll step shows before the next input
}

void refreshOverlay() {
  InvalidateRect(viewer.plot, nullptr, FALSE);
  UpdateWindow(viewer.plot);
}

bool paintViewPage(HDC dc, int width, int height) {
  ViewerDocument& d = viewer.doc;
  // Fonts and pens for the page's size; the title above, a legend of the shown channels below.
  const int letter = std::max(8, width / 90);
  Style style{makeFont(letter, 0, FW_SEMIBOLD), makeFont(letter, FONT_ESCAPEMENT_UP, FW_SEMIBOLD),
              std::max(1, width / 1200), true};
  const int margin = width / 40;
  RECT page{0, 0, width, height};
  FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, style.label);
  SetTextColor(dc, 0);
  const View& v = d.view.view();
  char from[40], to[40];
  timeText(d.secondsOf(v.span.first), d.clockTime, d.startOfDay, from, sizeof from);
  timeText(d.secondsOf(v.span.first + v.span.rows), d.clockTime, d.startOfDay, to, sizeof to);
  const std::wstring name = d.path.substr(d.path.find_last_of(L"\\/") + 1);
  const std::wstring title = name + L"   " + wide(from) + L" … " + wide(to) + (d.clockTime ? L"" : L" с");
  TextOutW(dc, margin, margin, title.c_str(), static_cast<int>(title.size()));
  const RECT area{margin, margin + 2 * letter, width - margin, height - margin - 2 * letter};
  const Shown shown = paintPicture(dc, area, style);
  paintOverlay(dc, shown, style.penWidth, false);
  SelectObject(dc, style.label);
  int x = area.left;
  for (int c : d.shownChannels()) {
    const std::wstring entry = L"#" + std::to_wstring(d.file().channels()[c].number) +
                               (d.name(c).empty() ? L"" : L" " + wide(d.name(c).c_str())) + L"   ";
    SetTextColor(dc, d.colours[c]);
    TextOutW(dc, x, height - margin - letter, entry.c_str(), static_cast<int>(entry.size()));
    x += extent(dc, entry.c_str()).cx;
  }
  SelectObject(dc, oldFont);
  DeleteObject(style.label);
  DeleteObject(style.rotated);
  return true;
}
