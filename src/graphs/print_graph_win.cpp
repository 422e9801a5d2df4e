#include "graphs/print_graph_win.h"

// Nothing is printed yet: the page comes with the printing work.
void printGraph(GraphTrendPlot&) {}
