// Writes 8-bit RGB images as PNG files (stored, uncompressed deflate blocks):
// enough for test screenshots without an image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width * height * 3 bytes, top row first.
std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb);
