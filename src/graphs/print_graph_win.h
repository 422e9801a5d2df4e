// Printing a graph on the default printer (the graph window's print button).
#pragma once

class GraphTrendPlot;

void printGraph(GraphTrendPlot& plot);
