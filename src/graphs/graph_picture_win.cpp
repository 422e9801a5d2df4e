// "Сохранить как рисунок...": the printed page written to an EMF through a
// metafile device context or to a PNG through GDI+; the route for users
// without a printer.
#include <windows.h>
#include <commdlg.h>
#include <objidl.h>  // before GDI+, which needs its property ids
#include <gdiplus.h>

#include <cwchar>

#include "graphs/graph_trend_plot_win.h"
#include "graphs/graph_window_win.h"
#include "graphs/page_drawing_win.h"
#include "graphs/print_graph_win.h"
#include "shell/config_dialogs_win.h"

namespace {

// An A4 landscape page at 200 dots per inch.
constexpr int PICTURE_WIDTH = 2339, PICTURE_HEIGHT = 1654;
constexpr int HUNDREDTHS_PER_MM = 100;
// GDI+'s built-in PNG encoder.
constexpr CLSID PNG_ENCODER = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

bool endsWith(const wchar_t* name, const wchar_t* ext) {
  const size_t n = wcslen(name), e = wcslen(ext);
  return n >= e && lstrcmpiW(name + n - e, ext) == 0;
}

void whitePage(HDC dc) {
  const RECT all{0, 0, PICTURE_WIDTH, PICTURE_HEIGHT};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

bool writeMetafile(GraphTrendPlot& plot, const wchar_t* path) {
  HDC screen = GetDC(nullptr);
  // The frame in hundredths of a millimetre, one page pixel a screen pixel.
  const RECT size{0, 0,
                  MulDiv(PICTURE_WIDTH, GetDeviceCaps(screen, HORZSIZE) * HUNDREDTHS_PER_MM,
                         GetDeviceCaps(screen, HORZRES)),
                  MulDiv(PICTURE_HEIGHT, GetDeviceCaps(screen, VERTSIZE) * HUNDREDTHS_PER_MM,
                         GetDeviceCaps(screen, VERTRES))};
  HDC dc = CreateEnhMetaFileW(screen, path, &size, L"Skalenor\0Trend\0");
  ReleaseDC(nullptr, screen);
  if (!dc) return false;
  whitePage(dc);
  drawGraphPage(plot, dc, PICTURE_WIDTH, PICTURE_HEIGHT, false);
  HENHMETAFILE done = CloseEnhMetaFile(dc);
  if (!done) return false;
  DeleteEnhMetaFile(done);
  return true;
}

bool writePng(GraphTrendPlot& plot, const wchar_t* path) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = PICTURE_WIDTH;
  info.bmiHeader.biHeight = -PICTURE_HEIGHT;  // top-down, as GDI+ reads rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  whitePage(dc);
  drawGraphPage(plot, dc, PICTURE_WIDTH, PICTURE_HEIGHT, false);
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);

  bool written = false;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
    Gdiplus::GpBitmap* image = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(PICTURE_WIDTH, PICTURE_HEIGHT, 4 * PICTURE_WIDTH,
                                                       PixelFormat32bppRGB, static_cast<BYTE*>(bits),
                                                       &image) == Gdiplus::Ok) {
      written = Gdiplus::DllExports::GdipSaveImageToFile(image, path, &PNG_ENCODER, nullptr) == Gdiplus::Ok;
      Gdiplus::DllExports::GdipDisposeImage(image);
    }
    Gdiplus::GdiplusShutdown(token);
  }
  DeleteObject(bitmap);
  return written;
}

}  // namespace

bool writeGraphPicture(GraphTrendPlot& plot, const wchar_t* path) {
  const bool written = endsWith(path, L".emf") ? writeMetafile(plot, path) : writePng(plot, path);
  plot.repaint();  // the plot holds page values until the screen paints again
  return written;
}

bool saveGraphPicture(HWND window) {
  wchar_t path[MAX_PATH] = L"";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window;
  ofn.lpstrFilter = L"Рисунок PNG (*.png)\0*.png\0Метафайл EMF (*.emf)\0*.emf\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = L"Сохранить как рисунок";
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  ofn.lpfnHook = centerCommonDialog;
  if (!GetSaveFileNameW(&ofn)) return false;
  GraphTrendPlot* plot = graphPlot(window);  // the dialog let the program run on
  if (!plot) return false;
  // A name without an extension takes the chosen type's.
  if (!wcschr(path + ofn.nFileOffset, L'.') && wcslen(path) + 4 < MAX_PATH)
    wcscat(path, ofn.nFilterIndex == 2 ? L".emf" : L".png");
  if (writeGraphPicture(*plot, path)) return true;
  MessageBoxW(window, L"Не удалось сохранить рисунок.", L"Ошибка", MB_OK | MB_ICONSTOP);
  return false;
}
