#include "network/text_buffer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "settings/cp1251.h"

void TextBuffer::add(const char* text) { add(text, std::strlen(text)); }

void TextBuffer::add(const char* text, size_t length) {
  if (length > capacity_ - size_) {
    overflowed_ = true;
    length = capacity_ - size_;
  }
  std::memcpy(data_ + size_, text, length);
  size_ += length;
}

void TextBuffer::addInteger(int64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  add(text, static_cast<size_t>(result.ptr - text));
}

void TextBuffer::addUnsigned(uint64_t value) {
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, value);
  add(text, static_cast<size_t>(result.ptr - text));
}

namespace {

template <typename T>
bool addSpecial(TextBuffer& out, T value) {
  if (std::isnan(value)) {
    out.add("NaN");
    return true;
  }
  if (std::isinf(value)) {
    out.add(value > 0 ? "+Inf" : "-Inf");
    return true;
  }
  return false;
}

}  // namespace

void TextBuffer::addReal(float value) {
  if (addSpecial(*this, value)) return;
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  add(text, static_cast<size_t>(result.ptr - text));
}

void TextBuffer::addReal(double value) {
  if (addSpecial(*this, value)) return;
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  add(text, static_cast<size_t>(result.ptr - text));
}

void TextBuffer::addUtf8(uint32_t c) {
  char bytes[3];
  if (c < 0x80) {
    add(static_cast<char>(c));
  } else if (c < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
    add(bytes, 2);
  } else {  // Windows-1251 has nothing above U+FFFF
    bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    add(bytes, 3);
  }
}

void TextBuffer::addJsonText(const char* cp1251, size_t size) {
  static const char HEX[] = "0123456789abcdef";
  for (size_t i = 0; i < size && cp1251[i]; ++i) {
    const auto byte = static_cast<unsigned char>(cp1251[i]);
    if (byte == '"' || byte == '\\') {
      add('\\');
      add(static_cast<char>(byte));
    } else if (byte < 0x20) {
      const char escape[6] = {'\\', 'u', '0', '0', HEX[byte >> 4], HEX[byte & 15]};
      add(escape, sizeof escape);
    } else {
      addUtf8(cp1251ToCodePoint(byte));
    }
  }
}

void TextBuffer::addLabelText(const char* cp1251, size_t size) {
  for (size_t i = 0; i < size && cp1251[i]; ++i) {
    const auto byte = static_cast<unsigned char>(cp1251[i]);
    if (byte == '"' || byte == '\\') {
      add('\\');
      add(static_cast<char>(byte));
    } else if (byte == '\n') {
      add("\\n");
    } else {
      addUtf8(cp1251ToCodePoint(byte));
    }
  }
}
