#include "page_pictures.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace pages {
namespace {

bool endsWith(const std::wstring& s, const wchar_t* e) {
  const size_t n = wcslen(e);
  return s.size() >= n && _wcsicmp(s.c_str() + s.size() - n, e) == 0;
}

driver::Picture readBitmap(HBITMAP bitmap, int w, int h) {
  driver::Picture p;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  p.pixels.resize(static_cast<size_t>(w) * h);
  HDC dc = GetDC(nullptr);
  if (GetDIBits(dc, bitmap, 0, h, p.pixels.data(), &bi, DIB_RGB_COLORS) == h) {
    p.width = w;
    p.height = h;
    for (uint32_t& px : p.pixels) px &= 0xFFFFFF;
  }
  ReleaseDC(nullptr, dc);
  return p;
}

std::string unixPath(const std::wstring& w) {
  std::string u;
  for (wchar_t c : w.substr(w.rfind(L':') + 1)) u += c == L'\\' ? '/' : static_cast<char>(c);
  return u;
}

}  // namespace

driver::Picture load(const std::wstring& path) {
  driver::Picture p;
  if (endsWith(path, L".emf")) {
    HENHMETAFILE m = GetEnhMetaFileW(path.c_str());
    if (!m) return p;
    ENHMETAHEADER h{};
    GetEnhMetaFileHeader(m, sizeof h, &h);
    const int w = h.rclBounds.right + 1, ht = h.rclBounds.bottom + 1;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, ht);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all{0, 0, w, ht};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PlayEnhMetaFile(dc, m, &all);
    SelectObject(dc, old);
    DeleteDC(dc);
    p = readBitmap(bitmap, w, ht);
    DeleteObject(bitmap);
    DeleteEnhMetaFile(m);
    return p;
  }
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return p;
  Gdiplus::GpBitmap* image = nullptr;
  HBITMAP bitmap = nullptr;
  UINT w = 0, h = 0;
  if (Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), &image) == Gdiplus::Ok) {
    Gdiplus::DllExports::GdipGetImageWidth(image, &w);
    Gdiplus::DllExports::GdipGetImageHeight(image, &h);
    Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFFFFFF);
    Gdiplus::DllExports::GdipDisposeImage(image);
  }
  Gdiplus::GdiplusShutdown(token);
  if (bitmap) p = readBitmap(bitmap, static_cast<int>(w), static_cast<int>(h));
  DeleteObject(bitmap);
  return p;
}

std::wstring pdfToPng(const std::wstring& pdf) {
  const std::wstring png = pdf.substr(0, pdf.size() - 4);
  std::wstring cmd = L"start.exe /wait /unix /usr/bin/pdftoppm -png -r 150 -singlefile ";
  for (const std::string& a : {unixPath(pdf), unixPath(png)}) cmd += std::wstring(a.begin(), a.end()) + L" ";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return L"";
  WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // start.exe hands a Unix program over without waiting for it: wait for its
  // file to appear and stop growing.
  const std::wstring out = png + L".png";
  LONGLONG last = -1;
  for (int i = 0; i < 300; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    const LONGLONG now = GetFileAttributesExW(out.c_str(), GetFileExInfoStandard, &a) ? a.nFileSizeLow : -1;
    if (now > 0 && now == last) break;
    last = now;
    Sleep(200);
  }
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
