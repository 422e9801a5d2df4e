#include "settings/platform_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

bool flushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}

bool replaceFileAtomically(const char* tempPath, const char* targetPath) {
  if (std::rename(tempPath, targetPath) != 0) return false;
  // Make the new directory entry durable too.
  char dir[1024];
  const char* slash = std::strrchr(targetPath, '/');
  if (!slash) {
    std::strcpy(dir, ".");
  } else {
    const size_t length = slash == targetPath ? 1 : static_cast<size_t>(slash - targetPath);
    if (length >= sizeof dir) return true;
    std::memcpy(dir, targetPath, length);
    dir[length] = '\0';
  }
  const int fd = open(dir, O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}
