// Files by kernel handles: wide paths, positions given with every read (64-bit
// offsets in the OVERLAPPED record), shared so that the recorder may go on
// appending while the file is read.
#include <windows.h>

#include <string>

#include "recording/byte_source.h"

namespace {

constexpr DWORD LARGEST_READ = 1u << 30;

HANDLE toHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

FileSource::~FileSource() {
  if (handle_ != CLOSED) CloseHandle(toHandle(handle_));
}

bool FileSource::open(const std::string& path) {
  if (handle_ != CLOSED) CloseHandle(toHandle(handle_));
  handle_ = CLOSED;
  const int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), n);
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

int64_t FileSource::size() {
  LARGE_INTEGER s{};
  if (handle_ == CLOSED || !GetFileSizeEx(toHandle(handle_), &s)) return -1;
  return s.QuadPart;
}

size_t FileSource::readAt(uint64_t offset, void* out, size_t size) {
  size_t done = 0;
  while (handle_ != CLOSED && done < size) {
    const uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const size_t left = size - done;
    DWORD got = 0;
    if (!ReadFile(toHandle(handle_), static_cast<char*>(out) + done,
                  left > LARGEST_READ ? LARGEST_READ : static_cast<DWORD>(left), &got, &where) ||
        got == 0)
      break;
    done += got;
  }
  return done;
}
