// Works the running program from outside, as its menu and close button would:
//   skalenor-close                 WM_CLOSE to the main window, wait for the end
//   skalenor-close --command ID    a menu command (e.g. 32771 "Каналы...")
//   skalenor-close --click ID      a click on the first shown button with that id in the program's windows
//                                  (1005: a panel's gear, 1105: a graph's print button)
// Exit code: the program's (or 0 after a command), 2 when it is not running.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

struct ButtonSearch {
  int id;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK findButton(HWND w, LPARAM p) {
  auto* search = reinterpret_cast<ButtonSearch*>(p);
  if (GetDlgCtrlID(w) != search->id || !IsWindowVisible(w)) return TRUE;
  search->found = w;
  return FALSE;
}

// The main window's panels and the graph windows: every top-level window of the program.
BOOL CALLBACK searchWindow(HWND w, LPARAM p) {
  auto* search = reinterpret_cast<ButtonSearch*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == search->pid && IsWindowVisible(w)) EnumChildWindows(w, findButton, p);
  return search->found == nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HWND main = FindWindowW(L"SKALENOR", nullptr);
  if (!main) {
    std::fprintf(stderr, "skalenor-close: the program is not running\n");
    return 2;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"--command") == 0) {
    PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(std::wcstoul(argv[2], nullptr, 10)), 0);
    return 0;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"--click") == 0) {
    ButtonSearch search{static_cast<int>(std::wcstoul(argv[2], nullptr, 10)), 0, nullptr};
    GetWindowThreadProcessId(main, &search.pid);
    EnumChildWindows(main, findButton, reinterpret_cast<LPARAM>(&search));
    if (!search.found) EnumWindows(searchWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 2;
    PostMessageW(search.found, BM_CLICK, 0, 0);
    return 0;
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
