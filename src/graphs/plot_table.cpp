#include "graphs/plot_table.h"

GraphTrendPlot* plotTable[PLOT_TABLE_SIZE] = {};
PlotRepaintHandler plotRepaintHandler = nullptr;

void repaintGraphPlots() {
  if (plotRepaintHandler == nullptr) return;
  for (GraphTrendPlot* plot : plotTable) {
    if (plot != nullptr) plotRepaintHandler(plot);
  }
}

// The graph windows do not exist yet: no plot shows any channel.
void rebuildPlotsShowingChannel(int) {}
