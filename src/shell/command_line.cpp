#include "shell/command_line.h"

#include <cstdio>

void programPathFromCommandLine(const wchar_t* commandLine, wchar_t* path, std::size_t size) {
  if (size == 0) return;
  const wchar_t* s = commandLine ? commandLine : L"";
  if (*s == L'"') ++s;
  std::size_t n = 0;
  while (s[n] && s[n] != L'"' && n + 1 < size) {
    path[n] = s[n];
    ++n;
  }
  path[n] = 0;
}

void formatMainTitle(const wchar_t* baseTitle, int boardType, double rateHz, wchar_t* out, std::size_t size) {
  if (size == 0) return;
  char rate[64];
  std::snprintf(rate, sizeof rate, "%g", rateHz);
  std::size_t n = 0;
  auto append = [&](const wchar_t* text) {
    for (; *text && n + 1 < size; ++text) out[n++] = *text;
  };
  append(baseTitle);
  append(boardType == 1 ? L"(KV310)" : L"(KV320)");
  append(L",частота сбора ");
  for (const char* r = rate; *r && n + 1 < size; ++r) out[n++] = static_cast<wchar_t>(*r);
  append(L" Hz");
  out[n] = 0;
}
