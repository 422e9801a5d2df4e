// The printed page of a graph: the default printer in landscape colour mode,
// the page's fonts and pens, and the plot's own drawing hooks on the page.
#include "graphs/print_graph_win.h"

#include <winspool.h>

#include <cwchar>

#include "graphs/graph_trend_plot_win.h"
#include "graphs/graph_window_win.h"
#include "graphs/page_drawing_win.h"
#include "graphs/print_page.h"

namespace {

constexpr int PROFILE_SIZE = 256;

// Every failure so far ended without a word, and the user believed it printed.
void printNotice(HWND owner, const wchar_t* text) {
  MessageBoxW(owner, text, L"Ошибка", MB_OK | MB_ICONSTOP);
}

// The default printer's device context, landscape and in colour; null when
// there is none. *failure says why.
HDC openDefaultPrinter(const wchar_t** failure) {
  wchar_t entry[PROFILE_SIZE] = {};
  GetProfileStringW(L"windows", L"device", L"?", entry, PROFILE_SIZE);
  // "device,driver,port"
  wchar_t* comma = wcschr(entry, L',');
  wchar_t* second = comma ? wcschr(comma + 1, L',') : nullptr;
  if (!second) {
    *failure = L"Принтер по умолчанию не задан.";
    return nullptr;
  }
  *comma = 0;
  *second = 0;
  const wchar_t* device = entry;
  const wchar_t* driver = comma + 1;
  *failure = L"Не удалось открыть принтер.";
  HANDLE printer = nullptr;
  if (!OpenPrinterW(entry, &printer, nullptr)) return nullptr;
  wchar_t* name = entry;
  const LONG size = DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0);
  DEVMODEW* mode = size > 0 ? static_cast<DEVMODEW*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(size))) : nullptr;
  if (mode && DocumentPropertiesW(nullptr, printer, name, mode, nullptr, DM_OUT_BUFFER) >= 0) {
    mode->dmOrientation = DMORIENT_LANDSCAPE;
    mode->dmColor = DMCOLOR_COLOR;
    mode->dmFields |= DM_ORIENTATION | DM_COLOR;
    DocumentPropertiesW(nullptr, printer, name, mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER);
  }
  HDC dc = CreateDCW(driver, device, nullptr, mode);
  if (mode) GlobalFree(mode);
  ClosePrinter(printer);
  return dc;
}

}  // namespace

void printGraph(HWND window) {
  GraphTrendPlot* plot = graphPlot(window);
  if (!plot) return;
  const wchar_t* failure = nullptr;
  HDC dc = openDefaultPrinter(&failure);
  if (!dc) {
    printNotice(window, failure);
    return;
  }
  const bool printed = drawGraphPage(*plot, dc, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), true);
  DeleteDC(dc);
  plot = graphPlot(window);  // a printer driver's dialog may have outlived it
  if (!plot) return;
  plot->repaint();  // the plot holds page values until the screen paints again
  if (!printed) printNotice(window, L"Принтер не принял документ.");
}
