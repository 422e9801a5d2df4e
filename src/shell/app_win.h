// Process-wide state of the application shell (one instance each).
#pragma once

#include <windows.h>

#include <atomic>

inline constexpr WPARAM NOTICE_ERROR = 1024;       // WM_USER parameter of the error notice (Windows-1251 text)
inline constexpr WPARAM NOTICE_ERROR_UTF8 = 1025;  // the same notice with a UTF-8 text (file names in any script)

struct AppState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  wchar_t title[100] = {};
  wchar_t className[100] = {};
  wchar_t savedCommandLine[512] = {};
  std::atomic<int> keepRunning{1};       // 0 after "Открыть...": restart on pendingConfigPath
  wchar_t pendingConfigPath[MAX_PATH] = {};
  HACCEL accelerators = nullptr;
};

extern AppState app;

// The engine's boardReady; false while there is no engine.
bool engineBoardReady();
// The engine's amplification of a gain code; 1 while there is no engine.
int engineGainFactor(int code);
// The engine's published data (currentValues, gainFactor); null while there is no engine.
struct AcquisitionState;
const AcquisitionState* engineState();

// Main window (main_window_win.cpp).
ATOM registerMainWindowClass(HINSTANCE instance, const wchar_t* className);
void closeMainWindow(HWND window);  // what the close message does

// Start-up, message loop and shut-down; returns the exit code.
int runProgram(HINSTANCE instance, int showCommand);
