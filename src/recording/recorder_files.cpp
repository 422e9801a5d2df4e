#include "recording/recorder_files.h"

bool appendWhole(RecorderFiles& files, FileHandle file, const void* data, uint32_t size, uint64_t unit, uint64_t base,
                 FileFailure* why) {
  uint64_t end = 0;
  bool ok = files.seekToEnd(file, &end);
  // A file cut or grown from outside to a part of a unit: the units stay at their places.
  const uint64_t whole = unit && end > base ? base + (end - base) / unit * unit : end;
  if (ok && whole != end) ok = files.truncate(file, whole);
  if (ok) ok = files.write(file, data, size);
  if (!ok) {
    *why = files.lastFailure();
    files.truncate(file, whole);
  }
  return ok;
}
