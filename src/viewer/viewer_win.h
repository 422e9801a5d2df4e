// The recording viewer's Win32 front end: one main window with the plot, the
// channel list and the status line, over one open recording.
#pragma once

#include <windows.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "recording/recording_reader.h"
#include "resource.h"
#include "viewer/summary_builder.h"
#include "viewer/view_model.h"

inline constexpr UINT MSG_EXPORT_DONE = WM_APP + 1;   // wParam: 1 written, 0 failed
inline constexpr UINT MSG_OPEN_IN_FOLDER = WM_APP + 2;  // lParam: the folder, from _wcsdup
inline constexpr int NO_SCALE = -1;

// The open recording and what the user has made of it.
struct ViewerDocument {
  std::unique_ptr<RecordingFile> recording;
  RecordingFile& file() const { return *recording; }
  std::unique_ptr<SummaryBuilder> summary;
  ViewModel view;
  std::vector<bool> shown;  // per row column
  std::vector<COLORREF> colours;
  int scale[2] = {NO_SCALE, NO_SCALE};  // the channels whose values the left and right axes give
  double startOfDay = -1.0;             // the start's second of the day, from the file name; -1 unknown
  bool clockTime = false;               // the time axis in clock time
  std::vector<double> markerSeconds;    // per marker, from the start
  double cursor[2] = {NAN, NAN};        // rows of the two cursors
  double hover = NAN;                   // the row under the mouse
  std::wstring path;
  DWORD lastGrowth = 0;  // tick count of the last rows added
  bool ignoreDescription = false;  // damaged: no names, no markers

  bool open() const { return !path.empty(); }
  double secondsOf(double row) const { return (row + 1) / file().rowsPerSecond(); }
  double rowAt(double seconds) const { return seconds * file().rowsPerSecond() - 1; }
  // The channel's name from the description, or "" (none, or not to be trusted).
  std::string name(int c) const { return ignoreDescription ? std::string() : file().channels()[c].name; }
  std::vector<int> shownChannels() const;
  // The values low .. high that channel c shows from the bottom to the top of the plot.
  void shownRange(int c, double* low, double* high) const;
};

struct Viewer {
  HINSTANCE instance = nullptr;
  HWND window = nullptr, plot = nullptr, list = nullptr, status = nullptr, progress = nullptr;
  HWND markers = nullptr;  // the modeless marker list, when open
  HACCEL keys = nullptr;
  ViewerDocument doc;
};
extern Viewer viewer;

// viewer_window_win.cpp
bool registerViewerWindow(HINSTANCE instance);
HWND createViewerWindow(HINSTANCE instance, int show);
// Opens a recording (either file of the pair); a failure is told in a box.
bool openRecording(const std::wstring& path);
// Asks for a recording to open, starting in folder (or the last one).
void askToOpen(const std::wstring& folder);
// The list's values at the hover row and (figuresToo) its figures between the
// cursors, and the status line's cursor text.
void refreshReadings(bool figuresToo);
void setStatus(int part, const std::wstring& text);

// viewer_plot_win.cpp
bool registerPlotWindow(HINSTANCE instance);
// The picture of the traces is made again (view, channels or data changed).
void redrawPlot();
// The overlays alone (cursors, the mouse line) changed.
void refreshOverlay();
// The view on a page or picture of width x height pixels (true: drawn).
bool paintViewPage(HDC dc, int width, int height);

// viewer_dialogs_win.cpp
void exportSpan(HWND owner);
bool exportRunning();
void exportProgress();  // status line while an export runs
void exportFinished(bool written);
void showMarkerList(HWND owner);
void fillMarkerList();
void savePicture(HWND owner);
void printView(HWND owner);
