// Files and scratch folders for the tests, native and under Wine (paths narrow
// or wide).
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out << bytes);
}

// The file's lines without their line ends.
inline std::vector<std::string> readLines(const std::filesystem::path& path) {
  std::istringstream in(readFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The value of the line "key = value" in a configuration text; "" when absent.
inline std::string valueOf(const std::string& config, const std::string& key) {
  for (size_t at = config.find(key); at != std::string::npos; at = config.find(key, at + 1)) {
    const size_t eq = config.find_first_not_of(' ', at + key.size());
    if ((at == 0 || config[at - 1] == '\n') && eq != std::string::npos && config[eq] == '=') {
      const size_t value = std::min(config.find_first_not_of(' ', eq + 1), config.size());
      return config.substr(value, config.find_first_of("\r\n", value) - value);
    }
  }
  return "";
}

// A fresh folder, removed with everything in it at the end; with enter, the
// current directory meanwhile.
class ScratchDir {
 public:
  explicit ScratchDir(bool enter = false) : previous_(enter ? std::filesystem::current_path() : "") {
    std::random_device random;
    do path_ = std::filesystem::temp_directory_path() / ("skalenor-test-" + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
    if (enter) std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!previous_.empty()) std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path previous_, path_;
};
