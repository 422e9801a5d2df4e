#include "win_driver.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace driver {

std::wstring windowsPath(const std::string& path) {
  std::wstring out;
  if (!path.empty() && path[0] == '/') out = L"Z:";
  for (char c : path) out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring makeWorkFolder(const std::wstring& name) {
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  const std::wstring dir = std::wstring(cwd) + L"\\work-" + name;
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  std::filesystem::create_directory(dir, ignored);
  return dir;
}

bool Program::running() const {
  return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
}

int Program::waitExit(DWORD timeoutMs) {
  if (!pi.hProcess) return -1;
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    pump(0);
    if (GetTickCount() - start > timeoutMs) return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  return static_cast<int>(code);
}

Program::~Program() {
  if (running()) {
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
}

bool start(Program& p, const std::wstring& folder) {
  const char* path = std::getenv("SKALENOR_EXE");
  const std::wstring exe = path ? windowsPath(path) : L"skalenor.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &p.pi) != 0;
}

namespace {
struct Search {
  DWORD pid;
  const wchar_t* className;
  const wchar_t* caption;
  HWND found;
};
BOOL CALLBACK visit(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (s->pid && pid != s->pid) return TRUE;
  if (!IsWindowVisible(w)) return TRUE;
  wchar_t buf[256];
  if (s->className) {
    GetClassNameW(w, buf, 256);
    if (wcscmp(buf, s->className) != 0) return TRUE;
  }
  if (s->caption) {
    GetWindowTextW(w, buf, 256);
    if (wcscmp(buf, s->caption) != 0) return TRUE;
  }
  s->found = w;
  return FALSE;
}
BOOL CALLBACK longestStatic(HWND w, LPARAM lp) {
  auto* best = reinterpret_cast<std::wstring*>(lp);
  wchar_t cls[64];
  GetClassNameW(w, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    std::wstring t = text(w);
    if (t.size() > best->size()) *best = t;
  }
  return TRUE;
}
}  // namespace

HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search s{processId, className, caption, nullptr};
    EnumWindows(visit, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    pump(20);
  }
}

std::wstring text(HWND window) {
  wchar_t buf[1024] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

std::wstring itemText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

std::wstring messageBoxText(HWND box) {
  std::wstring best;
  EnumChildWindows(box, longestStatic, reinterpret_cast<LPARAM>(&best));
  return best;
}

Picture capture(HWND window, bool clientOnly) {
  Picture p;
  RECT r;
  if (!(clientOnly ? GetClientRect(window, &r) : GetWindowRect(window, &r))) return p;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return p;
  HDC screen = clientOnly ? GetDC(window) : GetWindowDC(window);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* px = static_cast<const uint32_t*>(bits);
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = px[i] & 0xFFFFFFu;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return p;
}

void pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (ms) Sleep(10);
  } while (GetTickCount() - start < ms);
}

}  // namespace driver
