// File operations that differ between Windows and POSIX.
#pragma once

#include <cstdio>

// Pushes the stream's buffered bytes and the file's data to the disk.
bool flushFileToDisk(FILE* file);

// Replaces targetPath with tempPath in one step: a reader sees either the old or
// the new file, never none. The replacement is written through to the disk.
bool replaceFileAtomically(const char* tempPath, const char* targetPath);
