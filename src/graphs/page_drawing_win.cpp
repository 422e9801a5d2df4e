#include "graphs/page_drawing_win.h"

#include "graphs/graph_trend_plot_win.h"
#include "graphs/print_page.h"

namespace {

constexpr int RUSSIAN_CHARSET_CODE = 204;
constexpr int FONT_ESCAPEMENT_UP = 900;
constexpr int PAGE_FONT_WEIGHT = 600;

HFONT pageFont(int height, int escapement) {
  return CreateFontW(height, 0, escapement, escapement, PAGE_FONT_WEIGHT, FALSE, FALSE, FALSE, RUSSIAN_CHARSET_CODE,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"Arial Cyr");
}

}  // namespace

void drawGraphPage(GraphTrendPlot& plot, HDC dc, int horzRes, int vertRes) {
  const PageFrame page = pageFrame(horzRes, vertRes, plot.plotRect, GetSystemMetrics(SM_CYCAPTION));
  HFONT label = pageFont(page.labelFontHeight, 0);
  HFONT rotated = pageFont(page.rotatedFontHeight, FONT_ESCAPEMENT_UP);
  HPEN framePen = CreatePen(PS_SOLID, 0, 0);
  HPEN tracePens[TRACE_COUNT];
  for (int k = 0; k < TRACE_COUNT; ++k) tracePens[k] = CreatePen(PS_SOLID, page.tracePenWidth, plot.traceColour[k]);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(dc, framePen);
  HGDIOBJ oldBrush = SelectObject(dc, white);
  HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
  SetTextColor(dc, 0);
  SetBkMode(dc, TRANSPARENT);

  plot.drawPage(dc, page, label, rotated, framePen, tracePens);
  // Nothing of ours stays selected while it is deleted.
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldFont);
  DeleteObject(framePen);
  for (HPEN pen : tracePens) DeleteObject(pen);
  DeleteObject(white);
  DeleteObject(label);
  DeleteObject(rotated);
}

void GraphTrendPlot::drawPage(HDC dc, const PageFrame& page, HFONT label, HFONT rotated, HPEN framePen,
                              const HPEN* tracePens) {
  const PlotRect& f = page.frame;
  Rectangle(dc, f.left, f.top, f.right, f.bottom);
  SelectObject(dc, label);  // stays selected for the title
  SIZE a{};
  GetTextExtentPoint32W(dc, L"A", 1, &a);
  plotArea = pageCurveArea(f, labelsSet_, a.cy, GetSystemMetrics(SM_CXDLGFRAME));
  drawGrid(dc, plotArea, framePen);
  drawLabels(dc, plotArea, label, rotated, 0);
  drawTraces(dc, plotArea, tracePens);
  for (int k = 0; k < traceCount && k < TRACE_COUNT; ++k) {
    wchar_t number[4];
    wsprintfW(number, L"%02d", k + 1);
    const PagePoint at = legendPlace(k, plotArea, a.cx, a.cy);
    SetTextColor(dc, traceColour[k]);
    TextOutW(dc, at.x, at.y, number, 2);
  }
}
