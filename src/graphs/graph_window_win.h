// Graph windows: one modeless dialog per graph slot 0-3, owned by the main window.
#pragma once

#include <windows.h>

inline constexpr UINT MSG_REBUILD_PLOT = WM_USER + 1;

// Creates the graph window of a slot (set up 50 ms later); false when it
// could not be created.
bool openGraphWindow(HWND owner, int graphSlot);

// True from the creation of a slot's window to its destruction.
bool graphWindowOpen(int slot);

// "Сохранить...": every open graph stores its window rectangle, then its time
// scale and view, writing the configuration after each.
void saveOpenGraphs();

// The plot of a graph window that still exists, or null. A modal loop started
// from a graph window (a dialog, a message box, a printer driver's dialog) lets
// the program run on: the window may be closed, or its plot rebuilt, before the
// loop returns. What follows such a loop takes the plot anew from here.
class GraphTrendPlot;
GraphTrendPlot* graphPlot(HWND window);

// Internal to the graph windows (graph_dialogs_win.cpp).
class GraphTrendPlot;
void fillContextMenu(GraphTrendPlot& plot, int area, HMENU popup);
void openContextMenu(HWND window, GraphTrendPlot& plot, int x, int y);
void renameGraph(HWND window);
void chooseTraceColour(HWND window, GraphTrendPlot& plot, int x, int y);
