// Printing a graph on the default printer (the graph window's print button),
// and saving the same page as a picture (the graph's context menu).
#pragma once

#include <windows.h>

class GraphTrendPlot;

// One landscape colour page, document "Trend". A failure is told in one notice.
void printGraph(GraphTrendPlot& plot);

// Asks for a file name and writes the page: EMF for a name ending in ".emf",
// PNG otherwise. False when nothing was written (cancelled or failed).
bool saveGraphPicture(GraphTrendPlot& plot);

// Writes the page picture to path without asking; used by the dialog above.
bool writeGraphPicture(GraphTrendPlot& plot, const wchar_t* path);
