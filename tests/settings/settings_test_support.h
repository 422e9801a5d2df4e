// Helpers for the configuration tests: text conversions and a collector of the
// reader's problems.
#pragma once

#include <string>
#include <vector>

#include "settings/cp1251.h"
#include "settings/settings_file.h"
#include "test_files.h"

// Windows-1251 bytes of a UTF-8 literal.
inline std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

struct Problem {
  int line;
  std::string message;
};

inline void collectProblem(void* context, int line, const char* message) {
  static_cast<std::vector<Problem>*>(context)->push_back({line, message});
}

inline std::string describe(const std::vector<Problem>& problems) {
  std::string text;
  for (const Problem& p : problems) text += std::to_string(p.line) + ": " + p.message + "\n";
  return text;
}

inline bool anyProblemContains(const std::vector<Problem>& problems, int line, const char* text) {
  for (const Problem& p : problems)
    if (p.line == line && p.message.find(text) != std::string::npos) return true;
  return false;
}

// The first n entries of an array, to compare with a list.
template <typename T>
std::vector<T> entries(const T* values, size_t n) {
  return std::vector<T>(values, values + n);
}
