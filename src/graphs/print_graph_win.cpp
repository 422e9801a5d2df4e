// The printed page of a graph: the default printer in landscape colour mode,
// the page's fonts and pens, and the plot's own drawing hooks on the page.
#include "graphs/print_graph_win.h"

#include "graphs/graph_trend_plot_win.h"
#include "graphs/graph_window_win.h"
#include "graphs/page_drawing_win.h"
#include "graphs/page_output_win.h"

void printGraph(HWND window) {
  if (!graphPlot(window)) return;
  printPage(window, L"Trend", [window](HDC dc, int width, int height) {
    // A printer driver's dialog in StartDoc may have outlived the graph: then nothing is drawn.
    GraphTrendPlot* plot = graphPlot(window);
    if (!plot) return false;
    drawGraphPage(*plot, dc, width, height);
    return true;
  });
  if (GraphTrendPlot* plot = graphPlot(window)) plot->repaint();  // it holds page values until the screen paints
}
