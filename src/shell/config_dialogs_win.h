// The open and save dialogs of configuration files.
#pragma once

#include <windows.h>

enum class PromptKind { Open, Save };

// Runs the open or save dialog; returns the chosen path (a process-wide buffer
// of MAX_PATH characters) or null when the user cancels. A saved name without
// an extension gets the filter's ".cfg".
const wchar_t* promptConfigFile(PromptKind kind, HWND owner, const wchar_t* title, const wchar_t* filterName,
                                const wchar_t* pattern, const wchar_t* startDirectory = nullptr);

// Hook of the common dialogs: centres the dialog on its owner (or the screen),
// kept on the screen.
UINT_PTR CALLBACK centerCommonDialog(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
