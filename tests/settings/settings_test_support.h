// Helpers for the configuration tests: a scratch directory and text conversions.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/cp1251.h"
#include "settings/settings_file.h"

// A fresh directory that is the current directory for the test's lifetime.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/skalenor-settings-XXXXXX";
    path_ = mkdtemp(pattern);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path previous_;
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
