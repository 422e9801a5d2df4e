// The diagnostic trace file "Trace" in the current directory: output words,
// the KV310 block size and panel placements. Nothing in the program reads it.
//
// Every line is opened, appended and closed at once, so it is complete on
// disk once written. Lines come from the timer, worker and user-interface
// threads; a mutex keeps each line whole and in its writer's order.
#pragma once

inline constexpr int TRACE_LINE_SIZE = 256;
inline constexpr int TRACE_PATH_SIZE = 260;
inline constexpr const char* TRACE_FILE_NAME = "Trace";

// Appends text as one line.
void traceText(const char* text);
// Appends "label=value(hexvalue)", e.g. "(int) bits=165(a5)".
void traceValue(const char* label, int value);

// Sends the log to another file (tests) and empties it, as start-up does for
// "Trace". A path longer than TRACE_PATH_SIZE - 1 is refused (returns false).
bool traceLogSetPath(const char* path);
