// A test configuration and simulator set-up for working the whole program,
// and readers of what it leaves on disk, written from the file layouts: the
// sample file, and a graph's printed page or picture (PNG files through GDI+,
// EMF files played on a white bitmap, PDF pages through poppler's pdftoppm).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "recording/recording_reader.h"
#include "test_files.h"
#include "win_driver.h"

namespace workflow {

// skalenor.cfg (Windows-1251, CR LF) with every key the program saves:
// positions 1..shown show channels 1..shown, the rest are empty; K = 1, B = 0.
// Graphs: all four closed, titled "Тренд 1" to "Тренд 4", traces red, green,
// blue, ... in that order, no channels. Each change replaces the first
// occurrence of its text.
using Changes = std::vector<std::pair<std::string, std::string>>;
std::string configuration(int shown, const Changes& changes = {});

// kvsim.cfg: a KV320 with channel n < 32 at dc dcVolts(n) and channel 32 a slow
// ramp, whose values tell the signal time of each row.
// Channel 31 is a square wave between -1 and 1 V at 0.5 Hz, with limits 0..5
// and output 4 (bit 3): its output switches every second.
inline constexpr int SWITCHING_CHANNEL = 31;
inline constexpr double RAMP_FROM = -8.0, RAMP_TO = 8.0, RAMP_PERIOD_S = 400.0;
inline constexpr double RAMP_SLOPE = (RAMP_TO - RAMP_FROM) / RAMP_PERIOD_S;  // volts per second
std::string simulatorConfiguration(const char* board = "KV320");
float dcVolts(int channel);

// A .qmr sample file's channels and rows as the recording reader gives them;
// no channels when it is none.
struct Rows {
  std::vector<RecordingChannel> channels;
  double rowsPerSecond = 0.0;
  size_t rowCount = 0;
  std::vector<float> values;  // rowCount rows of channels.size() values
};
Rows readSampleFile(const std::string& bytes);

}  // namespace workflow

namespace pages {

driver::Picture load(const std::wstring& path);

// The PDF's first page as a PNG beside it (Unix pdftoppm run from Wine).
std::wstring pdfToPng(const std::wstring& pdf);

// Red trace below the green one, both colours again in the legend at the
// bottom, on a landscape page.
void expectGraphPage(const driver::Picture& page);

}  // namespace pages
