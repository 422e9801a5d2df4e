// Printing a graph on the default printer (the graph window's print button),
// and saving the same page as a picture (the graph's context menu).
#pragma once

#include <windows.h>

class GraphTrendPlot;

// One landscape colour page of the window's graph, document "Trend". A failure
// is told in one notice; a graph closed meanwhile ends it quietly.
void printGraph(HWND graphWindow);

// Asks for a file name and writes the page of the window's graph: EMF for a
// name ending in ".emf", PNG otherwise. False when nothing was written
// (cancelled, failed, or the graph closed meanwhile).
bool saveGraphPicture(HWND graphWindow);

// Writes the page picture to path without asking; used by the dialog above.
bool writeGraphPicture(GraphTrendPlot& plot, const wchar_t* path);
