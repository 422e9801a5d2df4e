// "Сохранить как рисунок...": the printed page of a graph as an EMF or a PNG,
// the route for users without a printer.
#include "graphs/graph_trend_plot_win.h"
#include "graphs/graph_window_win.h"
#include "graphs/page_drawing_win.h"
#include "graphs/page_output_win.h"
#include "graphs/print_graph_win.h"

bool writeGraphPicture(GraphTrendPlot& plot, const wchar_t* path) {
  const bool written = writePagePicture(path, [&](HDC dc, int width, int height) {
    drawGraphPage(plot, dc, width, height);
    return true;
  });
  plot.repaint();  // the plot holds page values until the screen paints again
  return written;
}

bool saveGraphPicture(HWND window) {
  wchar_t path[MAX_PATH];
  if (!askPicturePath(window, path)) return false;
  GraphTrendPlot* plot = graphPlot(window);  // the dialog let the program run on
  if (!plot) return false;
  if (writeGraphPicture(*plot, path)) return true;
  MessageBoxW(window, L"Не удалось сохранить рисунок.", L"Ошибка", MB_OK | MB_ICONSTOP);
  return false;
}
