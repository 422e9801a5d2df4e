#include <cstring>

#include "settings_test_support.h"

namespace {

// Stale values to be replaced, and lines the writer must copy or tidy.
const std::string kInput = cp(
    "; skalenor configuration\r\n"
    "\r\n"
    "   # indented comment\r\n"
    "Device = \"KV320\"\r\n"
    "Vendor = ACME\r\n"
    "   \r\n"
    "Ftime = 5\n"
    "FreqStream=400000\r\n"
    "nDO = 8\r\nTimeType = 0\r\nCheckLabel = 0\r\n"
    "chPlot = 0\r\nscPlot = 0,0,0,0\r\nlrScale = 0\r\nrPlot = 0\r\nrWnd = 0,0,0,0\r\n"
    "colPlot1 = 0\r\nplotName1 = 'old'\r\nplotName2 = ''\r\nscaleY1 = 0,0\r\n"
    "1Channel = 1\r\n2Channel = 2\r\n"
    "FlagRec03 = 0\r\nACmode03 = 0\r\nNPK03 = 0\r\nInterval03 = 500\r\n"
    "Kadc03xyz = 0\r\n"
    "K3B = 1|0|V|x\r\nK5B = 1|0|V|x\r\nK6B = 1|0|V|x\r\nK7B = 1|0|V|x\r\nK8B = 1|0|V|x\r\n"
    "MinMaxRef03 = 1|2|3\r\n"
    "Kadc1 = 4\r\n"
    "Ftime\r\n"
    "  Kadc33 = 1\r\n"
    "; Ftime = 1\r\n"
    "; Комментарий\r\n"
    "Vendor2 = a\rb\r\n"
    "TimeType=0");

// Written out from the file layout: CR LF everywhere, empty lines dropped, a line of
// blanks kept as an empty line, known keys in their written form.
const std::string kExpected = cp(
    "; skalenor configuration\r\n"
    "# indented comment\r\n"
    "Device = \"KV320\"\r\n"
    "Vendor = ACME\r\n"
    "\r\n"
    "Ftime = 100\r\n"
    "FreqStream = 1000\r\n"
    "nDO = 16\r\n"
    "TimeType = 1\r\n"
    "CheckLabel = 1\r\n"
    "chPlot = 1,2,3,4,5,6,7,8, 9,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0\r\n"
    "scPlot = 3,0,0,9\r\n"
    "lrScale = 1,2, 0,0, 0,0, 0,0\r\n"
    "rPlot = 10,20,300,400, 0,0,0,0, 0,0,0,0, 0,0,0,0\r\n"
    "rWnd = -4,-4,1284,1028\r\n"
    "colPlot1 = ff,ff00,ff0000,0,ffffff,808080,c0c0c0,ff00ff\r\n"
    "plotName1 = 'Температура'\r\n"
    "plotName2 = 'A 'B' C'\r\n"
    "scaleY1 = 2,12.5\r\n"
    "1Channel = 3\r\n"
    "2Channel = 0\r\n"
    "FlagRec03 = 1\r\n"
    "ACmode03 = 1\r\n"
    "NPK03 = 5\r\n"
    "Interval03 = 1000\r\n"
    "Kadc03 = 2\r\n"
    "K3B = 2.5|K07|мВ|Давление\r\n"
    "K5B = 1|1e+06|V|x\r\n"
    "K6B = 0.001|-273.15|°C|\r\n"
    "K7B = 1.23457e+06|K32||\r\n"
    "K8B = 1|1000033||\r\n"
    "MinMaxRef03 = -1.5|2500|1e+10\r\n"
    "Kadc1 = 4\r\n"
    "Ftime\r\n"
    "Kadc33 = 1\r\n"
    "; Ftime = 1\r\n"
    "; Комментарий\r\n"
    "Vendor2 = a\r\n"
    "TimeType = 1\r\n");

}  // namespace

// The record the expected text describes: every value the writer must give
// back in written form (a K of 1234567 shows as 1.23457e+06).
TEST(SettingsWriter, RewritesKnownKeysAndCopiesTheRest) {
  auto s = parsed(kExpected);
  std::memset(s->plotName[2], 'a', 250);  // longer than a line can read
  std::string raw = "; ";
  for (int b = 0x80; b < 0x100; ++b) raw.push_back(static_cast<char>(b));
  raw += "\r\nUnknown = \x98\xFF\xC0\r\n";
  const std::string comment = "; " + std::string(298, 'x'), head = "; " + std::string(252, 'y'),
                    fits = "; " + std::string(250, 'z') + "\r\n";
  // Each case follows a file that holds every key, so that the writer adds none.
  const std::string full = rewrite(*s, "");
  const std::pair<std::string, std::string> cases[] = {
      {"Ftime = 5\r\n", "Ftime = 100\r\n"},
      {"\r\n\n\r\n", ""},
      {raw, raw},  // bytes outside ASCII are copied exactly
      // Long lines are cut at the read limit; the remainder is a line of its own, key and all.
      {comment + "\r\n", comment.substr(0, 254) + "\r\n" + comment.substr(254) + "\r\n"},
      {head + "nDO = 1\r\n", head + "\r\nnDO = 16\r\n"},
      {fits, fits},  // 252 characters and CR LF fit one read
      // A long title is cut to stay on one line instead of being lost on the next read.
      {"plotName3 = ''\r\n", "plotName3 = '" + std::string(238, 'a') + "'\r\n"},
  };
  for (const auto& [input, output] : cases) EXPECT_EQ(rewrite(*s, full + input), full + output) << input.substr(0, 40);
}

TEST(SettingsWriter, RewrittenFileReadsBackToTheRecord) {
  ScratchDir dir(true);
  auto s = parsed(kExpected);
  writeFile("in.cfg", kInput);
  ASSERT_TRUE(rewriteSettingsFile(*s, "in.cfg", "out.cfg"));
  const std::string out = readFile("out.cfg");
  EXPECT_EQ(out.substr(0, kExpected.size()), kExpected);  // then the keys kInput lacks

  // Read back, the record writes the same text again: every value survives the
  // trip, the added keys' too, 1000033 too (six digits, 1.00003e+06, would read
  // back as channel 30).
  auto back = std::make_unique<MeterSettings>();
  ASSERT_TRUE(readSettingsFile(*back, "out.cfg"));
  EXPECT_EQ(rewrite(*back, kInput), out);
  EXPECT_EQ(rewrite(*back, ""), rewrite(*s, ""));
  EXPECT_EQ(back->channelB[8], 1000033.0f);

  EXPECT_FALSE(rewriteSettingsFile(*s, "missing.cfg", "out2.cfg"));
  EXPECT_FALSE(std::filesystem::exists("out2.cfg"));
}
