// One indicator panel: a tile of the main window showing one channel's
// reading, limits, reference level, limit bar, recording indicator and
// output label. The window is a child dialog built from "PANEL".
//
// Everything here runs on the user-interface thread; the engine reads the
// published PanelState fields from its timer thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "panels/limit_bar_win.h"
#include "panels/panel_table.h"
#include "settings/meter_settings.h"

inline constexpr int PANEL_SAMPLE_CAPACITY = 4000;

// Panel commands: WM_USER, command in the low word of wParam, flag in the high word.
enum PanelCommand : int {
  PANEL_SHOW_VALUE = 0,      // text
  PANEL_SHOW_NUMBER = 1,     // integer
  PANEL_SHOW_REF = 2,        // text
  PANEL_SHOW_ABSOLUTE = 3,   // text
  PANEL_SHOW_MIN = 4,        // text
  PANEL_SHOW_MAX = 5,        // text
  PANEL_SET_REF = 6,         // float bits; flag 1 set, 0 clear
  PANEL_SET_MIN = 7,         // float bits; flag 1 set, 0 clear
  PANEL_SET_MAX = 8,         // float bits; flag 1 set, 0 clear
  PANEL_CLEAR_LIMITS = 9,
  PANEL_VALUE_COLOUR = 10,   // COLORREF
  PANEL_SHOW_OUTPUT = 11,
  PANEL_REPAINT_GRAPHS = 12,
  PANEL_SHOW_STALE = 13,     // flag 1: no blocks come, the reading shows "----" in grey until fresh samples do
};

inline constexpr UINT_PTR PANEL_STARTUP_TIMER = 0;
inline constexpr UINT_PTR PANEL_REFRESH_TIMER = 1;
inline constexpr UINT PANEL_STARTUP_DELAY_MS = 200;
// Used when a channel has no usable Interval (hidden panels read entry 0).
inline constexpr UINT PANEL_FALLBACK_INTERVAL_MS = 1000;

inline LPARAM floatArgument(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return static_cast<LPARAM>(bits);
}
inline float argumentFloat(LPARAM argument) {
  const uint32_t bits = static_cast<uint32_t>(argument);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Sends a panel command and waits for it to be handled.
LRESULT sendPanelCommand(HWND panel, int command, int flag = 0, LPARAM argument = 0);

class ChannelPanel : public PanelState {
 public:
  ChannelPanel(HINSTANCE instance, HWND parent);
  ~ChannelPanel();
  ChannelPanel(const ChannelPanel&) = delete;
  ChannelPanel& operator=(const ChannelPanel&) = delete;

  void placePanel(int column, int row, int channel);
  void hidePanel();
  void refreshPanel();
  void toggleRef(float value);
  void toggleMin(float value);
  void toggleMax(float value);

  HWND window() const { return static_cast<HWND>(panelWindow.load()); }
  // The panel's dialog procedure, after the stylers have seen the message.
  INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int32_t sampleCount = 0;
  HFONT valueFont = nullptr;
  HFONT numberFont = nullptr;
  HFONT tildeFont = nullptr;
  HWND parentWindow = nullptr;
  HINSTANCE instance = nullptr;
  int32_t ready = 0;
  float mean = 0.0f;
  float refValue = 0.0f;
  float minValue = 0.0f;
  float maxValue = 0.0f;
  float samples[PANEL_SAMPLE_CAPACITY] = {};
  int32_t refActive = 0;
  int32_t maxActive = 0;
  int32_t minActive = 0;
  int32_t recordBlink = 0;
  std::unique_ptr<LimitBarWindow> bar;
  HBRUSH panelBrush = nullptr;
  HBRUSH numberBrush = nullptr;
  COLORREF lastValueColour = 0;

 private:
  void styleControls();
  void restoreLimits();
  void command(int code, int flag, LPARAM argument);
  void collectSample(LPARAM values);
  void onButton(int id);
  void onTimer(UINT_PTR id);
  void setLimit(int code, float value, int flag);
  void toggleLimit(int32_t& active, float& limit, int buttonId, int fieldId,
                   float (MeterSettings::*stored)[CHANNEL_ARRAY_SIZE], float value);
  void showRecordingIndicator(int index);
  void showOutputLabel();
  void selectForStyling() const;
  // A child control by id, found once: under Wine each GetDlgItem is a round trip to the window server.
  HWND control(int id);

  bool leftLow = false;  // the limit last left was the lower one (for the event of coming back)
  // Once the buffer is full, the oldest sample is overwritten here.
  int32_t sampleOverwrite = 0;
  UINT refreshPeriod = 0;  // period the refresh timer runs at; 0 before it is set
  bool timerResting = false;  // hidden: the refresh timer stopped until the panel is placed
  struct Child {
    int id;
    HWND window;
  };
  Child children[16] = {};
};

// Builds a panel and its hidden window (the start-up timer runs from here on).
ChannelPanel* createPanel(HINSTANCE instance, HWND parent);
