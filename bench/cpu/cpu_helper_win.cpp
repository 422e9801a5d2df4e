// The CPU benchmark's Windows side.
//   cpu_helper calibrate timer SECONDS   a window and a 100 ms multimedia timer, nothing shown
//   cpu_helper calibrate texts SECONDS   the same plus 32 x 6 static texts rewritten every 500 ms
//   cpu_helper record                    starts a recording in the running program
//   cpu_helper stats                     one line for the running program: private bytes,
//                                        handles, GDI and USER objects
//   cpu_helper startup EXE               starts EXE here; prints the seconds to the title
//                                        naming the board and to the first reading
// The calibrations are the cheapest programs that do what the meter must do
// at least: the meter's CPU is reported as a ratio to them.
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

#include "resource.h"

namespace {

constexpr int TILES = 32, TEXTS_PER_TILE = 6;
HWND texts[TILES * TEXTS_PER_TILE] = {};
std::atomic<unsigned> ticks{0};
float reading = 0.0f;

void CALLBACK onTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { ticks.fetch_add(1, std::memory_order_relaxed); }

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    reading += 0.001f;
    wchar_t text[32];
    for (int i = 0; i < TILES * TEXTS_PER_TILE; ++i) {
      swprintf(text, 32, L"%8.4f", static_cast<double>(reading + static_cast<float>(i)));
      SetWindowTextW(texts[i], text);
    }
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int calibrate(bool withTexts, int seconds) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProcedure;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"CPUCALIBRATION";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(L"CPUCALIBRATION", L"calibration", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1280, 1000,
                              nullptr, nullptr, instance, nullptr);
  if (withTexts) {
    for (int t = 0; t < TILES; ++t)
      for (int i = 0; i < TEXTS_PER_TILE; ++i)
        texts[t * TEXTS_PER_TILE + i] =
            CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, (t % 4) * 320 + (i % 3) * 100, (t / 4) * 120 + (i / 3) * 40,
                          95, 30, window, nullptr, instance, nullptr);
    SetTimer(window, 1, 500, nullptr);
  }
  timeBeginPeriod(1);
  const MMRESULT timer = timeSetEvent(100, 1, onTick, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
  MSG msg;
  while (GetTickCount() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  timeKillEvent(timer);
  timeEndPeriod(1);
  DestroyWindow(window);
  std::printf("calibration: %u ticks\n", ticks.load());
  return 0;
}

HWND waitForWindow(const wchar_t* className, const wchar_t* caption) {
  for (int i = 0; i < 200; ++i) {
    if (HWND w = FindWindowW(className, caption)) return w;
    Sleep(50);
  }
  return nullptr;
}

int startRecording() {
  HWND main = waitForWindow(L"SKALENOR", nullptr);
  if (!main) return 2;
  PostMessageW(main, WM_COMMAND, IDM_CHANNELS, 0);
  HWND dialog = waitForWindow(L"#32770", L"Отображение и запись каналов");
  if (!dialog) return 3;
  Sleep(1000);  // let the dialog finish its set-up
  SendMessageW(GetDlgItem(dialog, IDC_RECORD_STOP), BM_CLICK, 0, 0);
  Sleep(500);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  return 0;
}

bool hasReading(HWND main) {
  for (HWND panel = GetWindow(main, GW_CHILD); panel; panel = GetWindow(panel, GW_HWNDNEXT)) {
    wchar_t text[64] = {};
    if (IsWindowVisible(panel) && GetDlgItemTextW(panel, IDC_PANEL_VALUE, text, 64) > 0 && std::wcscmp(text, L"*") != 0)
      return true;
  }
  return false;
}

int printStats() {
  HWND main = FindWindowW(L"SKALENOR", nullptr);
  DWORD pid = 0;
  if (main) GetWindowThreadProcessId(main, &pid);
  HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
  if (!process) return 2;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  std::printf("private_bytes %lu handles %lu gdi %lu user %lu\n", static_cast<unsigned long>(memory.PrivateUsage),
              static_cast<unsigned long>(handles), static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
              static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)));
  CloseHandle(process);
  return 0;
}

int measureStartUp(wchar_t* exe) {
  LARGE_INTEGER frequency, started, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  auto seconds = [&] {
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
  };
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
  double titled = -1, reading = -1;
  while (seconds() < 60 && reading < 0) {
    HWND main = FindWindowW(L"SKALENOR", nullptr);
    wchar_t title[200] = {};
    if (main) GetWindowTextW(main, title, 200);
    if (titled < 0 && std::wcsstr(title, L"Hz")) titled = seconds();
    if (titled >= 0 && hasReading(main)) reading = seconds();
    Sleep(10);
  }
  std::printf("start-up: title naming the board %.2f s, first reading %.2f s\n", titled, reading);
  if (HWND main = FindWindowW(L"SKALENOR", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"calibrate") == 0)
    return calibrate(std::wcscmp(argv[2], L"texts") == 0, _wtoi(argv[3]));
  if (argc == 2 && std::wcscmp(argv[1], L"record") == 0) return startRecording();
  if (argc == 3 && std::wcscmp(argv[1], L"startup") == 0) return measureStartUp(argv[2]);
  if (argc == 2 && std::wcscmp(argv[1], L"stats") == 0) return printStats();
  std::fprintf(stderr, "usage: cpu_helper calibrate timer|texts SECONDS | record | stats | startup EXE\n");
  return 2;
}
