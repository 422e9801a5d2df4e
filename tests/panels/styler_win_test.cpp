#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "controls/control_styler_win.h"
#include "win_driver.h"

namespace {

// The controls of STYLETEST: the statics are FIRST_STATIC and the seven after it.
enum { CHECK_KEY = 100, CAPTION_KEY = 101, PLAIN_BUTTON = 102, FIRST_STATIC = 110, EDIT_FIELD = 120 };
constexpr int STATIC_COUNT = 8;

INT_PTR CALLBACK testDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return styleDialogMessage(dialog, message, wParam, lParam);
}

HWND makeDialog() {
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), L"STYLETEST", nullptr, testDialogProc, 0);
  if (dialog != nullptr) {
    SetWindowPos(dialog, HWND_TOP, 700, 600, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(dialog);
  }
  return dialog;
}

void select(HWND dialog) { styleDialogMessage(dialog, WM_NULL, 0, 0); }

HBITMAP buttonImage(HWND dialog, int id) {
  return reinterpret_cast<HBITMAP>(SendDlgItemMessageW(dialog, id, BM_GETIMAGE, IMAGE_BITMAP, 0));
}

// The pixels of a button's picture, row by row; width and height come back in size.
std::vector<COLORREF> picture(HWND dialog, int id, SIZE& size) {
  BITMAP info{};
  GetObjectW(buttonImage(dialog, id), sizeof info, &info);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, buttonImage(dialog, id));
  std::vector<COLORREF> pixels;
  for (int y = 0; y < info.bmHeight; ++y)
    for (int x = 0; x < info.bmWidth; ++x) pixels.push_back(GetPixel(memory, x, y));
  SelectObject(memory, old);
  DeleteDC(memory);
  size = {info.bmWidth, info.bmHeight};
  return pixels;
}

// Pixels of the caption key's picture close to pure blue.
int bluePixels(HWND dialog) {
  SIZE size;
  int found = 0;
  for (COLORREF c : picture(dialog, CAPTION_KEY, size))
    found += GetRValue(c) <= 39 && GetGValue(c) <= 39 && GetBValue(c) >= 216;
  return found;
}

TEST(Stylers, RegistersControlsByKindAndComposesTheirPictures) {
  HWND dialog = makeDialog();
  ASSERT_NE(dialog, nullptr);
  select(dialog);
  EXPECT_EQ(buttonStyler.controlWindow(CHECK_KEY), GetDlgItem(dialog, CHECK_KEY));
  EXPECT_EQ(buttonStyler.findEntry(PLAIN_BUTTON), buttonStyler.entryCount());  // no BS_BITMAP
  EXPECT_EQ(staticStyler.findEntry(-1), staticStyler.entryCount());
  EXPECT_LT(editStyler.findEntry(EDIT_FIELD), editStyler.entryCount());

  // A second initialisation reuses the entries.
  const int statics = staticStyler.entryCount(), buttons = buttonStyler.entryCount();
  SendMessageW(dialog, WM_INITDIALOG, 0, 0);
  EXPECT_EQ(staticStyler.entryCount(), statics);
  EXPECT_EQ(buttonStyler.entryCount(), buttons);

  // A static's colour request answers with its entry's brush and colour.
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  select(dialog);
  staticStyler.setBackground(FIRST_STATIC, brush);
  staticStyler.setTextColour(FIRST_STATIC, RGB(10, 20, 30));
  HWND text = GetDlgItem(dialog, FIRST_STATIC);
  HDC dc = GetDC(text);
  EXPECT_EQ(styleDialogMessage(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(text)),
            reinterpret_cast<INT_PTR>(brush));
  EXPECT_EQ(GetTextColor(dc), RGB(10, 20, 30));
  ReleaseDC(text, dc);

  // The check state changes the key's picture: the pushed key is dark at the top.
  for (int click = 0; click < 3; ++click) {
    SIZE size;
    const std::vector<COLORREF> pixels = picture(dialog, CHECK_KEY, size);
    ASSERT_FALSE(pixels.empty());
    const int red = GetRValue(pixels[size.cy / 8 * size.cx + size.cx / 2]);
    EXPECT_TRUE(click % 2 ? red < 185 : red > 215) << click << ": " << red;
    SendDlgItemMessageW(dialog, CHECK_KEY, BM_CLICK, 0, 0);
    driver::pump(50);
  }

  // The caption is drawn on the picture in its colour, with an embossed copy; a picture with caption flag 0
  // shows the picture only, until a button without a picture is composed, which sets the flag again.
  select(dialog);
  buttonStyler.setTextColour(CAPTION_KEY, RGB(0, 0, 255));
  EXPECT_GT(bluePixels(dialog), 0);
  buttonStyler.setImage(CAPTION_KEY, L"SETTINGS", 0);
  EXPECT_EQ(buttonStyler.captionFlag, 0);
  EXPECT_EQ(bluePixels(dialog), 0);
  buttonStyler.setTextColour(CHECK_KEY, RGB(0, 0, 0));
  EXPECT_EQ(buttonStyler.captionFlag, 1);
  select(dialog);
  buttonStyler.setTextColour(CAPTION_KEY, RGB(0, 0, 255));
  EXPECT_GT(bluePixels(dialog), 0);

  // An unregistered id changes nothing.
  buttonStyler.setImage(PLAIN_BUTTON, L"SETTINGS", 0);
  EXPECT_EQ(buttonStyler.captionFlag, 1);
  DestroyWindow(dialog);
  DeleteObject(brush);
}

TEST(Stylers, DestroyedDialogsNeverMatchAndFullTableReusesTheirEntries) {
  HWND first = makeDialog();
  ASSERT_NE(first, nullptr);
  DestroyWindow(first);
  select(first);
  EXPECT_EQ(staticStyler.findEntry(FIRST_STATIC), staticStyler.entryCount());

  // Open and close far more dialogs than the tables hold.
  for (int i = 0; i < STYLER_CAPACITY / STATIC_COUNT + 20; ++i)
    DestroyWindow(CreateDialogParamW(GetModuleHandleW(nullptr), L"STYLETEST", nullptr, testDialogProc, 0));
  EXPECT_EQ(staticStyler.entryCount(), STYLER_CAPACITY);
  HWND last = makeDialog();
  ASSERT_NE(last, nullptr);
  select(last);
  for (int i = 0; i < STATIC_COUNT; ++i) EXPECT_LT(staticStyler.findEntry(FIRST_STATIC + i), STYLER_CAPACITY);
  EXPECT_NE(buttonImage(last, CHECK_KEY), nullptr);
  DestroyWindow(last);
}

}  // namespace
