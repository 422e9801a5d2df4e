#include "workflow_support.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace workflow {

float dcVolts(int channel) { return channel * 0.25f - 4.0f; }

std::string configuration(int shown, const Changes& changes) {
  std::string s = "; skalenor test configuration\r\n";
  char line[128];
  auto add = [&](const char* fmt, auto... args) {
    std::snprintf(line, sizeof line, fmt, args...);
    s += line;
    s += "\r\n";
  };
  add("FreqStream = 1000");
  add("Ftime = 100");
  add("nDO = 8");
  add("TimeType = 0");
  add("CheckLabel = 1");
  add("WebPort = 0");
  add("WebAddress = 127.0.0.1");
  add("rWnd = 0,0,0,0");
  add("rPlot = 0,0,0,0, 0,0,0,0, 0,0,0,0, 0,0,0,0");
  add("chPlot = 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0");
  add("scPlot = 0,0,0,0");
  add("lrScale = 0,0, 0,0, 0,0, 0,0");
  for (int g = 1; g <= 4; ++g) {
    add("colPlot%d = ff,ff00,ff0000,ff00ff,ffff00,ffff,808080,0", g);
    add("plotName%d = '\xD2\xF0\xE5\xED\xE4 %d'", g, g);  // "Тренд g"
    add("scaleY%d = 0,0", g);
  }
  for (int n = 1; n <= 32; ++n) add("%dChannel = %d", n, n <= shown ? n : 0);
  // The switching channel leaves its limits every other second and drives output bit 3.
  for (int n = 1; n <= 32; ++n) {
    const bool switching = n == SWITCHING_CHANNEL;
    add("K%dB = 1|0|V|ch%d", n, n);
    add("FlagRec%02d = 0", n);
    add("ACmode%02d = 0", n);
    add("Interval%02d = %d", n, switching ? 200 : 500);
    add("Kadc%02d = 0", n);
    add("NPK%02d = %d", n, switching ? 4 : 0);
    add("MinMaxRef%02d = %s", n, switching ? "0|5|1e+10" : "1e+10|1e+10|1e+10");
  }
  for (const auto& [from, to] : changes) s.replace(s.find(from), from.size(), to);
  return s;
}

std::string simulatorConfiguration(const char* board) {
  char line[64];
  std::snprintf(line, sizeof line, "board = %s\nch32 = ramp %g %g %g\n", board, RAMP_FROM, RAMP_TO, RAMP_PERIOD_S);
  std::string s = line;
  for (int n = 1; n <= 31; ++n) {
    if (n == SWITCHING_CHANNEL)
      std::snprintf(line, sizeof line, "ch%d = square -1 1 0.5\n", n);
    else
      std::snprintf(line, sizeof line, "ch%d = dc %g\n", n, dcVolts(n));
    s += line;
  }
  return s;
}

Rows readSampleFile(const std::string& bytes) {
  Rows r;
  RecordingFile file;
  if (file.open(std::make_unique<MemorySource>(bytes.data(), bytes.size()), nullptr) != RecordingProblem::NONE)
    return r;
  r.channels = file.channels();
  r.rowsPerSecond = file.rowsPerSecond();
  r.rowCount = file.rowCount();
  r.values.resize(r.rowCount * r.channels.size());
  file.rows().read(0, r.rowCount, r.values.data());
  return r;
}

}  // namespace workflow

namespace pages {

// Drawn by GDI+ (PNG or EMF alike) on a white A4-shaped bitmap, pixel for
// pixel: no smoothing mixes the trace colours with white.
driver::Picture load(const std::wstring& path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  Gdiplus::GpImage* image = nullptr;
  Gdiplus::GpGraphics* g = nullptr;
  const driver::Picture p = driver::paint(1414, 1000, [&](HDC dc) {
    using namespace Gdiplus::DllExports;
    if (GdipLoadImageFromFile(path.c_str(), &image) != Gdiplus::Ok || GdipCreateFromHDC(dc, &g) != Gdiplus::Ok)
      return false;
    GdipSetInterpolationMode(g, Gdiplus::InterpolationModeNearestNeighbor);
    GdipSetSmoothingMode(g, Gdiplus::SmoothingModeNone);
    return GdipDrawImageRectI(g, image, 0, 0, 1414, 1000) == Gdiplus::Ok;
  });
  if (g) Gdiplus::DllExports::GdipDeleteGraphics(g);
  if (image) Gdiplus::DllExports::GdipDisposeImage(image);
  Gdiplus::GdiplusShutdown(token);
  return p;
}

std::wstring pdfToPng(const std::wstring& pdf) {
  const std::wstring png = pdf.substr(0, pdf.size() - 4);
  std::wstring cmd = L"start.exe /wait /unix /usr/bin/pdftoppm -png -r 121 -singlefile ";
  for (std::wstring path : {pdf, png}) {  // as Unix paths
    for (wchar_t& c : path) c = c == L'\\' ? L'/' : c;
    cmd += path.substr(path.rfind(L':') + 1) + L" ";
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  driver::Program run;
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &run.pi)) return L"";
  run.waitExit(60000);
  // start.exe hands a Unix program over without waiting for it.
  const std::wstring out = png + L".png";
  driver::waitSteady(out, 200, 300);
  return out;
}

void expectGraphPage(const driver::Picture& p) {
  ASSERT_GT(p.width, p.height);
  const auto red = [](uint32_t c) { return (c >> 16) > 0xC0 && ((c >> 8) & 0xFF) < 0x60 && (c & 0xFF) < 0x60; };
  const auto green = [](uint32_t c) { return ((c >> 8) & 0xFF) > 0xC0 && (c >> 16) < 0x60 && (c & 0xFF) < 0x60; };
  int lastInk = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != 0xFFFFFF) lastInk = y;
  // The legend is the lowest line; the curves run from 0 V (no value yet) to
  // their values well above it.
  const int legendTop = lastInk - p.height / 40;
  int redTop = p.height, redBottom = -1, greenTop = p.height, greenBottom = -1;
  bool redLegend = false, greenLegend = false;
  for (int y = 0; y <= lastInk; ++y)
    for (int x = 0; x < p.width; ++x) {
      const bool r = red(p.at(x, y)), g = green(p.at(x, y));
      if (y >= legendTop) {
        redLegend |= r;
        greenLegend |= g;
      } else if (r) {
        redTop = std::min(redTop, y);
        redBottom = y;
      } else if (g) {
        greenTop = std::min(greenTop, y);
        greenBottom = y;
      }
    }
  EXPECT_TRUE(redLegend);
  EXPECT_TRUE(greenLegend);
  // -2 V reaches lower than anything green, +2 V higher than anything red.
  EXPECT_GT(redBottom, greenBottom + p.height / 30);
  EXPECT_LT(greenTop, redTop - p.height / 30);
}

}  // namespace pages
