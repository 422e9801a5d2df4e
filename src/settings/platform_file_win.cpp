#include <windows.h>
#include <io.h>

#include "settings/platform_file.h"

bool flushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  const intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle == -1) return false;
  return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool replaceFileAtomically(const char* tempPath, const char* targetPath) {
  return MoveFileExA(tempPath, targetPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
