// Appends text to a fixed buffer: what does not fit is dropped and the
// buffer says so. Used for the server's responses.
#pragma once

#include <cstddef>
#include <cstdint>

class TextBuffer {
 public:
  TextBuffer(char* data, size_t capacity) : data_(data), capacity_(capacity) {}

  void add(const char* text);
  void add(const char* text, size_t length);
  void add(char c) { add(&c, 1); }
  void addInteger(int64_t value);
  void addUnsigned(uint64_t value);
  // The shortest text that reads back as the same float; "NaN", "+Inf", "-Inf"
  // (the Prometheus spellings) for the values that are not finite.
  void addReal(float value);
  void addReal(double value);

  // Windows-1251 text (up to its NUL or size bytes) as UTF-8, escaped for a
  // JSON string (quotes not included) or for a Prometheus label value.
  void addJsonText(const char* cp1251, size_t size);
  void addLabelText(const char* cp1251, size_t size);

  const char* data() const { return data_; }
  size_t size() const { return size_; }
  bool overflowed() const { return overflowed_; }

 private:
  void addUtf8(uint32_t codePoint);

  char* data_;
  size_t capacity_;
  size_t size_ = 0;
  bool overflowed_ = false;
};
