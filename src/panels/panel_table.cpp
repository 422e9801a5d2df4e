#include "panels/panel_table.h"

PanelState* panelTable[PANEL_COUNT] = {};
