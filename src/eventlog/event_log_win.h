// The event log in the program: started with the recorder, fed on the
// user-interface thread, written by its disk thread, shown in "Журнал событий".
#pragma once

#include <windows.h>

#include "eventlog/event_log.h"

class Recorder;

// Sent (posted) to the main window when the log could not write its lines.
inline constexpr UINT MSG_EVENT_LOG_FAILED = WM_APP + 3;

void startEventLog(HWND mainWindow);
// From now on the disk thread also watches the recorder's free space.
void watchFreeSpace(Recorder* recorder);
void stopEventLog();  // writes what is still queued

// Stamps the event with the local time, queues it for the disk and shows it
// in the event window when that is open. User-interface thread only.
void logEvent(MeterEvent& event);
// An event of the whole meter: what happened and, for a notice, its text (UTF-8).
void logMeterEvent(EventKind kind, const char* textUtf8 = "");
// A panel's reading left its limits or came back: the channel's name and unit come from the settings.
void logLimitEvent(bool left, int channel, const char* reading, LimitSide side, int output);
// The log's own failure text, for the notice.
const char* eventLogNotice();

// "Журнал событий...": today's events, newest first, updated as they come.
void openEventWindow(HWND owner);
HWND eventWindow();
