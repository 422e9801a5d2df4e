// Graph windows: one per graph slot 0-3.
#pragma once

#include <windows.h>

// Opens the graph window of a slot owned by the main window; false when it
// could not be opened (the graph windows are not part of this build yet).
bool openGraphWindow(HWND owner, int graphSlot);
