// "Доступ по сети...": switches the read-only server on and off, chooses who
// may reach it and its port, and shows the address to open in a browser.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "network/web_server_win.h"
#include "resource.h"
#include "settings/meter_settings.h"
#include "settings/settings_file.h"

namespace {

constexpr char ALL_INTERFACES[] = "0.0.0.0";
constexpr int URL_TEXT_SIZE = 512;

struct NetworkChoice {
  bool on = false;
  bool lan = false;
  int port = WEB_DEFAULT_PORT;
  char keptAddress[WEB_ADDRESS_SIZE] = {};  // a network address from the file, kept while "локальная сеть" stays
};

// This computer's IPv4 addresses other than loopback, one URL a line.
void lanUrls(int port, wchar_t* out, size_t size) {
  out[0] = 0;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
  char host[256] = {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (gethostname(host, sizeof host) == 0 && getaddrinfo(host, nullptr, &hints, &found) == 0) {
    for (addrinfo* a = found; a; a = a->ai_next) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
      if (bytes[0] == 127) continue;
      const size_t used = wcslen(out);
      swprintf(out + used, size - used, L"%lshttp://%d.%d.%d.%d:%d/", used ? L"\r\n" : L"", bytes[0], bytes[1],
               bytes[2], bytes[3], port);
    }
    freeaddrinfo(found);
  }
  if (!out[0]) {  // no address known: the computer's name
    wchar_t name[256] = {};
    MultiByteToWideChar(CP_ACP, 0, host, -1, name, 255);
    swprintf(out, size, L"http://%ls:%d/", name, port);
  }
  WSACleanup();
}

void showChoice(HWND dialog) {
  const bool on = IsDlgButtonChecked(dialog, IDC_WEB_ENABLE) == BST_CHECKED;
  const bool lan = IsDlgButtonChecked(dialog, IDC_WEB_LAN) == BST_CHECKED;
  for (int id : {IDC_WEB_LOCAL, IDC_WEB_LAN, IDC_WEB_PORT}) EnableWindow(GetDlgItem(dialog, id), on);
  BOOL ok = FALSE;
  const UINT port = GetDlgItemInt(dialog, IDC_WEB_PORT, &ok, FALSE);
  wchar_t text[URL_TEXT_SIZE];
  if (!on)
    wcscpy(text, L"Доступ по сети выключен.");
  else if (!ok || port < 1 || port > 65535)
    wcscpy(text, L"Порт: число от 1 до 65535.");
  else if (lan)
    lanUrls(static_cast<int>(port), text, URL_TEXT_SIZE);
  else
    swprintf(text, URL_TEXT_SIZE, L"http://127.0.0.1:%u/", port);
  SetDlgItemTextW(dialog, IDC_WEB_URL, text);
}

INT_PTR CALLBACK networkProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* choice = reinterpret_cast<NetworkChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      choice = reinterpret_cast<NetworkChoice*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      CheckDlgButton(dialog, IDC_WEB_ENABLE, choice->on ? BST_CHECKED : BST_UNCHECKED);
      CheckRadioButton(dialog, IDC_WEB_LOCAL, IDC_WEB_LAN, choice->lan ? IDC_WEB_LAN : IDC_WEB_LOCAL);
      SendDlgItemMessageW(dialog, IDC_WEB_PORT, EM_LIMITTEXT, 5, 0);
      SetDlgItemInt(dialog, IDC_WEB_PORT, static_cast<UINT>(choice->port), FALSE);
      showChoice(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_WEB_ENABLE:
        case IDC_WEB_LOCAL:
        case IDC_WEB_LAN:
          showChoice(dialog);
          return TRUE;
        case IDC_WEB_PORT:
          if (HIWORD(wParam) == EN_CHANGE) showChoice(dialog);
          return TRUE;
        case IDOK: {
          BOOL ok = FALSE;
          const UINT port = GetDlgItemInt(dialog, IDC_WEB_PORT, &ok, FALSE);
          const bool on = IsDlgButtonChecked(dialog, IDC_WEB_ENABLE) == BST_CHECKED;
          if (on && (!ok || port < 1 || port > 65535)) {
            SetFocus(GetDlgItem(dialog, IDC_WEB_PORT));
            MessageBeep(MB_ICONWARNING);
            return TRUE;
          }
          choice->on = on;
          choice->lan = IsDlgButtonChecked(dialog, IDC_WEB_LAN) == BST_CHECKED;
          if (on) choice->port = static_cast<int>(port);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void runNetworkDialog(HWND owner) {
  MeterSettings* s = meterSettings.load();
  if (!s) return;
  NetworkChoice choice;
  choice.on = s->WebPort > 0;
  choice.lan = std::strcmp(s->WebAddress, WEB_ADDRESS_LOCAL) != 0;
  if (choice.on) choice.port = s->WebPort;
  if (choice.lan) std::memcpy(choice.keptAddress, s->WebAddress, WEB_ADDRESS_SIZE);
  if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_NETWORK), owner, networkProc,
                      reinterpret_cast<LPARAM>(&choice)) != IDOK)
    return;
  s->WebPort = choice.on ? choice.port : 0;
  const char* address = !choice.lan ? WEB_ADDRESS_LOCAL : choice.keptAddress[0] ? choice.keptAddress : ALL_INTERFACES;
  std::snprintf(s->WebAddress, WEB_ADDRESS_SIZE, "%s", address);
  writeSettings(*s);
  stopWebServer();
  startWebServerFromSettings(owner);
}
