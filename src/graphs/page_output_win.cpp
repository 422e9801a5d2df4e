// Pages on the default printer and as pictures: the printer set to landscape
// colour, an EMF through a metafile device context, a PNG through GDI+.
#include "graphs/page_output_win.h"

#include <commdlg.h>
#include <objidl.h>  // before GDI+, which needs its property ids
#include <gdiplus.h>
#include <winspool.h>

#include <cwchar>

#include "shell/config_dialogs_win.h"

namespace {

constexpr int PROFILE_SIZE = 256;

// Every failure so far ended without a word, and the user believed it printed.
void printNotice(HWND owner, const wchar_t* text) {
  MessageBoxW(owner, text, L"Ошибка", MB_OK | MB_ICONSTOP);
}

// The default printer's device context, landscape and in colour; null when
// there is none. *failure says why.
HDC openDefaultPrinter(const wchar_t** failure) {
  wchar_t entry[PROFILE_SIZE] = {};
  GetProfileStringW(L"windows", L"device", L"?", entry, PROFILE_SIZE);
  // "device,driver,port"
  wchar_t* comma = wcschr(entry, L',');
  wchar_t* second = comma ? wcschr(comma + 1, L',') : nullptr;
  if (!second) {
    *failure = L"Принтер по умолчанию не задан.";
    return nullptr;
  }
  *comma = 0;
  *second = 0;
  const wchar_t* device = entry;
  const wchar_t* driver = comma + 1;
  *failure = L"Не удалось открыть принтер.";
  HANDLE printer = nullptr;
  if (!OpenPrinterW(entry, &printer, nullptr)) return nullptr;
  wchar_t* name = entry;
  const LONG size = DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0);
  DEVMODEW* mode = size > 0 ? static_cast<DEVMODEW*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(size))) : nullptr;
  if (mode && DocumentPropertiesW(nullptr, printer, name, mode, nullptr, DM_OUT_BUFFER) >= 0) {
    mode->dmOrientation = DMORIENT_LANDSCAPE;
    mode->dmColor = DMCOLOR_COLOR;
    mode->dmFields |= DM_ORIENTATION | DM_COLOR;
    DocumentPropertiesW(nullptr, printer, name, mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER);
  }
  HDC dc = CreateDCW(driver, device, nullptr, mode);
  if (mode) GlobalFree(mode);
  ClosePrinter(printer);
  return dc;
}

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

bool writeMetafile(const PagePainter& paint, const wchar_t* path) {
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
  const bool drawn = paint(dc, PICTURE_WIDTH, PICTURE_HEIGHT);
  HENHMETAFILE done = CloseEnhMetaFile(dc);
  if (!done) return false;
  DeleteEnhMetaFile(done);
  if (!drawn) DeleteFileW(path);
  return drawn;
}

bool writePng(const PagePainter& paint, const wchar_t* path) {
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
  const bool drawn = paint(dc, PICTURE_WIDTH, PICTURE_HEIGHT);
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);

  bool written = false;
  Gdiplus::GdiplusStartupInput input;
  if (!drawn) {
    DeleteObject(bitmap);
    return false;
  }
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

bool printPage(HWND owner, const wchar_t* documentName, const PagePainter& paint) {
  const wchar_t* failure = nullptr;
  HDC dc = openDefaultPrinter(&failure);
  if (!dc) {
    printNotice(owner, failure);
    return false;
  }
  DOCINFOW info{};
  info.cbSize = sizeof info;
  info.lpszDocName = documentName;
  // A printer driver may run a dialog in StartDoc (a file name): the painter
  // then finds out whether its window is still there.
  const bool started = StartDocW(dc, &info) > 0;
  bool drawn = false;
  if (started) {
    StartPage(dc);
    drawn = paint(dc, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
    if (drawn) {
      EndPage(dc);
      EndDoc(dc);
    } else {
      AbortDoc(dc);
    }
  }
  DeleteDC(dc);
  if (!started) printNotice(owner, L"Принтер не принял документ.");
  return drawn;
}

bool writePagePicture(const wchar_t* path, const PagePainter& paint) {
  return endsWith(path, L".emf") ? writeMetafile(paint, path) : writePng(paint, path);
}

bool askPicturePath(HWND owner, wchar_t path[MAX_PATH]) {
  path[0] = 0;
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"Рисунок PNG (*.png)\0*.png\0Метафайл EMF (*.emf)\0*.emf\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = L"Сохранить как рисунок";
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  ofn.lpfnHook = centerCommonDialog;
  if (!GetSaveFileNameW(&ofn)) return false;
  // A name without an extension takes the chosen type's.
  if (!wcschr(path + ofn.nFileOffset, L'.') && wcslen(path) + 4 < MAX_PATH)
    wcscat(path, ofn.nFilterIndex == 2 ? L".emf" : L".png");
  return true;
}
