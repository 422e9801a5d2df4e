#include "win_driver.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace driver {

std::wstring windowsPath(const std::string& path) {
  std::wstring out;
  if (!path.empty() && path[0] == '/') out = L"Z:";
  for (char c : path) out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring makeWorkFolder(const std::wstring& name) {
  const std::wstring dir = std::filesystem::current_path().wstring() + L"\\work-" + name;
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  std::filesystem::create_directory(dir, ignored);
  return dir;
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

bool start(Program& p, const std::wstring& folder, const char* exeVariable) {
  const char* path = std::getenv(exeVariable);
  if (!path) path = std::getenv("SKALENOR_EXE");
  const std::wstring exe = path ? windowsPath(path) : L"skalenor.exe";
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &p.pi) != 0;
}

std::vector<HWND> windows(DWORD processId, const wchar_t* className, const wchar_t* caption) {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, className, caption)) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if ((!processId || pid == processId) && IsWindowVisible(w)) found.push_back(w);
  }
  return found;
}

HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  std::vector<HWND> found = windows(processId, className, caption);
  while (found.empty() && GetTickCount() - start <= timeoutMs) {
    pump(20);
    found = windows(processId, className, caption);
  }
  return found.empty() ? nullptr : found[0];
}

std::wstring text(HWND window) {
  wchar_t buf[1024] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

std::wstring itemText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

namespace {
constexpr size_t TEXT_CHARS = 512;
// Sends message to control with a pointer to a block lent in its process,
// first filled with `in`; when the block holds a record, the record's text
// pointer (at pointerAt) is aimed at the text room after the record (at
// textAt). Returns what the control left in the block.
std::vector<char> lent(HWND control, UINT message, WPARAM wParam, std::vector<char> in, size_t pointerAt,
                       size_t textAt) {
  DWORD pid = 0;
  GetWindowThreadProcessId(control, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return {};
  char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, in.size(), MEM_COMMIT, PAGE_READWRITE));
  if (pointerAt != SIZE_MAX) {
    char* text = remote + textAt;
    std::memcpy(in.data() + pointerAt, &text, sizeof text);
  }
  WriteProcessMemory(process, remote, in.data(), in.size(), nullptr);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control, message, wParam, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &result);
  ReadProcessMemory(process, remote, in.data(), in.size(), nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return in;
}
}  // namespace

std::wstring listText(HWND list, int item, int column) {
  std::vector<char> block(sizeof(LVITEMW) + 2 * (TEXT_CHARS + 1));
  LVITEMW it{};
  it.iSubItem = column;
  it.cchTextMax = TEXT_CHARS;
  std::memcpy(block.data(), &it, sizeof it);
  block = lent(list, LVM_GETITEMTEXTW, item, block, offsetof(LVITEMW, pszText), sizeof(LVITEMW));
  return block.empty() ? L"" : reinterpret_cast<const wchar_t*>(block.data() + sizeof(LVITEMW));
}

std::wstring statusText(HWND status, int part) {
  const std::vector<char> block = lent(status, SB_GETTEXTW, part, std::vector<char>(2 * (TEXT_CHARS + 1)), SIZE_MAX, 0);
  return block.empty() ? L"" : reinterpret_cast<const wchar_t*>(block.data());
}

Picture capture(HWND window) {
  RECT r;
  if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return {};
  HDC screen = GetDC(window);
  const Picture p = paint(r.right, r.bottom, [&](HDC dc) {
    return BitBlt(dc, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY) != 0;
  });
  ReleaseDC(window, screen);
  return p;
}

Picture paint(int w, int h, const std::function<bool(HDC)>& draw) {
  Picture p;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // top row first
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, dib);
  PatBlt(memory, 0, 0, w, h, WHITENESS);
  if (draw(memory)) {
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    p.width = w;
    p.height = h;
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) p.pixels.push_back(px[i] & 0xFFFFFFu);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(dib);
  return p;
}

long long fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a) ? a.nFileSizeLow : -1;
}

void waitSteady(const std::wstring& path, DWORD stepMs, int steps) {
  for (long long last = -1; steps-- > 0;) {
    pump(stepMs);
    const long long size = fileSize(path);
    if (size > 0 && size == last) return;
    last = size;
  }
}

std::wstring newestFile(const std::wstring& folder, const wchar_t* pattern) {
  std::wstring newest;
  FILETIME latest{};
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return newest;
  do {
    if (CompareFileTime(&fd.ftLastWriteTime, &latest) > 0) {
      latest = fd.ftLastWriteTime;
      newest = folder + L"\\" + fd.cFileName;
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return newest;
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

bool startNamed(Program& p, const char* variable, const std::wstring& arguments, const std::wstring& folder) {
  const char* path = std::getenv(variable);
  if (!path) return false;
  std::wstring cmd = L"\"" + windowsPath(path) + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &p.pi) != 0;
}

}  // namespace driver
