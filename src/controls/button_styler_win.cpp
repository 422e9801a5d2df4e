#include "controls/control_styler_win.h"

namespace {

constexpr COLORREF EMBOSS_COLOUR = RGB(255, 255, 128);

HINSTANCE programModule() { return GetModuleHandleW(nullptr); }

bool showsPushed(HWND button, LONG style) {
  return (style & 3) != 0 && (style & BS_PUSHLIKE) != 0 &&
         SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

SIZE bitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace

ButtonStyler::ButtonStyler() : ControlStyler(72, COLOR_BTNFACE) {}

void ButtonStyler::attach(HWND control) {
  SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) | BS_BITMAP);
  InvalidateRect(control, nullptr, FALSE);
}

void ButtonStyler::detach(HWND control) {
  SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) & ~BS_BITMAP);
  InvalidateRect(control, nullptr, FALSE);
}

void ButtonStyler::refresh(HWND) { composeButtonImage(); }

int ButtonStyler::hitTest(const MSG& message, POINT) {
  for (int i = 0; i < count; ++i) {
    if (dialogs[i] != nullptr && entryWindow(i) == message.hwnd) return i;
  }
  return count;
}

void ButtonStyler::resetEntry(int entry) {
  if (normalImages[entry]) DeleteObject(normalImages[entry]);
  if (pushedImages[entry]) DeleteObject(pushedImages[entry]);
  if (overlayImages[entry]) DeleteObject(overlayImages[entry]);
  normalImages[entry] = pushedImages[entry] = overlayImages[entry] = nullptr;
  styles[entry] = 0;
  ControlStyler::resetEntry(entry);
}

int ButtonStyler::registerControl(HWND dialog, HWND control) {
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if ((style & BS_BITMAP) == 0) return count;
  const int id = GetDlgCtrlID(control);
  int entry = findEntry(id);
  if (entry == count) {
    entry = newEntry(dialog, id);
    if (entry == count) return count;
    RECT client{};
    GetClientRect(control, &client);
    const int w = client.right, h = client.bottom;
    normalImages[entry] = static_cast<HBITMAP>(LoadImageW(programModule(), normalName, IMAGE_BITMAP, w, h, 0));
    pushedImages[entry] = static_cast<HBITMAP>(LoadImageW(programModule(), pushedName, IMAGE_BITMAP, w, h, 0));
    overlayImages[entry] = nullptr;
    styles[entry] = style;
  }
  dialogs[entry] = dialog;
  windows[entry] = control;
  lastFound = entry;
  composeButtonImage();
  return entry;
}

void ButtonStyler::forgetDialog(HWND dialog) {
  for (int i = 0; i < count; ++i) {
    if (dialog == nullptr || dialogs[i] != dialog) continue;
    HWND button = entryWindow(i);
    if (button != nullptr) {
      HGDIOBJ shown = reinterpret_cast<HGDIOBJ>(SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, 0));
      if (shown != nullptr) DeleteObject(shown);
    }
    const int id = ids[i];
    const COLORREF colour = textColours[i];
    const HFONT font = fonts[i];
    resetEntry(i);  // frees the key pictures; the entry keeps id and attributes
    ids[i] = id;
    textColours[i] = colour;
    fonts[i] = font;
  }
}

void ButtonStyler::setImage(int controlId, const wchar_t* bitmapName, int flag) {
  const int entry = findEntry(controlId);
  if (entry == count) return;
  captionFlag = flag;
  if (overlayImages[entry]) DeleteObject(overlayImages[entry]);
  overlayImages[entry] = static_cast<HBITMAP>(LoadImageW(programModule(), bitmapName, IMAGE_BITMAP, 0, 0, 0));
  composeButtonImage();
}

void ButtonStyler::composeButtonImage() {
  const int entry = lastFound;
  if (entry >= count || dialogs[entry] == nullptr) return;
  HWND button = entryWindow(entry);
  if (button == nullptr) return;
  const LONG style = GetWindowLongW(button, GWL_STYLE);
  RECT client{};
  GetClientRect(button, &client);
  const int w = client.right, h = client.bottom;
  if (w <= 0 || h <= 0) return;

  HDC dc = GetDC(button);
  HBITMAP picture = CreateCompatibleBitmap(dc, w, h);
  HDC target = CreateCompatibleDC(dc);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ oldTarget = SelectObject(target, picture);

  if (backgrounds[entry] != nullptr) {
    FillRect(target, &client, backgrounds[entry]);
  } else {
    HBITMAP key = normalImages[entry];
    if (showsPushed(button, style) && pushedImages[entry] != nullptr) key = pushedImages[entry];
    if (key != nullptr) {
      // The key was made at the button's size when registered; a button
      // resized since then still gets a key that covers it.
      const SIZE size = bitmapSize(key);
      HGDIOBJ old = SelectObject(source, key);
      SetStretchBltMode(target, COLORONCOLOR);
      StretchBlt(target, 0, 0, w, h, source, 0, 0, size.cx, size.cy, SRCCOPY);
      SelectObject(source, old);
    } else {
      FillRect(target, &client, sharedBrush());
    }
  }

  if (overlayImages[entry] != nullptr) {
    const SIZE size = bitmapSize(overlayImages[entry]);
    HGDIOBJ old = SelectObject(source, overlayImages[entry]);
    BitBlt(target, (w - size.cx) / 2, (h - size.cy) / 2, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
  } else {
    captionFlag = 1;
  }

  if (captionFlag == 1) {
    const int length = GetWindowTextW(button, caption, STYLER_TEXT_SIZE);
    SetBkMode(target, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(target, fonts[entry] != nullptr ? fonts[entry] : defaultFont());
    SIZE extent{};
    GetTextExtentPoint32W(target, caption, length, &extent);
    if (extent.cy == 0) {
      TEXTMETRICW metrics{};
      GetTextMetricsW(target, &metrics);
      extent.cy = metrics.tmHeight;
    }
    int lineFeeds = 0;
    for (int i = 0; i < length; ++i) lineFeeds += caption[i] == L'\n';
    const int half = (lineFeeds + 1) * extent.cy / 2;
    RECT band{0, h / 2 - half, w, h / 2 + half};
    RECT embossed{band.left + 2, band.top + 2, band.right, band.bottom};
    SetTextColor(target, EMBOSS_COLOUR);
    DrawTextW(target, caption, length, &embossed, DT_CENTER);
    SetTextColor(target, textColours[entry]);
    DrawTextW(target, caption, length, &band, DT_CENTER);
    SelectObject(target, oldFont);
  }

  SelectObject(target, oldTarget);
  DeleteDC(source);
  DeleteDC(target);
  ReleaseDC(button, dc);
  HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(
      SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  if (previous != nullptr && previous != picture) DeleteObject(previous);
}
