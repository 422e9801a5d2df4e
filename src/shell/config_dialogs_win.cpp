#include "shell/config_dialogs_win.h"

#include <commdlg.h>

#include <cwchar>

#include "shell/window_place_win.h"

namespace {
wchar_t chosenPath[MAX_PATH];
}  // namespace

namespace {

void centreOn(HWND dialog, HWND owner) {
  RECT ref{0, 0, GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN)};
  if (owner) GetWindowRect(owner, &ref);
  RECT r;
  GetWindowRect(dialog, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  MoveWindow(dialog, ref.left + (ref.right - ref.left - w) / 2, ref.top + (ref.bottom - ref.top - h) / 2, w, h, TRUE);
  keepOnScreen(dialog);  // an owner near an edge would push it off
}

}  // namespace

UINT_PTR CALLBACK centerCommonDialog(HWND hook, UINT message, WPARAM, LPARAM lParam) {
  // An explorer-style file dialog hooks a child and takes its final size only
  // after the child's initialisation: it is centred again once laid out.
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
    centreOn(GetParent(hook), reinterpret_cast<const OFNOTIFYW*>(lParam)->lpOFN->hwndOwner);
    return 0;
  }
  if (message != WM_INITDIALOG) return 0;
  // File dialogs hand over their description; the colour dialog its own.
  const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
  if (ofn && (ofn->lStructSize == OPENFILENAME_SIZE_VERSION_400W || ofn->lStructSize == sizeof(OPENFILENAMEW)))
    centreOn(GetParent(hook), ofn->hwndOwner);
  else
    centreOn(hook, lParam ? reinterpret_cast<const CHOOSECOLORW*>(lParam)->hwndOwner : nullptr);
  return 1;
}

const wchar_t* promptConfigFile(PromptKind kind, HWND owner, const wchar_t* title, const wchar_t* filterName,
                                const wchar_t* pattern, const wchar_t* startDirectory) {
  wchar_t directory[MAX_PATH] = {};
  if (startDirectory) {
    wcsncpy(directory, startDirectory, MAX_PATH - 1);
  } else {
    GetCurrentDirectoryW(MAX_PATH, directory);
    if (wcslen(directory) == 3 && directory[2] == L'\\') directory[2] = 0;
  }
  // Initial name: directory + "\*.cfg".
  swprintf(chosenPath, MAX_PATH, L"%ls%ls", directory, pattern);

  // Filter pair: name, then the pattern without its leading backslash.
  const wchar_t* filterPattern = pattern[0] == L'\\' ? pattern + 1 : pattern;
  wchar_t filter[256] = {};
  const size_t nameLen = wcslen(filterName);
  const size_t patLen = wcslen(filterPattern);
  if (nameLen + patLen + 3 > 256) return nullptr;
  wmemcpy(filter, filterName, nameLen);
  wmemcpy(filter + nameLen + 1, filterPattern, patLen);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = chosenPath;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  ofn.lpfnHook = centerCommonDialog;
  const BOOL ok = kind == PromptKind::Open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
  if (!ok) return nullptr;
  if (kind == PromptKind::Save) {
    const wchar_t* name = chosenPath + ofn.nFileOffset;
    if (!wcschr(name, L'.')) {
      const wchar_t* ext = wcschr(filterPattern, L'.');  // "*.cfg" -> ".cfg"
      if (ext && wcslen(chosenPath) + wcslen(ext) < MAX_PATH) wcscat(chosenPath, ext);
    }
  }
  return chosenPath;
}
