// The channels-and-recording dialog (modeless, one instance): which channel
// each panel position shows, which channels are recorded, the recording
// interval and time base, the output word width, marking of switchings, and
// the record/stop button.
#pragma once

#include <windows.h>

// Creates the dialog owned by the main window; a second one closes itself at once.
HWND openChannelsDialog(HWND owner);

// The open dialog, or null (for IsDialogMessage in the message loop).
HWND channelsDialogWindow();
// Brings the open dialog's controls up to date (after a recording ended by itself).
void refreshChannelsDialog();

// Control ids of panel position p (1-32).
inline int selectorId(int position) { return position == 1 ? 1000 : 1001 + position; }
inline int recordBoxId(int position) { return position <= 8 ? 1035 + position : 1043 + position; }
