#include "panels/limit_bar_win.h"

LimitBarWindow::LimitBarWindow(HWND window, BarRect area)
    : LimitBar(area),
      window(window),
      inRangeBrush(CreateSolidBrush(RGB(64, 128, 64))),
      outOfRangeBrush(CreateSolidBrush(RGB(255, 0, 0))),
      frameBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))),
      seenBrush(CreateSolidBrush(RGB(224, 224, 128))) {}

LimitBarWindow::~LimitBarWindow() {
  DeleteObject(inRangeBrush);
  DeleteObject(outOfRangeBrush);
  DeleteObject(frameBrush);
  DeleteObject(seenBrush);
}

void LimitBarWindow::drawBar(float v) {
  const BarPlan plan = planBar(v);
  if (painted_ && plan == shown_) return;
  paint(plan);
}

void LimitBarWindow::repaintBar() const {
  LimitBar copy = *this;
  paint(copy.planBar(shownValue));
}

void LimitBarWindow::paint(const BarPlan& plan) const {
  HDC dc = GetDC(window);
  if (dc == nullptr) return;
  for (int i = 0; i < plan.count; ++i) {
    const BarRect& b = plan.items[i].rect;
    RECT r{b.left, b.top, b.right, b.bottom};
    switch (plan.items[i].fill) {
      case BarFill::Frame: {
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, frameBrush);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        break;
      }
      case BarFill::InRange: FillRect(dc, &r, inRangeBrush); break;
      case BarFill::OutOfRange: FillRect(dc, &r, outOfRangeBrush); break;
      case BarFill::SeenBand: FillRect(dc, &r, seenBrush); break;
      case BarFill::Marker: FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))); break;
    }
  }
  ReleaseDC(window, dc);
  shown_ = plan;
  painted_ = true;
}
