#include "graphs/plot_table.h"

GraphTrendPlot* plotTable[PLOT_TABLE_SIZE] = {};
PlotRepaintHandler plotRepaintHandler = nullptr;
PlotRebuildHandler plotRebuildHandler = nullptr;

void repaintGraphPlots() {
  if (plotRepaintHandler == nullptr) return;
  for (GraphTrendPlot* plot : plotTable) {
    if (plot != nullptr) plotRepaintHandler(plot);
  }
}

void rebuildPlotsShowingChannel(int channel) {
  if (plotRebuildHandler == nullptr) return;
  for (GraphTrendPlot* plot : plotTable) {
    if (plot != nullptr) plotRebuildHandler(plot, channel);
  }
}
