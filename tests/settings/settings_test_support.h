// Helpers for the configuration tests, native and under Wine: a scratch directory,
// file bytes, text conversions and a collector of the reader's problems.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "settings/cp1251.h"
#include "settings/settings_file.h"

// A fresh directory that is the current directory for the test's lifetime.
class ScratchDir {
 public:
  ScratchDir() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    do path_ = std::filesystem::temp_directory_path() / ("skalenor-settings-" + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

 private:
  std::filesystem::path previous_, path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
