// Windows-1251 <-> UTF-8. Configuration files and recordings carry Windows-1251
// bytes; tools and tests that talk UTF-8 convert through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Code point of one Windows-1251 byte (0x98, unassigned, maps to U+0098).
uint32_t cp1251ToCodePoint(unsigned char byte);

// The Windows-1251 byte of a code point, or -1 when the code page has none.
int codePointToCp1251(uint32_t codePoint);

// NUL-terminated conversions into a fixed buffer. The output is always
// NUL-terminated and never cut inside a character; the result is the number of
// bytes written without the NUL. Characters with no Windows-1251 byte and
// malformed UTF-8 become '?'.
size_t cp1251ToUtf8(const char* in, char* out, size_t outSize);
size_t utf8ToCp1251(const char* in, char* out, size_t outSize);

// Convenience forms for tools and tests.
std::string cp1251ToUtf8(std::string_view in);
std::string utf8ToCp1251(std::string_view in);
