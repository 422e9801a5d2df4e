// One page of a graph on any device context: printer, metafile or bitmap.
#pragma once

#include <windows.h>

class GraphTrendPlot;

// Makes the page's fonts, pens and brush for horzRes x vertRes pixels, draws
// the page (as a one-page document "Trend" when asDocument) and deletes them.
// False only when the document could not be started.
bool drawGraphPage(GraphTrendPlot& plot, HDC dc, int horzRes, int vertRes, bool asDocument);
