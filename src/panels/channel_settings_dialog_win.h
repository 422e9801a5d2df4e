// The channel settings dialog, run modally from a panel's settings button.
#pragma once

#include <windows.h>

// Index in panelTable of the panel whose settings are edited; set by the
// panel before it runs the dialog.
extern int toolsPanelIndex;

void runChannelSettingsDialog(HWND owner, int panelIndex);
