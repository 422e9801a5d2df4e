// The table of plot pointers: one entry per graph slot 0-3, the plot of an
// open graph window or null. Read by the panels, the channel settings dialog
// and the main window; written by the graph windows.
#pragma once

class GraphTrendPlot;

inline constexpr int PLOT_TABLE_SIZE = 4;

extern GraphTrendPlot* plotTable[PLOT_TABLE_SIZE];

// How one plot is repainted (its plot rectangle invalidated without erasing);
// set by the graph windows once they exist. Null: nothing to do.
using PlotRepaintHandler = void (*)(GraphTrendPlot* plot);
extern PlotRepaintHandler plotRepaintHandler;

// Repaints every open graph's plot, limit lines included. Null entries are skipped.
void repaintGraphPlots();

// How one plot is rebuilt when it shows channel n (MSG_REBUILD_PLOT to its
// window); set by the graph windows. Null: nothing to do.
using PlotRebuildHandler = void (*)(GraphTrendPlot* plot, int channel);
extern PlotRebuildHandler plotRebuildHandler;

// Sends MSG_REBUILD_PLOT to every open graph window one of whose trace
// selectors shows channel n (1-32): after the channel's K or B changed.
void rebuildPlotsShowingChannel(int channel);
