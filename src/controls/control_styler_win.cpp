#include "controls/control_styler_win.h"

ControlStyler::ControlStyler(int fontDivisor, int brushColour, bool paintAtOnce)
    : fontDivisor(fontDivisor), brushColour(brushColour), paintAtOnce(paintAtOnce) {}

// GDI objects are made on first use: the instances are built before the
// program's start-up runs.
HFONT ControlStyler::defaultFont() {
  if (font == nullptr) {
    const int height = GetSystemMetrics(SM_CXFULLSCREEN) / fontDivisor;
    font = CreateFontW(height, 0, 0, 0, 600, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"Arial Cyr");
  }
  return font;
}

HBRUSH ControlStyler::sharedBrush() {
  if (brush == nullptr) brush = CreateSolidBrush(GetSysColor(brushColour));
  return brush;
}

void ControlStyler::attach(HWND) {}
void ControlStyler::detach(HWND) {}

void ControlStyler::refresh(HWND control) {
  if (control == nullptr) return;
  // The control draws its text in its own font, so hand it over.
  const int entry = lastFound;
  if (entry < count && fonts[entry] != nullptr &&
      reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != fonts[entry]) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[entry]), FALSE);
  }
  // The control's own painting into its DC, as a static does for a new text: a queued repaint costs an
  // update-region round trip per control, and recording panels restyle dozens of statics a second.
  if (paintAtOnce && IsWindowVisible(control)) {
    HDC dc = GetDC(control);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ReleaseDC(control, dc);
    return;
  }
  InvalidateRect(control, nullptr, FALSE);
}

int ControlStyler::hitTest(const MSG& message, POINT point) {
  for (int i = 0; i < count; ++i) {
    if (dialogs[i] == nullptr || dialogs[i] != message.hwnd) continue;
    HWND control = entryWindow(i);
    RECT r;
    if (control != nullptr && GetWindowRect(control, &r) && PtInRect(&r, point)) return i;
  }
  return count;
}

void ControlStyler::resetEntry(int entry) {
  dialogs[entry] = nullptr;
  ids[entry] = 0;
  windows[entry] = nullptr;
  fonts[entry] = nullptr;
  backgrounds[entry] = nullptr;
  textColours[entry] = 0;
}

int ControlStyler::newEntry(HWND dialog, int controlId) {
  int entry = count;
  if (count < STYLER_CAPACITY) {
    ++count;
  } else {
    // Full: take over an entry whose dialog is gone, or style nothing more.
    for (int i = 0; i < count; ++i) {
      if (dialogs[i] == nullptr) {
        entry = i;
        break;
      }
    }
    if (entry == count) return count;
  }
  resetEntry(entry);
  dialogs[entry] = dialog;
  ids[entry] = controlId;
  fonts[entry] = defaultFont();
  textColours[entry] = defaultTextColour;
  return entry;
}

int ControlStyler::registerControl(HWND dialog, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (id == -1 || id == 0xFFFF) return count;
  int entry = findEntry(id);
  if (entry == count) {
    entry = newEntry(dialog, id);
    if (entry == count) return count;
    backgrounds[entry] = sharedBrush();
  }
  dialogs[entry] = dialog;
  windows[entry] = control;
  lastFound = entry;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[entry]), FALSE);
  return entry;
}

void ControlStyler::forgetDialog(HWND dialog) {
  for (int i = 0; i < count; ++i) {
    if (dialogs[i] == dialog) dialogs[i] = nullptr;
  }
}

int ControlStyler::findEntry(int controlId) {
  int found = count;
  if (currentDialog != nullptr) {
    for (int i = 0; i < count; ++i) {
      if (ids[i] == controlId && dialogs[i] == currentDialog) {
        found = i;
        break;
      }
    }
  }
  lastFound = found;
  return found;
}

HWND ControlStyler::entryWindow(int entry) const {
  if (entry < 0 || entry >= count || dialogs[entry] == nullptr) return nullptr;
  return windows[entry] != nullptr ? windows[entry] : GetDlgItem(dialogs[entry], ids[entry]);
}

HWND ControlStyler::controlWindow(int controlId) { return entryWindow(findEntry(controlId)); }

void ControlStyler::setTextColour(int controlId, COLORREF colour) {
  const int entry = findEntry(controlId);
  if (entry == count) return;
  textColours[entry] = colour;
  refresh(entryWindow(entry));
}

void ControlStyler::setBackground(int controlId, HBRUSH background) {
  const int entry = findEntry(controlId);
  if (entry == count) return;
  backgrounds[entry] = background != nullptr ? background : sharedBrush();
  refresh(entryWindow(entry));
}

void ControlStyler::setFont(int controlId, HFONT newFont) {
  const int entry = findEntry(controlId);
  if (entry == count) return;
  fonts[entry] = newFont;
  refresh(entryWindow(entry));
}
