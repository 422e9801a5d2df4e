// Finding a board driver library through the registry and taking its factory.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "acquisition/driver_interface_win.h"

namespace {

HMODULE heldLibrary = nullptr;  // one driver library per process

constexpr DWORD PATH_VALUE_BYTES = 256;

// Appends "\" and the segment when it is not empty; false when it would not fit.
bool appendSegment(char* key, size_t size, const char* segment) {
  if (!segment || !*segment) return true;
  size_t used = std::strlen(key);
  size_t more = std::strlen(segment) + 1;
  if (used + more + 1 > size) return false;
  key[used] = '\\';
  std::memcpy(key + used + 1, segment, more);
  return true;
}

bool libraryPathFromRegistry(const char* maker, const char* group, const char* version,
                             const char* name, char* path) {
  char key[512] = "SOFTWARE";
  if (!appendSegment(key, sizeof key, maker) || !appendSegment(key, sizeof key, group) ||
      !appendSegment(key, sizeof key, version) || !appendSegment(key, sizeof key, name))
    return false;
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD bytes = PATH_VALUE_BYTES;
  LONG status = RegQueryValueExA(handle, "path", nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ || bytes == 0) return false;
  path[bytes < PATH_VALUE_BYTES ? bytes : PATH_VALUE_BYTES - 1] = 0;  // the value need not end in a NUL
  return path[0] != 0;
}

bool libraryPathInCurrentDirectory(const char* name, char* path, size_t size) {
  char dir[MAX_PATH] = {};
  DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
  if (n == 0 || n >= MAX_PATH) return false;
  int written = std::snprintf(path, size, "%s\\%s.DLL", dir, name ? name : "");
  return written > 0 && static_cast<size_t>(written) < size;
}

}  // namespace

void freeDriverLibrary() {
  if (heldLibrary) FreeLibrary(heldLibrary);
  heldLibrary = nullptr;
}

IADCFactory* loadDriverLibrary(const char* maker, const char* group, const char* version,
                               const char* name, const char* factorySymbol) {
  freeDriverLibrary();
  char path[MAX_PATH + PATH_VALUE_BYTES] = {};
  bool located = (maker && *maker && group && *group && version && *version)
                     ? libraryPathFromRegistry(maker, group, version, name, path)
                     : libraryPathInCurrentDirectory(name, path, sizeof path);
  if (!located) return nullptr;
  heldLibrary = LoadLibraryA(path);
  if (!heldLibrary) return nullptr;
  auto* factory = reinterpret_cast<IADCFactory*>(GetProcAddress(heldLibrary, factorySymbol));
  if (!factory) freeDriverLibrary();
  return factory;
}
