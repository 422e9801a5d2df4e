#include "panels/reading_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string reading(float x) {
  char buffer[32];
  formatReading(x, buffer, sizeof buffer);
  return buffer;
}

TEST(FormatReading, ListedValues) {
  EXPECT_EQ(reading(0.0f), ".0");
  EXPECT_EQ(reading(0.5f), ".50000");
  EXPECT_EQ(reading(-0.5f), "-.50000");
  EXPECT_EQ(reading(5.0f), "5.0000");
  EXPECT_EQ(reading(0.05f), ".050000");
  EXPECT_EQ(reading(0.005f), ".005000");
  EXPECT_EQ(reading(0.0005f), "5.00e-4");
  EXPECT_EQ(reading(-0.0005f), "-5.00e-4");
  EXPECT_EQ(reading(12.0f), "   12");
  EXPECT_EQ(reading(123456.0f), "123456");
  EXPECT_EQ(reading(1234567.0f), "1.23457e+6");
}

TEST(FormatReading, ThresholdsAndShortening) {
  // Each band's lower edge as a float lies just above its threshold.
  EXPECT_EQ(reading(10.0f), "   10");
  EXPECT_EQ(reading(-12.0f), "  -12");
  EXPECT_EQ(reading(1.0f), "1.0000");
  EXPECT_EQ(reading(-1.0f), "-1.0000");
  EXPECT_EQ(reading(0.1f), ".10000");
  EXPECT_EQ(reading(0.01f), ".010000");
  EXPECT_EQ(reading(0.001f), ".001000");
  EXPECT_EQ(reading(0.0009f), "9.00e-4");
  EXPECT_EQ(reading(-0.0f), ".0");
  // Exponents: up to two zeros after the sign go, other digits stay.
  EXPECT_EQ(reading(1.0e-5f), "1.00e-5");
  EXPECT_EQ(reading(1.0e-10f), "1.00e-10");
  EXPECT_EQ(reading(-1234567.0f), "-1.23457e+6");
  EXPECT_EQ(reading(1.0e20f), "1e+20");
  EXPECT_EQ(reading(1.0e10f), "1e+10");
}

TEST(FormatReading, SmallBufferIsCutAndTerminated) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(formatReading(-0.5f, buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "-.5");
  char one[1] = {'x'};
  EXPECT_EQ(formatReading(123.0f, one, 1), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(formatReading(1.0f, nullptr, 0), 0u);
}

}  // namespace
