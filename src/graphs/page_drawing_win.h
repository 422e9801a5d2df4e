// One page of a graph on any device context: printer, metafile or bitmap.
#pragma once

#include <windows.h>

class GraphTrendPlot;

// Makes the page's fonts, pens and brush for horzRes x vertRes pixels, draws
// the page and deletes them.
void drawGraphPage(GraphTrendPlot& plot, HDC dc, int horzRes, int vertRes);
