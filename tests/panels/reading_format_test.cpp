#include "panels/reading_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// The listed values; then each band's lower edge, which as a float lies just
// above its threshold; then exponents: up to two zeros after the sign go,
// other digits stay; last, buffers too small for the text are cut.
TEST(FormatReading, ListedValuesThresholdsShorteningAndCuts) {
  const struct {
    float x;
    const char* text;
    size_t size = 32;
  } cases[] = {
      {0.0f, ".0"}, {0.5f, ".50000"}, {-0.5f, "-.50000"}, {5.0f, "5.0000"}, {0.05f, ".050000"},
      {0.005f, ".005000"}, {0.0005f, "5.00e-4"}, {-0.0005f, "-5.00e-4"}, {12.0f, "   12"},
      {123456.0f, "123456"}, {1234567.0f, "1.23457e+6"},
      {10.0f, "   10"}, {-12.0f, "  -12"}, {1.0f, "1.0000"}, {-1.0f, "-1.0000"}, {0.1f, ".10000"},
      {0.01f, ".010000"}, {0.001f, ".001000"}, {0.0009f, "9.00e-4"}, {-0.0f, ".0"},
      {1.0e-5f, "1.00e-5"}, {1.0e-10f, "1.00e-10"}, {-1234567.0f, "-1.23457e+6"}, {1.0e20f, "1e+20"},
      {1.0e10f, "1e+10"}, {-0.5f, "-.5", 4}, {123.0f, "", 1},
  };
  for (const auto& c : cases) {
    std::string buffer(32, 'x');
    EXPECT_EQ(formatReading(c.x, buffer.data(), c.size), std::strlen(c.text)) << c.x;
    EXPECT_STREQ(buffer.c_str(), c.text) << c.x;
  }
  EXPECT_EQ(formatReading(1.0f, nullptr, 0), 0u);
}
