#include "controls/control_styler_win.h"

ButtonStyler buttonStyler;
ControlStyler staticStyler(64, COLOR_BTNFACE, true);
ControlStyler editStyler(72, COLOR_WINDOW);
ControlStyler progressStyler(72, COLOR_BTNFACE);
HWND currentDialog = nullptr;

namespace {

BOOL CALLBACK registerChild(HWND control, LPARAM param) {
  HWND dialog = reinterpret_cast<HWND>(param);
  if (GetParent(control) != dialog) return TRUE;
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  // Class names compared without case: some systems report "BUTTON".
  if (lstrcmpiW(name, L"Button") == 0) {
    buttonStyler.registerControl(dialog, control);
  } else if (lstrcmpiW(name, L"Static") == 0 || lstrcmpiW(name, OWN_DC_STATIC_CLASS) == 0) {
    staticStyler.registerControl(dialog, control);
  } else if (lstrcmpiW(name, L"Edit") == 0) {
    editStyler.registerControl(dialog, control);
  } else if (lstrcmpiW(name, L"msctls_progress32") == 0) {
    progressStyler.registerControl(dialog, control);
  }
  return TRUE;
}

// Text colour, font and background of a registered control; 0 if not registered.
INT_PTR colourControl(ControlStyler& styler, HDC dc, HWND control) {
  const int entry = styler.findEntry(GetDlgCtrlID(control));
  if (entry == styler.entryCount()) return 0;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, styler.entryTextColour(entry));
  // A control that already draws in this font (handed over at registration and by refresh) selects it
  // itself; selecting it here again costs a font set-up in the window system on every paint.
  HFONT font = styler.entryFont(entry);
  if (font != nullptr && reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) != font)
    SelectObject(dc, font);
  return reinterpret_cast<INT_PTR>(styler.entryBackground(entry));
}

}  // namespace

bool registerOwnDcStatic(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, OWN_DC_STATIC_CLASS, &wc)) return true;
  if (!GetClassInfoExW(nullptr, L"Static", &wc)) return false;
  wc.cbSize = sizeof wc;
  wc.style |= CS_OWNDC;
  wc.hInstance = instance;
  wc.lpszClassName = OWN_DC_STATIC_CLASS;
  return RegisterClassExW(&wc) != 0;
}

INT_PTR styleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  currentDialog = dialog;
  switch (message) {
    case WM_INITDIALOG:
      EnumChildWindows(dialog, registerChild, reinterpret_cast<LPARAM>(dialog));
      currentDialog = dialog;
      return 0;
    case WM_DESTROY:
      buttonStyler.forgetDialog(dialog);
      staticStyler.forgetDialog(dialog);
      editStyler.forgetDialog(dialog);
      progressStyler.forgetDialog(dialog);
      return 0;
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control == nullptr) return 0;
      const LONG style = GetWindowLongW(control, GWL_STYLE);
      if ((style & 3) != 0 && (style & BS_PUSHLIKE) != 0 &&
          buttonStyler.findEntry(LOWORD(wParam)) != buttonStyler.entryCount()) {
        buttonStyler.refresh(control);  // the picture follows the check state
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      INT_PTR brush = colourControl(staticStyler, dc, control);
      // Read-only edit fields ask with this message too; disabled ones keep the
      // system's greyed look, like every other disabled control.
      if (brush == 0 && IsWindowEnabled(control)) brush = colourControl(editStyler, dc, control);
      return brush;
    }
    case WM_CTLCOLOREDIT:
      return colourControl(editStyler, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
      return 0;
  }
}
