// Styled controls: per kind of control a table of registered controls with
// their font, background and text colour, and the operations that change them.
// Styled dialogs pass every message to styleDialogMessage first.
//
// Lookups by control id are relative to currentDialog, the dialog whose
// message styleDialogMessage saw last. All of this runs on the UI thread.
#pragma once

#include <windows.h>

inline constexpr int STYLER_CAPACITY = 1024;
inline constexpr int STYLER_NAME_SIZE = 32;
inline constexpr int STYLER_TEXT_SIZE = 256;

// A static with a DC of its own, for indicators repainted many times a second: a window's own DC keeps its
// visible region between paints, where a shared one is set up anew (a window-server query) whenever more
// windows paint than the system keeps shared DCs for.
inline constexpr wchar_t OWN_DC_STATIC_CLASS[] = L"SkalenorOwnDCStatic";
bool registerOwnDcStatic(HINSTANCE instance);

class ControlStyler {
 public:
  // fontDivisor: default font height = full-screen width / fontDivisor.
  // brushColour: system colour index of the shared background brush.
  // paintAtOnce: a restyled control that is shown paints itself at once (statics), instead of waiting for a
  // queued repaint.
  ControlStyler(int fontDivisor, int brushColour, bool paintAtOnce = false);
  virtual ~ControlStyler() = default;
  ControlStyler(const ControlStyler&) = delete;
  ControlStyler& operator=(const ControlStyler&) = delete;

  virtual void attach(HWND control);
  virtual void detach(HWND control);
  virtual void refresh(HWND control);
  // Entry under the mouse for a mouse message, or the entry count.
  virtual int hitTest(const MSG& message, POINT point);

  // Registers a child control of a dialog (its initialisation). Returns the
  // entry, or the entry count when the control is skipped or the table is full.
  virtual int registerControl(HWND dialog, HWND control);
  // The dialog is gone: its entries never match again.
  virtual void forgetDialog(HWND dialog);

  int findEntry(int controlId);
  HWND controlWindow(int controlId);
  void setTextColour(int controlId, COLORREF colour);
  void setBackground(int controlId, HBRUSH brush);  // null: the shared brush
  void setFont(int controlId, HFONT font);

  int entryCount() const { return count; }
  HFONT defaultFont();
  HBRUSH sharedBrush();
  HFONT entryFont(int entry) const { return fonts[entry]; }
  HBRUSH entryBackground(int entry) const { return backgrounds[entry]; }
  COLORREF entryTextColour(int entry) const { return textColours[entry]; }

 protected:
  // A new entry (appended, or one of a destroyed dialog when the table is
  // full), filled with the defaults; or the count when there is no room.
  int newEntry(HWND dialog, int controlId);
  virtual void resetEntry(int entry);
  HWND entryWindow(int entry) const;

  HWND dialogs[STYLER_CAPACITY] = {};
  int ids[STYLER_CAPACITY] = {};
  // The control itself, kept from its registration: under Wine each GetDlgItem is a round trip to the
  // window server, and restyled statics are looked up dozens of times a second.
  HWND windows[STYLER_CAPACITY] = {};
  HFONT fonts[STYLER_CAPACITY] = {};
  HBRUSH backgrounds[STYLER_CAPACITY] = {};
  COLORREF textColours[STYLER_CAPACITY] = {};
  int count = 0;
  int lastFound = 0;
  COLORREF defaultTextColour = 0;

 private:
  int fontDivisor;
  int brushColour;
  bool paintAtOnce;
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
};

class ButtonStyler : public ControlStyler {
 public:
  ButtonStyler();

  void attach(HWND control) override;
  void detach(HWND control) override;
  void refresh(HWND control) override;
  int hitTest(const MSG& message, POINT point) override;
  int registerControl(HWND dialog, HWND control) override;
  // Also frees the pictures of the dialog's buttons, which are never shown again.
  void forgetDialog(HWND dialog) override;

  // Puts a copy of the named bitmap over the key picture of the control.
  void setImage(int controlId, const wchar_t* bitmapName, int captionFlag);
  // Builds the picture of the entry found last and hands it to the button.
  void composeButtonImage();

  int captionFlag = 0;

 protected:
  void resetEntry(int entry) override;

 private:
  HBITMAP normalImages[STYLER_CAPACITY] = {};
  HBITMAP pushedImages[STYLER_CAPACITY] = {};
  HBITMAP overlayImages[STYLER_CAPACITY] = {};
  LONG styles[STYLER_CAPACITY] = {};
  wchar_t normalName[STYLER_NAME_SIZE] = L"GRADIENT";
  wchar_t pushedName[STYLER_NAME_SIZE] = L"GRADIENTPUSHED";
  wchar_t caption[STYLER_TEXT_SIZE] = {};
};

extern ButtonStyler buttonStyler;
extern ControlStyler staticStyler;
extern ControlStyler editStyler;
extern ControlStyler progressStyler;
extern HWND currentDialog;

// First call of a styled dialog's procedure. Returns 0, or for a colour
// request of a registered control the brush to paint its background with.
INT_PTR styleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
