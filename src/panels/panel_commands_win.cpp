// The panel's commands, its refresh and the limit switches.
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "controls/control_styler_win.h"
#include "eventlog/event_log_win.h"
#include "graphs/plot_table.h"
#include "network/meter_snapshot.h"
#include "panels/channel_panel_win.h"
#include "panels/panel_reading.h"
#include "panels/reading_format.h"
#include "recording/recorder_link.h"
#include "resources/resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"

namespace {

constexpr COLORREF LIMIT_ON_COLOUR = RGB(0, 128, 0);
constexpr COLORREF LIMIT_OFF_COLOUR = RGB(160, 160, 160);
constexpr COLORREF REF_OFF_COLOUR = RGB(160, 150, 160);
constexpr COLORREF FIELD_ON_COLOUR = RGB(255, 255, 0);
constexpr COLORREF FIELD_OFF_COLOUR = RGB(128, 128, 128);
constexpr COLORREF READING_COLOUR = RGB(255, 255, 0);
constexpr COLORREF READING_REF_COLOUR = RGB(255, 192, 0);
constexpr COLORREF READING_OUT_COLOUR = RGB(255, 0, 0);
constexpr COLORREF OUTPUT_COLOUR = RGB(160, 160, 160);
constexpr COLORREF OUTPUT_ACTIVE_COLOUR = RGB(192, 0, 0);
constexpr COLORREF REC_OFF_COLOUR = RGB(200, 200, 200);
constexpr COLORREF REC_ARMED_COLOUR = RGB(176, 128, 128);
constexpr COLORREF REC_BLINK_LIGHT = RGB(192, 192, 192);
constexpr COLORREF REC_BLINK_DARK = RGB(160, 0, 0);
constexpr COLORREF STALE_COLOUR = RGB(128, 128, 128);
constexpr int TEXT_SIZE = 64;

HBRUSH blackBrush() { return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)); }

// Sets a control's text only when it differs, so steady readings do not flicker.
void showText(HWND control, const wchar_t* text) {
  wchar_t current[TEXT_SIZE];
  GetWindowTextW(control, current, TEXT_SIZE);
  if (lstrcmpW(current, text) != 0) SetWindowTextW(control, text);
}

// A static's colours, set (and the static repainted) only when they change:
// these are refreshed with every reading. background null: leave it.
void restyleStatic(int id, COLORREF colour, HBRUSH background) {
  const int entry = staticStyler.findEntry(id);
  if (entry == staticStyler.entryCount()) return;
  if (background != nullptr && staticStyler.entryBackground(entry) != background) staticStyler.setBackground(id, background);
  if (staticStyler.entryTextColour(entry) != colour) staticStyler.setTextColour(id, colour);
}

void showAscii(HWND control, const char* text) {
  wchar_t wide[TEXT_SIZE] = {};
  if (text != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, wide, TEXT_SIZE - 1);
  showText(control, wide);
}

// Names and units in the settings are Windows-1251 bytes.
void showCp1251(HWND control, const char* text, size_t size) {
  wchar_t wide[TEXT_SIZE] = {};
  const int length = static_cast<int>(strnlen(text, size));
  MultiByteToWideChar(1251, 0, text, length, wide, TEXT_SIZE - 1);
  showText(control, wide);
}

void sendText(HWND window, int command, const char* text) {
  sendPanelCommand(window, command, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

void ChannelPanel::command(int code, int flag, LPARAM argument) {
  MeterSettings* settings = meterSettings.load();
  switch (code) {
    case PANEL_SHOW_VALUE: {
      showAscii(control(IDC_PANEL_VALUE), reinterpret_cast<const char*>(argument));
      const int index = visible ? channel.load() : 0;
      if (settings != nullptr) {
        showCp1251(control(IDC_PANEL_UNIT), settings->unitText[index], SETTINGS_TEXT_SIZE);
        showCp1251(control(IDC_PANEL_NAME), settings->channelName[index], SETTINGS_TEXT_SIZE);
      }
      showRecordingIndicator(index);
      break;
    }
    case PANEL_SHOW_NUMBER: {
      wchar_t text[16];
      wsprintfW(text, L"%d", static_cast<int>(argument));
      showText(control(IDC_PANEL_NUMBER), text);
      break;
    }
    case PANEL_SHOW_REF: showAscii(control(IDC_PANEL_REF_FIELD), reinterpret_cast<const char*>(argument)); break;
    case PANEL_SHOW_ABSOLUTE: showAscii(control(IDC_PANEL_ABS_FIELD), reinterpret_cast<const char*>(argument)); break;
    case PANEL_SHOW_MIN: showAscii(control(IDC_PANEL_MIN_FIELD), reinterpret_cast<const char*>(argument)); break;
    case PANEL_SHOW_MAX: showAscii(control(IDC_PANEL_MAX_FIELD), reinterpret_cast<const char*>(argument)); break;
    case PANEL_SET_REF:
    case PANEL_SET_MIN:
    case PANEL_SET_MAX: setLimit(code, argumentFloat(argument), flag); break;
    case PANEL_CLEAR_LIMITS:
      setLimit(PANEL_SET_MIN, 0.0f, 0);
      setLimit(PANEL_SET_MAX, 0.0f, 0);
      break;
    case PANEL_VALUE_COLOUR:
      selectForStyling();
      staticStyler.setBackground(IDC_PANEL_VALUE, blackBrush());
      staticStyler.setTextColour(IDC_PANEL_VALUE, static_cast<COLORREF>(argument));
      break;
    case PANEL_SHOW_OUTPUT: showOutputLabel(); break;
    case PANEL_REPAINT_GRAPHS: repaintGraphPlots(); break;
    case PANEL_SAMPLES: collectSample(argument); break;
    case PANEL_SHOW_STALE:
      if (!flag) break;  // fresh samples put the reading back at the next refresh
      sampleCount = 0;
      sampleOverwrite = 0;
      showText(control(IDC_PANEL_VALUE), L"----");
      selectForStyling();
      restyleStatic(IDC_PANEL_VALUE, STALE_COLOUR, blackBrush());
      lastValueColour = STALE_COLOUR;
      break;
    default: break;
  }
}

void ChannelPanel::collectSample(LPARAM argument) {
  const auto* values = reinterpret_cast<const std::atomic<float>*>(argument);
  const int c = channel;
  if (!visible || values == nullptr || c < 1 || c > PANEL_COUNT) return;
  keepSample(samples, PANEL_SAMPLE_CAPACITY, sampleCount, sampleOverwrite,
             values[c - 1].load(std::memory_order_relaxed));
}

void ChannelPanel::setLimit(int code, float value, int flag) {
  const int32_t wanted = flag != 0 ? 1 : 0;
  // Each toggle flips its flag: preset the opposite so it ends as wanted.
  if (code == PANEL_SET_REF) {
    refActive = 1 - wanted;
    toggleRef(value);
  } else if (code == PANEL_SET_MIN) {
    minValue = value;
    if (bar) bar->setBarLow(value);
    minActive = 1 - wanted;
    toggleMin(value);
  } else {
    maxValue = value;
    if (bar) bar->setBarHigh(value);
    maxActive = 1 - wanted;
    toggleMax(value);
  }
}

void ChannelPanel::toggleRef(float value) {
  MeterSettings* settings = meterSettings.load();
  refActive = !refActive;
  selectForStyling();
  const int fields[] = {IDC_PANEL_REF_FIELD, IDC_PANEL_ABS_FIELD};
  if (refActive) {
    refValue = value;
    buttonStyler.setTextColour(IDC_PANEL_REF, LIMIT_ON_COLOUR);
    for (int id : fields) {
      staticStyler.setTextColour(id, FIELD_ON_COLOUR);
      staticStyler.setBackground(id, blackBrush());
    }
  } else {
    refValue = 0.0f;
    buttonStyler.setTextColour(IDC_PANEL_REF, REF_OFF_COLOUR);
    for (int id : fields) {
      staticStyler.setTextColour(id, FIELD_OFF_COLOUR);
      staticStyler.setBackground(id, panelBrush);
      SetDlgItemTextW(window(), id, L"");
    }
  }
  if (settings == nullptr) return;
  sharedStore(settings->refLevel[channel.load()], refActive ? value : LIMIT_UNSET);
  writeSettings(*settings);
}

void ChannelPanel::toggleMin(float value) {
  toggleLimit(minActive, minValue, IDC_PANEL_MIN, IDC_PANEL_MIN_FIELD, &MeterSettings::minLimit, value);
}

void ChannelPanel::toggleMax(float value) {
  toggleLimit(maxActive, maxValue, IDC_PANEL_MAX, IDC_PANEL_MAX_FIELD, &MeterSettings::maxLimit, value);
}

// Flips one limit: its button and field colours, the field emptied when off,
// the stored limit (LIMIT_UNSET when off) and the configuration file.
void ChannelPanel::toggleLimit(int32_t& active, float& limit, int buttonId, int fieldId,
                               float (MeterSettings::*stored)[CHANNEL_ARRAY_SIZE], float value) {
  MeterSettings* settings = meterSettings.load();
  active = !active;
  selectForStyling();
  limit = active ? value : 0.0f;
  buttonStyler.setTextColour(buttonId, active ? LIMIT_ON_COLOUR : LIMIT_OFF_COLOUR);
  staticStyler.setTextColour(fieldId, active ? FIELD_ON_COLOUR : FIELD_OFF_COLOUR);
  staticStyler.setBackground(fieldId, active ? blackBrush() : panelBrush);
  if (!active) SetDlgItemTextW(window(), fieldId, L"");
  if (settings == nullptr) return;
  sharedStore((settings->*stored)[channel.load()], active ? value : LIMIT_UNSET);
  writeSettings(*settings);
}

void ChannelPanel::refreshPanel() {
  if (!ready || sampleCount == 0 || !bar) return;
  float sum = 0.0f;
  for (int i = 0; i < sampleCount; ++i) sum += samples[i];
  mean = sum / static_cast<float>(sampleCount);
  sampleCount = 0;
  sampleOverwrite = 0;

  const float d = shownReading(mean, refActive != 0, refValue);
  MeterSettings* settings = meterSettings.load();
  const int32_t npk = settings != nullptr ? sharedLoad(settings->NPK[channel]) : 0;
  // Against the bar's limits as they stand before this refresh.
  const bool wasOut = outOfRange.load() != 0;
  const bool out = raisesOutput(d, npk, bar->limitsShown != 0, bar->lowLimit, bar->highLimit);
  outOfRange = out ? 1 : 0;
  if (out != wasOut) {
    if (out) leftLow = d < bar->lowLimit;
    char reading[32];
    formatReading(d, reading, sizeof reading);
    logLimitEvent(out, channel, reading, leftLow ? LimitSide::Low : LimitSide::High, npk);
  }
  if (!visible) return;

  HWND window = this->window();
  char text[32];
  formatReading(d, text, sizeof text);
  sendText(window, PANEL_SHOW_VALUE, text);
  if (refActive) {
    formatReading(refValue, text, sizeof text);
    sendText(window, PANEL_SHOW_REF, text);
    formatReading(d + refValue, text, sizeof text);
    sendText(window, PANEL_SHOW_ABSOLUTE, text);
  }
  if (minActive) {
    formatReading(minValue, text, sizeof text);
    bar->setBarLow(minValue);
    sendText(window, PANEL_SHOW_MIN, text);
  }
  if (maxActive) {
    formatReading(maxValue, text, sizeof text);
    bar->setBarHigh(maxValue);
    sendText(window, PANEL_SHOW_MAX, text);
  }
  sendPanelCommand(window, PANEL_SHOW_OUTPUT);

  if (d != 0.0f) {  // a reading of exactly 0 never widens the seen band
    bar->seenMin = std::min(bar->seenMin, d);
    bar->seenMax = std::max(bar->seenMax, d);
  }
  bar->limitsShown = (minActive && maxActive) ? 1 : 0;
  bar->shownValue = d;
  bar->drawBar(d);

  COLORREF colour = refActive ? READING_REF_COLOUR : READING_COLOUR;
  int32_t state = refActive ? READING_REFERENCE : READING_PLAIN;
  if (bar->limitsShown && (d < bar->lowLimit || d > bar->highLimit)) {
    colour = READING_OUT_COLOUR;
    state = READING_OUT_OF_RANGE;
  }
  if (colour != lastValueColour) sendPanelCommand(window, PANEL_VALUE_COLOUR, 0, static_cast<LPARAM>(colour));
  lastValueColour = colour;
  publishedReading.store(d, std::memory_order_relaxed);
  readingState.store(state, std::memory_order_relaxed);
  ready = 1;
}

HWND ChannelPanel::control(int id) {
  for (Child& child : children) {
    if (child.id == id) return child.window;
    if (child.id == 0) {
      child = {id, GetDlgItem(window(), id)};
      return child.window;
    }
  }
  return GetDlgItem(window(), id);
}

void ChannelPanel::showRecordingIndicator(int index) {
  MeterSettings* settings = meterSettings.load();
  const bool flagged = settings != nullptr && sharedLoad(settings->FlagRec[index]) != 0;
  RecorderLink* recorder = theRecorder.load();
  const bool recording = recorder != nullptr && recorder->isRecording();
  COLORREF colour = REC_OFF_COLOUR;
  if (flagged && !recording) {
    colour = REC_ARMED_COLOUR;
  } else if (flagged) {
    colour = recordBlink ? REC_BLINK_DARK : REC_BLINK_LIGHT;
    recordBlink = !recordBlink;
  }
  selectForStyling();
  restyleStatic(IDC_PANEL_REC, colour, panelBrush);
}

void ChannelPanel::showOutputLabel() {
  MeterSettings* settings = meterSettings.load();
  const int32_t npk = settings != nullptr ? sharedLoad(settings->NPK[channel]) : 0;
  wchar_t text[16] = L"-";
  COLORREF colour = OUTPUT_COLOUR;
  if (npk >= 1) {
    wsprintfW(text, L"%02d", static_cast<int>(npk));
    if (outOfRange) colour = OUTPUT_ACTIVE_COLOUR;
  }
  showText(control(IDC_PANEL_OUTPUT), text);
  selectForStyling();
  restyleStatic(IDC_PANEL_OUTPUT, colour, nullptr);
}
