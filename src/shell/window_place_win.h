// Window rectangles as the configuration stores them (rWnd, rPlot) and as they
// are restored at start.
#pragma once

#include <windows.h>

#include <cstdint>

// The window's restored rectangle in screen coordinates, also while it is
// minimised or maximised (when GetWindowRect gives a place never to restore).
bool storedWindowRect(HWND window, int32_t rect[4]);

// Moves the window back onto the screen when the nearest monitor's work area
// does not hold it whole: a stored rectangle may lie where no screen is now.
void keepOnScreen(HWND window);
