// Helpers for the configuration tests: text conversions, records read from text
// and observed through the writer.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "settings/cp1251.h"
#include "settings/settings_file.h"
#include "test_files.h"

// Windows-1251 bytes of a UTF-8 literal.
inline std::string cp(const std::string& utf8) { return utf8ToCp1251(utf8); }

// A record with defaults stored, then the text parsed on top.
// problems gets "LINE: message" for each.
inline std::unique_ptr<MeterSettings> parsed(const std::string& text, std::vector<std::string>* problems = nullptr) {
  auto s = std::make_unique<MeterSettings>();
  setSettingsDefaults(*s);
  auto collect = [](void* context, int line, const char* message) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(line) + ": " + message);
  };
  parseSettingsText(*s, text.data(), text.size(), problems ? +collect : nullptr, problems);
  return s;
}

inline std::string rewrite(const MeterSettings& s, const std::string& input) {
  std::string output;
  auto append = [](void* context, const char* bytes, size_t size) {
    static_cast<std::string*>(context)->append(bytes, size);
    return true;
  };
  EXPECT_TRUE(rewriteSettingsText(s, input.data(), input.size(), append, &output));
  return output;
}

// The record's values of the keys in want ("key = value" lines, compared in
// their written form; Device, never rewritten, from the record).
inline void expectWritten(const MeterSettings& s, const std::string& want) {
  std::istringstream lines(want);
  for (std::string line; std::getline(lines, line);) {
    const std::string key = line.substr(0, line.find(" = ")), written = rewrite(s, key + " =");
    EXPECT_EQ(key == "Device" ? "Device = \"" + std::string(s.deviceName) + "\"\r\n"
                              : written.substr(0, written.find('\n') + 1),  // the keys it lacks follow
              line + "\r\n");
  }
}
