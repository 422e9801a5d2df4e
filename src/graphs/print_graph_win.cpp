// The printed page of a graph: the default printer in landscape colour mode,
// the page's fonts and pens, and the plot's own drawing hooks on the page.
#include "graphs/print_graph_win.h"

#include "graphs/graph_trend_plot_win.h"
#include "graphs/page_drawing_win.h"
#include "graphs/page_output_win.h"
#include "graphs/print_page.h"

void printGraph(GraphTrendPlot& plot) {
  printPage(plot.window, L"Trend", [&](HDC dc, int width, int height) {
    drawGraphPage(plot, dc, width, height);
    return true;
  });
  plot.repaint();  // the plot holds page values until the screen paints again
}
