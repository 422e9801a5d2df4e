// Small text helpers of start-up.
#pragma once

#include <cstddef>

// The program's own path from its command line: a leading double quote is
// dropped and the text is cut at the next double quote; without quotes the
// whole line is the path.
void programPathFromCommandLine(const wchar_t* commandLine, wchar_t* path, std::size_t size);

// "32-канальный вольтметр(KV320),частота сбора 1000 Hz": the title with the
// board and the rate (printf "%lg" form).
void formatMainTitle(const wchar_t* baseTitle, int boardType, double rateHz, wchar_t* out, std::size_t size);
