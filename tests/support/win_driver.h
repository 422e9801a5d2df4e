// Working the running program from a second Windows process, as a user would:
// start it in a folder, find its windows, send commands, read texts back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace driver {

// Wine path (Z:\...) of a Unix path; Windows paths are returned unchanged.
std::wstring windowsPath(const std::string& path);

// A fresh empty folder for one test under the current directory; returns its path.
std::wstring makeWorkFolder(const std::wstring& name);

struct Program {
  PROCESS_INFORMATION pi{};
  bool running() const { return pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
  // Waits for the process to end; returns its exit code or -1 on time-out.
  int waitExit(DWORD timeoutMs);
  ~Program();
};

// Starts skalenor.exe (the program the variable names, else SKALENOR_EXE) in
// the folder, its current directory.
bool start(Program& p, const std::wstring& folder, const char* exeVariable = "SKALENOR_EXE");

// Visible top-level windows of the process (0: any) with this class (null: any)
// and, if given, this caption; the first of them, waiting up to timeoutMs.
std::vector<HWND> windows(DWORD processId, const wchar_t* className, const wchar_t* caption);
HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, DWORD timeoutMs);

// Text of a window or of a dialog control.
std::wstring text(HWND window);
std::wstring itemText(HWND dialog, int id);
// Text of a list view's cell or a status bar's part in another process (the
// messages carry pointers: the text goes through memory lent in that process).
std::wstring listText(HWND list, int item, int column);
std::wstring statusText(HWND status, int part);

// A window's client area as the screen shows it, with its children: 0xRRGGBB,
// row by row from the top. Empty when it cannot be read.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Picture capture(HWND window);
// What draw puts on a white bitmap of w by h; empty when draw fails.
Picture paint(int w, int h, const std::function<bool(HDC)>& draw);

// A file's size, -1 when it is not there.
long long fileSize(const std::wstring& path);
// Waits (pumping) until the file exists and its size holds over one step.
void waitSteady(const std::wstring& path, DWORD stepMs, int steps);
// The newest file matching a pattern with wildcards, "" when there is none.
std::wstring newestFile(const std::wstring& folder, const wchar_t* pattern);

// Pumps this thread's messages for the given time (keeps sent messages flowing).
void pump(DWORD ms);

// Starts the program an environment variable names, with arguments, in the folder.
bool startNamed(Program& p, const char* variable, const std::wstring& arguments, const std::wstring& folder);

}  // namespace driver
