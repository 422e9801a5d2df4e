// The recording viewer under Windows (or Wine), from outside: seconds from
// start to the first full picture (the summary complete and drawn), the time
// of a zoom or scroll step redrawn (each key handled and painted before the
// message returns), and the viewer's private memory.
//   viewer_bench_win VIEWER.exe REC.qmr
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "resource.h"

namespace {

constexpr int PROGRESS_DONE = 1000;  // the viewer's progress bar at the end of its summary
constexpr int STEPS = 20;

double now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

HWND findViewer(DWORD pid) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"SKALENORVIEW", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// Milliseconds per key, each sent and redrawn before SendMessage returns: mean and worst.
void steps(HWND plot, const char* what, WPARAM key) {
  std::vector<double> ms;
  for (int i = 0; i < STEPS; ++i) {
    const double t = now();
    SendMessageW(plot, WM_KEYDOWN, key, 0);
    ms.push_back((now() - t) * 1000);
  }
  double sum = 0;
  for (double m : ms) sum += m;
  std::printf("%-34s %.1f ms mean, %.1f ms worst (target at most 50 ms)\n", what, sum / STEPS,
              *std::max_element(ms.begin(), ms.end()));
}

// The private memory as Windows counts it (Wine does not count it for another process: nothing is printed).
void privateMemory(HANDLE process, const char* when) {
  PROCESS_MEMORY_COUNTERS_EX m{};
  m.cb = sizeof m;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
  if (m.PrivateUsage)
    std::printf("private memory %-19s %.1f MB (target at most 150 MB)\n", when, m.PrivateUsage / 1048576.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: viewer_bench_win VIEWER.exe REC.qmr\n", stderr);
    return 2;
  }
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" \"" + argv[2] + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double start = now();
  if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  HWND window = nullptr, progress = nullptr;
  while (now() - start < 120) {
    if (!window) window = findViewer(pi.dwProcessId);
    if (window && !progress) progress = FindWindowExW(GetDlgItem(window, IDC_VIEW_STATUS), nullptr, PROGRESS_CLASSW, nullptr);
    if (progress && SendMessageW(progress, PBM_GETPOS, 0, 0) == PROGRESS_DONE) break;
    Sleep(5);
  }
  const double picture = now() - start;
  std::printf("start to the first full picture: %.2f s (target at most 3 s)\n", picture);
  if (!window) return 1;
  HWND plot = GetDlgItem(window, IDC_VIEW_PLOT);
  privateMemory(pi.hProcess, "after the summary:");
  steps(plot, "zoom in one step (x 1/2):", VK_ADD);
  steps(plot, "scroll one step (a tenth):", VK_RIGHT);
  steps(plot, "zoom out one step (x 2):", VK_SUBTRACT);
  SendMessageW(window, WM_COMMAND, IDM_VIEWER_WHOLE, 0);
  // A day halved seven times: about eleven minutes in view, then scrolled.
  for (int i = 0; i < 7; ++i) SendMessageW(plot, WM_KEYDOWN, VK_ADD, 0);
  steps(plot, "scroll an 11-minute view:", VK_RIGHT);
  privateMemory(pi.hProcess, "at the end:");
  PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}
