// The configuration file skalenor.cfg: reader, writer and the program's entry points.
//
// Format. Plain 8-bit text in Windows-1251, CR LF line ends, one setting per line:
//   key, optional blanks, "=", value.
// Line rules when reading:
//   - a line is read at most 254 characters at a time (the line end counts as one
//     character); the rest of a longer line is taken as a further line;
//   - a line of three characters or fewer, line end included, is skipped;
//   - leading spaces are removed; a line that then begins with ';', '#' or '/' is a
//     comment; a line without '=' is ignored; the value is everything after the
//     first '=';
//   - a key is recognised when the line begins with it, compared over the key's own
//     length: whatever stands between the key and '=' is not examined, so
//     "Kadc01xyz = 3" sets Kadc01. Numbered keys carry the number exactly as below
//     (Kadc01, not Kadc1); other numbers (Kadc33) are ignored;
//   - lines with unknown keys are ignored by the reader and copied by the writer.
// Keys (n = channel or panel position 1-32, g = graph 1-4):
//   K<n>B        = K|B|unit|name   K a number; B a number or "K<m>", a reference to
//                                  channel m (stored as 1000000 + m); the part after
//                                  the first '|' ends at the first white space, so
//                                  unit and name cannot hold blanks. Unit and name
//                                  keep at most 63 bytes.
//   <n>Channel   = %d              channel shown at panel position n, 0-32
//   NPK<nn>      = %d              relay-command output of channel n, 0-32
//   MinMaxRef<nn>= %g|%g|%g        lower limit, upper limit, reference (1e+10 = unset)
//   FlagRec<nn>, ACmode<nn>, Interval<nn> = %d
//   Kadc<nn>     = %d              gain code 0-4
//   scaleY<g>    = %d,%lg          zoom step 0-9, view centre
//   colPlot<g>   = %x,... (8)      trace colours 0x00BBGGRR
//   plotName<g>  = 'title'         text between the first and the last single quote
//   chPlot       = %d,... (32)     trace channels 0-32, 8 per graph
//   scPlot       = %d,%d,%d,%d     time-scale index 0-9 per graph
//   lrScale      = %d,... (8)      left/right axis trace 0-8 per graph
//   rPlot        = %d,... (16)     graph window rectangles; rWnd = %d,%d,%d,%d
//   Ftime, nDO, TimeType, CheckLabel = %d;  FreqStream = %lg (above 0)
//   WebPort      = %d              port of the read-only HTTP server, 1-65535; 0 = off
//   WebAddress   = %s              IPv4 address it listens on: 127.0.0.1 (this computer,
//                                  the default) or 0.0.0.0 (every network interface)
//   Device       = "name"          at most 31 bytes; never rewritten
// Numbers follow the formatted-input conversions: leading white space is skipped,
// the separators must follow a number at once, and conversion stops at the first
// mismatch: fields before it take the new values, the rest keep theirs. Integers
// must fit 32 bits, floating values must be finite; a value outside its range is
// rejected and the field keeps its value. %g is written with six digits.
//
// The writer rewrites the existing file line by line, replacing the value of each
// key it knows and copying every other line (comments, unknown keys, Device).
// Empty lines are dropped and leading blanks removed. Then it appends, in their
// written form and in the order of the key table (K1B..K32B, 1Channel.., NPK..,
// MinMaxRef.., FlagRec.., ACmode.., Interval.., Kadc.., scaleY.., colPlot..,
// plotName.., chPlot, scPlot, lrScale, rPlot, rWnd, Ftime, FreqStream, nDO,
// TimeType, CheckLabel), every key the file lacks, so that a setting is never lost
// for want of its line; Device is never added, nor FreqStream while not above 0.
// A file that holds every key keeps its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "settings/meter_settings.h"

inline constexpr const char* SETTINGS_FILE_NAME = "skalenor.cfg";
inline constexpr const char* SETTINGS_TEMP_NAME = "skalenor.out";
inline constexpr int SETTINGS_LINE_LIMIT = 254;

// Stores the built-in defaults; fields without a default are left as they are.
void setSettingsDefaults(MeterSettings& settings);

// Receives one message per problem found while reading; line is the 1-based
// line of the file.
using SettingsProblemSink = void (*)(void* context, int line, const char* message);

// Defaults, then every line of the file. False when the file cannot be opened.
bool readSettingsFile(MeterSettings& settings, const char* path, SettingsProblemSink sink = nullptr,
                      void* context = nullptr);

// Parses file bytes (as a text-mode read sees them) on top of what the record
// holds; no defaults are stored.
void parseSettingsText(MeterSettings& settings, const char* data, size_t size, SettingsProblemSink sink = nullptr,
                       void* context = nullptr);

// Receives the rewritten bytes.
using SettingsOutput = bool (*)(void* context, const char* bytes, size_t size);

// Rewrites the configuration bytes from the record into output. False when the
// output refuses bytes.
bool rewriteSettingsText(const MeterSettings& settings, const char* data, size_t size, SettingsOutput output,
                         void* context);

// Rewrites the open binary stream in into the open binary stream out. False on a
// read or write error.
bool rewriteSettingsStream(const MeterSettings& settings, FILE* in, FILE* out);

// Rewrites the file inPath into outPath (written in binary mode with CR LF line
// ends). rWnd is written from the record. False when either file cannot be
// opened or written.
bool rewriteSettingsFile(const MeterSettings& settings, const char* inPath, const char* outPath);

// The program's entry points on skalenor.cfg in the current directory.
// readSettings: defaults, then the file; a missing file is reported through
// settingsNoticeHook. writeSettings: takes the main window rectangle into rWnd
// through windowRectHook, rewrites skalenor.cfg into skalenor.out, flushes it to
// disk and replaces skalenor.cfg with it in one step, so that skalenor.cfg is
// never missing or partly written. Nothing happens when skalenor.cfg is missing
// or skalenor.out cannot be written.
void readSettings(MeterSettings& settings);
void writeSettings(MeterSettings& settings);

// Set by the Win32 layer (installSettingsHooks); null hooks do nothing.
extern void (*settingsNoticeHook)(void* ownerWindow, const char* textCp1251);
extern bool (*windowRectHook)(void* ownerWindow, int32_t rect[4]);

// Win32 layer only: notices go to the main window as the error notice, the
// rectangle is the main window's screen rectangle.
void installSettingsHooks();
