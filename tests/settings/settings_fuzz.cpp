// libFuzzer target: the configuration reader and writer on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "settings/settings_file.h"

namespace {

void ignoreProblem(void* context, int line, const char* message) {
  if (line < 1 || std::strlen(message) == 0) std::abort();
  ++*static_cast<int*>(context);
}

bool append(void* context, const char* bytes, size_t size) {
  static_cast<std::string*>(context)->append(bytes, size);
  return true;
}

bool terminated(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto s = std::make_unique<MeterSettings>();
  setSettingsDefaults(*s);
  int problems = 0;
  const char* text = reinterpret_cast<const char*>(data);
  parseSettingsText(*s, text, size, ignoreProblem, &problems);

  // Text fields stay terminated within their size.
  for (int n = 0; n < CHANNEL_ARRAY_SIZE; ++n)
    if (!terminated(s->unitText[n], SETTINGS_TEXT_SIZE) || !terminated(s->channelName[n], SETTINGS_TEXT_SIZE))
      std::abort();
  for (const char* name : s->plotName)
    if (!terminated(name, PLOT_NAME_SIZE)) std::abort();
  if (!terminated(s->deviceName, DEVICE_NAME_SIZE)) std::abort();
  // Index fields stay within what the rest of the program indexes with.
  for (int n = 1; n <= CHANNEL_COUNT; ++n)
    if (s->Channel[n] < 0 || s->Channel[n] > CHANNEL_COUNT || s->Kadc[n] < 0 || s->Kadc[n] > 4 || s->NPK[n] < 0 ||
        s->NPK[n] > CHANNEL_COUNT)
      std::abort();
  for (int32_t c : s->chPlot)
    if (c < 0 || c > CHANNEL_COUNT) std::abort();

  // After one rewrite the file is settled: rewriting again changes nothing.
  std::string first, second, third;
  rewriteSettingsText(*s, text, size, append, &first);
  rewriteSettingsText(*s, first.data(), first.size(), append, &second);
  rewriteSettingsText(*s, second.data(), second.size(), append, &third);
  if (second != third) std::abort();
  // Every written line fits one read.
  size_t start = 0;
  for (size_t i = 0; i < second.size(); ++i)
    if (second[i] == '\n') {
      if (i + 1 - start > SETTINGS_LINE_LIMIT + 2) std::abort();
      start = i + 1;
    }
  return 0;
}
