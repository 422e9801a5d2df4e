#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "controls/control_styler_win.h"
#include "win_driver.h"

namespace {

// The pixels of a bitmap.
class Pixels {
 public:
  explicit Pixels(HBITMAP bitmap) : memory_(CreateCompatibleDC(nullptr)), old_(SelectObject(memory_, bitmap)) {
    GetObjectW(bitmap, sizeof info_, &info_);
  }
  ~Pixels() {
    SelectObject(memory_, old_);
    DeleteDC(memory_);
  }
  COLORREF at(int x, int y) const { return GetPixel(memory_, x, y); }
  // How many have red, green and blue each within tolerance of colour's.
  int count(COLORREF colour, int tolerance) const {
    int found = 0;
    for (int y = 0; y < info_.bmHeight; ++y)
      for (int x = 0; x < info_.bmWidth; ++x) {
        const COLORREF c = at(x, y);
        found += std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
                 std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
                 std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance;
      }
    return found;
  }

 private:
  HDC memory_;
  HGDIOBJ old_;
  BITMAP info_{};
};

constexpr int CHECK_KEY = 100;
constexpr int CAPTION_KEY = 101;
constexpr int PLAIN_BUTTON = 102;
constexpr int FIRST_STATIC = 110;
constexpr int STATIC_COUNT = 8;
constexpr int EDIT_FIELD = 120;

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

// Pixels of a button's picture close to the given colour.
int countPixels(HWND dialog, int id, COLORREF colour) { return Pixels(buttonImage(dialog, id)).count(colour, 39); }

TEST(Stylers, RegistersControlsByKindAndComposesTheirPictures) {
  HWND dialog = makeDialog();
  ASSERT_NE(dialog, nullptr);
  select(dialog);
  EXPECT_EQ(buttonStyler.controlWindow(CHECK_KEY), GetDlgItem(dialog, CHECK_KEY));
  EXPECT_EQ(buttonStyler.findEntry(PLAIN_BUTTON), buttonStyler.entryCount());  // no BS_BITMAP
  EXPECT_EQ(staticStyler.findEntry(-1), staticStyler.entryCount());
  EXPECT_LT(editStyler.findEntry(EDIT_FIELD), editStyler.entryCount());

  // A second initialisation reuses the entries.
  const int statics = staticStyler.entryCount();
  const int buttons = buttonStyler.entryCount();
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
  HWND key = GetDlgItem(dialog, CHECK_KEY);
  RECT client;
  GetClientRect(key, &client);
  const int x = client.right / 2, y = client.bottom / 8;
  for (int click = 0; click < 3; ++click) {
    ASSERT_NE(buttonImage(dialog, CHECK_KEY), nullptr);
    const int red = GetRValue(Pixels(buttonImage(dialog, CHECK_KEY)).at(x, y));
    EXPECT_TRUE(click % 2 ? red < 185 : red > 215) << click << ": " << red;
    SendMessageW(key, BM_CLICK, 0, 0);
    driver::pump(50);
  }

  // The caption is drawn on the picture in its colour, with an embossed copy.
  select(dialog);
  buttonStyler.setTextColour(CAPTION_KEY, RGB(0, 0, 255));
  EXPECT_GT(countPixels(dialog, CAPTION_KEY, RGB(0, 0, 255)), 0);

  // A picture with caption flag 0 shows the picture only...
  buttonStyler.setImage(CAPTION_KEY, L"SETTINGS", 0);
  EXPECT_EQ(buttonStyler.captionFlag, 0);
  EXPECT_EQ(countPixels(dialog, CAPTION_KEY, RGB(0, 0, 255)), 0);
  // ...until a button without a picture is composed, which sets the flag again.
  buttonStyler.setTextColour(CHECK_KEY, RGB(0, 0, 0));
  EXPECT_EQ(buttonStyler.captionFlag, 1);
  select(dialog);
  buttonStyler.setTextColour(CAPTION_KEY, RGB(0, 0, 255));
  EXPECT_GT(countPixels(dialog, CAPTION_KEY, RGB(0, 0, 255)), 0);

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
  const int rounds = STYLER_CAPACITY / STATIC_COUNT + 20;
  for (int i = 0; i < rounds; ++i) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), L"STYLETEST", nullptr, testDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    DestroyWindow(dialog);
  }
  EXPECT_EQ(staticStyler.entryCount(), STYLER_CAPACITY);
  HWND last = makeDialog();
  ASSERT_NE(last, nullptr);
  select(last);
  for (int i = 0; i < STATIC_COUNT; ++i) EXPECT_LT(staticStyler.findEntry(FIRST_STATIC + i), STYLER_CAPACITY);
  EXPECT_NE(buttonImage(last, CHECK_KEY), nullptr);
  DestroyWindow(last);
}

}  // namespace
