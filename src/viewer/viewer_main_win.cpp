// skalenor-view.exe [RECORDING | FOLDER]: a recording opens at once (either
// file of its pair); a folder opens the "Открыть..." dialog there.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "viewer/viewer_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  viewer.instance = instance;
  if (!registerViewerWindow(instance) || !registerPlotWindow(instance) || !createViewerWindow(instance, show))
    return 1;

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv && argc > 1) {
    const DWORD attributes = GetFileAttributesW(argv[1]);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      PostMessageW(viewer.window, MSG_OPEN_IN_FOLDER, 0, reinterpret_cast<LPARAM>(_wcsdup(argv[1])));
    else
      openRecording(argv[1]);
  }
  LocalFree(argv);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (viewer.markers && IsDialogMessageW(viewer.markers, &msg)) continue;
    if (TranslateAcceleratorW(viewer.window, viewer.keys, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
