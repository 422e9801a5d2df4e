// Closes the running program cleanly: WM_CLOSE to its main window, then waits
// for the process to end. Exit code: the program's, or 2 when none runs.
#include <windows.h>

#include <cstdio>

int wmain() {
  HWND main = FindWindowW(L"SKALENOR", nullptr);
  if (!main) {
    std::fprintf(stderr, "skalenor-close: the program is not running\n");
    return 2;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (!process) return 0;
  DWORD code = 1;
  if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}
