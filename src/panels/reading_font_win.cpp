#include "panels/reading_font_win.h"

#include <windows.h>

#include "resources/resource.h"

namespace {

constexpr const wchar_t* INSTALLED_FACE = L"SevenSeg32";
constexpr const wchar_t* EMBEDDED_FACE = L"DSEG7 Classic";

const wchar_t* chosenFace = INSTALLED_FACE;
HANDLE embeddedFont = nullptr;

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool faceInstalled(const wchar_t* face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &query, noteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

}  // namespace

bool registerReadingFont() {
  if (faceInstalled(INSTALLED_FACE)) {
    chosenFace = INSTALLED_FACE;
    return true;
  }
  if (embeddedFont == nullptr) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_SEVENSEG_FONT), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    DWORD fonts = 0;
    if (bytes != nullptr && size != 0) embeddedFont = AddFontMemResourceEx(bytes, size, nullptr, &fonts);
  }
  if (embeddedFont == nullptr) {
    chosenFace = INSTALLED_FACE;
    return false;
  }
  chosenFace = EMBEDDED_FACE;
  return true;
}

const wchar_t* readingFontFace() { return chosenFace; }
