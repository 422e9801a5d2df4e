#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace std::string_literals;

#include "settings_test_support.h"

namespace {

// A record with defaults stored, then the text parsed on top.
std::unique_ptr<MeterSettings> parse(const std::string& text, std::vector<Problem>* problems = nullptr) {
  auto s = std::make_unique<MeterSettings>();
  setSettingsDefaults(*s);
  parseSettingsText(*s, text.data(), text.size(), problems ? collectProblem : nullptr, problems);
  return s;
}

}  // namespace

TEST(SettingsReader, DefaultsOnlyWhereTheyExist) {
  ScratchDir dir(true);
  writeFile("empty.cfg", "; nothing but a comment\r\nunknown = 5\r\n");
  auto s = std::make_unique<MeterSettings>();
  // Fields with a default are overwritten; the others keep what the record held.
  s->Ftime = 555;
  s->colPlot[3][7] = 0x123456;
  std::strcpy(s->unitText[2], "V");
  s->nDO = 16;
  s->minLimit[1] = 3.0f;
  std::strcpy(s->channelName[1], "n");
  ASSERT_TRUE(readSettingsFile(*s, "empty.cfg"));
  EXPECT_EQ(s->Ftime, 10);
  EXPECT_EQ(s->colPlot[3][7], 0);
  EXPECT_STREQ(s->unitText[2], "");
  EXPECT_EQ(s->nDO, 16);
  EXPECT_EQ(s->minLimit[1], 3.0f);
  EXPECT_STREQ(s->channelName[1], "n");

  s->Ftime = 555;
  EXPECT_FALSE(readSettingsFile(*s, "missing.cfg"));
  EXPECT_EQ(s->Ftime, 10);
}

TEST(SettingsReader, LineRules) {
  EXPECT_EQ(parse("   Ftime = 50\n")->Ftime, 50);         // leading spaces
  EXPECT_EQ(parse("\tFtime = 50\n")->Ftime, 10);          // only spaces are removed
  EXPECT_EQ(parse("Ftime=50")->Ftime, 50);                 // no blanks, no line end
  EXPECT_EQ(parse("Ftime     = 50\r\n")->Ftime, 50);
  EXPECT_EQ(parse("Ftimexyz = 50\n")->Ftime, 50);          // not examined up to '='
  EXPECT_EQ(parse("Ftime 50\n")->Ftime, 10);               // no '='
  EXPECT_EQ(parse("; Ftime = 50\n")->Ftime, 10);
  EXPECT_EQ(parse("  #Ftime = 50\n")->Ftime, 10);
  EXPECT_EQ(parse("//Ftime = 50\n")->Ftime, 10);
  EXPECT_EQ(parse("ftime = 50\n")->Ftime, 10);             // case matters
  EXPECT_EQ(parse("Ftime = 50 = 60\n")->Ftime, 50);        // value after the first '='
  EXPECT_EQ(parse("Ftime = 1\nFtime = 2\n")->Ftime, 2);    // the last line wins
  EXPECT_EQ(parse("Ftime = 7\0 = 9\n"s)->Ftime, 7);        // a NUL ends the line

  // 254 characters at a time: a key at position 254 starts a further line.
  const std::string comment254 = "; " + std::string(252, 'x');
  std::vector<Problem> problems;
  EXPECT_EQ(parse("Ftime = 1\n" + comment254 + "Ftime = 77\nnDO = 8\n", &problems)->Ftime, 77);
  EXPECT_TRUE(anyProblemContains(problems, 2, "line over 254")) << describe(problems);
  // 253 characters and the line end (CR LF counts as one) still make one line.
  const std::string comment245 = "; " + std::string(243, 'x');
  EXPECT_EQ(parse(comment245 + "Ftime=77\n")->Ftime, 10);
  EXPECT_EQ(parse(comment245 + "Ftime=77\r\n")->Ftime, 10);
  EXPECT_EQ(parse(comment245 + "xFtime=77\n")->Ftime, 10);   // 254 + line end: cut before "\n" only
  EXPECT_EQ(parse(comment245 + "xxFtime=77\n")->Ftime, 10);  // further line "7\n" is too short
}

TEST(SettingsReader, NumberedKeys) {
  std::vector<Problem> problems;
  auto s = parse(
      "Kadc01xyz = 3\n"  // prefix match over the key's length
      "Kadc1 = 4\n"      // number form without the leading zero
      "Kadc33 = 4\n"     // no such channel
      "Kadc32 = 2\n"
      "K01B = 5|0|V|x\n"
      "K12B = 6|0|V|x\n"
      "01Channel = 9\n"
      "12Channel = 9\n"
      "33Channel = 9\n"
      "NPK7 = 3\n"
      "MinMaxRef02 = 1|2|3\n"
      "FlagRec32 = 1\n"
      "ACmode05 = 1\n"
      "Interval10 = 800\n"
      "scaleY4 = 9,-2\n"
      "scaleY5 = 1,1\n",
      &problems);
  EXPECT_EQ(s->Kadc[1], 3);
  EXPECT_EQ(s->Kadc[32], 2);
  for (int n : {2, 3, 10, 11, 31, 33}) EXPECT_EQ(s->Kadc[n], 0) << n;
  EXPECT_EQ(s->channelK[1], 0.0f);
  EXPECT_EQ(s->channelK[12], 6.0f);
  EXPECT_EQ(s->Channel[1], 0);
  EXPECT_EQ(s->Channel[12], 9);
  EXPECT_EQ(s->Channel[33], 0);
  EXPECT_EQ(s->NPK[7], 0);
  EXPECT_EQ(s->maxLimit[2], 2.0f);
  EXPECT_EQ(s->FlagRec[32], 1);
  EXPECT_EQ(s->ACmode[5], 1);
  EXPECT_EQ(s->Interval[10], 800);
  EXPECT_EQ(s->scaleYMode[3], 9);
  EXPECT_EQ(s->scaleYValue[3], -2.0);
  for (int line : {2, 3, 5, 7, 9, 10, 16})
    EXPECT_TRUE(anyProblemContains(problems, line, "unknown numbered key")) << line << "\n" << describe(problems);
  EXPECT_EQ(problems.size(), 7u) << describe(problems);
}

TEST(SettingsReader, PartialValuesKeepTheRest) {
  auto s = parse(
      "chPlot = 1,2\n"
      "rPlot = 1,2,x,4\n"
      "rWnd = 5 ,6\n"           // a blank before the comma stops the conversion
      "lrScale = 1, 2,\t3,4\n"  // blanks after a comma are skipped
      "scaleY2 = 3\n"
      "scPlot = 9,8,7,6\n"
      "MinMaxRef07 = -1.5|2.5e3|1e+10\n"
      "MinMaxRef08 = 4|x|6\n"
      "Ftime = 12abc\n"
      "nDO = x16\n");
  std::vector<int32_t> chPlot = {1, 2};
  chPlot.resize(32);
  EXPECT_EQ(entries(s->chPlot, 32), chPlot);
  EXPECT_EQ(entries(s->rPlot, 4), (std::vector<int32_t>{1, 2, 0, 0}));
  EXPECT_EQ(entries(s->rWnd, 2), (std::vector<int32_t>{5, 0}));
  EXPECT_EQ(s->lrScale[3], 4);
  EXPECT_EQ(s->scaleYMode[1], 3);
  EXPECT_EQ(s->scaleYValue[1], 0.0);
  EXPECT_EQ(s->scPlot[3], 6);
  EXPECT_EQ(s->minLimit[7], -1.5f);
  EXPECT_EQ(s->maxLimit[7], 2500.0f);
  EXPECT_EQ(s->refLevel[7], LIMIT_UNSET);
  EXPECT_EQ(s->minLimit[8], 4.0f);
  EXPECT_EQ(s->maxLimit[8], 0.0f);
  EXPECT_EQ(s->Ftime, 12);
  EXPECT_EQ(s->nDO, 0);
}

TEST(SettingsReader, OutOfRangeValuesAreRejected) {
  std::vector<Problem> problems;
  auto s = parse(
      "Kadc05 = 2\nKadc05 = 5\n"
      "1Channel = 4\n1Channel = 33\n"
      "NPK03 = 5\nNPK03 = -1\n"
      "Ftime = 99999999999\n"
      "chPlot = 1,99,3\n"
      "scPlot = 1,10\n"
      "lrScale = 9\n"
      "scaleY1 = 10,5\n"
      "FreqStream = 1000\nFreqStream = 0\nFreqStream = -5\nFreqStream = inf\n"
      "MinMaxRef01 = 1e39|nan|2\n"
      "K2B = 1e39|3|V|x\n"
      "colPlot1 = 1ffffffff,2\n",
      &problems);
  EXPECT_EQ(s->Kadc[5], 2);
  EXPECT_EQ(s->Channel[1], 4);
  EXPECT_EQ(s->NPK[3], 5);
  EXPECT_EQ(s->Ftime, 10);
  EXPECT_EQ(entries(s->chPlot, 3), (std::vector<int32_t>{1, 0, 3}));  // the fields after a rejected one are still read
  EXPECT_EQ(entries(s->scPlot, 2), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(s->lrScale[0], 0);
  EXPECT_EQ(s->scaleYMode[0], 0);
  EXPECT_EQ(s->scaleYValue[0], 5.0);
  EXPECT_EQ(s->FreqStream, 1000.0);
  EXPECT_EQ(s->minLimit[1], 0.0f);
  EXPECT_EQ(s->refLevel[1], 2.0f);
  EXPECT_EQ(s->channelK[2], 0.0f);
  EXPECT_EQ(s->channelB[2], 3.0f);
  EXPECT_EQ(entries(s->colPlot[0], 2), (std::vector<int32_t>{0, 2}));
  for (int line : {2, 4, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18})
    EXPECT_TRUE(anyProblemContains(problems, line, "range")) << line << "\n" << describe(problems);
}

TEST(SettingsReader, ChannelConversion) {
  std::vector<Problem> problems;
  const std::string text = cp(
      "K3B = 2.5|K07|мВ|Давление\n"
      "K5B = 1|0|V|Канал 5\n"
      "K6B = 1|K32|V|x\n"
      "K7B = 1|1000000|V|x\n"
      "K8B = 1|K33|V|x\n"
      "K9B = 1|K0|V|x\n"
      "K10B = 2 |4|V|x\n"
      "K11B = 3|  -4||\n"
      "K12B = 1|0|V|a|b\n"
      "K13B = 1|Kx|V|x\n"
      "K14B = 1|abc\n"
      "K15B = x|1|V|n\n"
      "K16B = 7|K5\n"
      "K17B = 1e-3|2.5e2|°C|\n"
      "K18B = 1|0|" + std::string(70, 'u') + "|" + std::string(64, 'n') + "\n");
  // Prior values for the rejection cases.
  auto s = std::make_unique<MeterSettings>();
  setSettingsDefaults(*s);
  for (int n = 1; n <= 32; ++n) {
    s->channelB[n] = 11.0f;
    std::strcpy(s->unitText[n], "old");
    std::strcpy(s->channelName[n], "old");
  }
  parseSettingsText(*s, text.data(), text.size(), collectProblem, &problems);

  EXPECT_EQ(s->channelK[3], 2.5f);
  EXPECT_EQ(s->channelB[3], 1000007.0f);
  EXPECT_EQ(s->unitText[3], cp("мВ"));
  EXPECT_EQ(s->channelName[3], cp("Давление"));
  EXPECT_EQ(s->channelName[5], cp("Канал"));     // cut at the blank
  EXPECT_EQ(s->channelB[6], 1000032.0f);
  EXPECT_EQ(s->channelB[7], 1000000.0f);          // a plain number
  EXPECT_EQ(s->channelB[8], 11.0f);               // reference out of range: old B kept
  EXPECT_STREQ(s->unitText[8], "V");
  EXPECT_EQ(s->channelB[9], 11.0f);
  EXPECT_EQ(s->channelK[10], 2.0f);               // K read, the rest untouched
  EXPECT_EQ(s->channelB[10], 11.0f);
  EXPECT_STREQ(s->unitText[10], "old");
  EXPECT_EQ(s->channelB[11], -4.0f);              // blanks after the first '|' are skipped
  EXPECT_STREQ(s->unitText[11], "");
  EXPECT_STREQ(s->channelName[11], "");
  EXPECT_STREQ(s->channelName[12], "a|b");
  EXPECT_EQ(s->channelB[13], 11.0f);
  EXPECT_EQ(s->channelB[14], 11.0f);
  EXPECT_STREQ(s->unitText[14], "old");
  EXPECT_EQ(s->channelK[15], 0.0f);
  EXPECT_EQ(s->channelB[15], 11.0f);
  EXPECT_EQ(s->channelB[16], 1000005.0f);
  EXPECT_STREQ(s->unitText[16], "old");
  EXPECT_EQ(s->channelK[17], 1e-3f);
  EXPECT_EQ(s->channelB[17], 250.0f);
  EXPECT_EQ(s->unitText[17], cp("°C"));
  EXPECT_EQ(std::string(s->unitText[18]), std::string(63, 'u'));
  EXPECT_EQ(std::string(s->channelName[18]), std::string(63, 'n'));

  const std::pair<int, const char*> expected[] = {
      {5, "outside 1-32"}, {6, "outside 1-32"},  {7, "'|' expected"},          {10, "unparsable channel reference"},
      {11, "unparsable B"}, {12, "K expected"}, {13, "unit and name missing"}, {15, "unit longer than 63"},
      {15, "name longer than 63"}};
  for (const auto& [line, text] : expected)
    EXPECT_TRUE(anyProblemContains(problems, line, text)) << line << " " << text << "\n" << describe(problems);
  for (int line : {1, 2, 3, 4, 8, 9, 14}) EXPECT_FALSE(anyProblemContains(problems, line, "")) << line;
}

TEST(SettingsReader, TextsColoursAndDevice) {
  std::vector<Problem> problems;
  auto s = parse(
      "plotName1 = 'first'\n"
      "plotName1 = 'only one quote\n"
      "plotName2 = 'A 'B' C'\n"
      "plotName3 = ''\n"
      "plotName4 = '" + cp("Температура печи") + "' trailing\n"
      "colPlot3 = ff,0x00FF00,FF0000,0,1,a,B,c0c0c0\n"
      "colPlot4 = 10 ,20\n"
      "Device = \"KV320\" extra \"x\"\n"
      "Device = \"" + std::string(40, 'd') + "\"\n"
      "TimeType = 1\nCheckLabel = 1\nnDO = 32\nFreqStream = 2.5e3\n",
      &problems);
  EXPECT_STREQ(s->plotName[0], "first");
  EXPECT_STREQ(s->plotName[1], "A 'B' C");
  EXPECT_STREQ(s->plotName[2], "");
  EXPECT_EQ(s->plotName[3], cp("Температура печи"));
  EXPECT_EQ(entries(s->colPlot[2], 8), (std::vector<int32_t>{0xff, 0xff00, 0xff0000, 0, 1, 0xa, 0xb, 0xc0c0c0}));
  EXPECT_EQ(entries(s->colPlot[3], 2), (std::vector<int32_t>{0x10, 0}));
  EXPECT_EQ(std::string(s->deviceName), std::string(31, 'd'));
  EXPECT_EQ(s->TimeType, 1);
  EXPECT_EQ(s->CheckLabel, 1);
  EXPECT_EQ(s->nDO, 32);
  EXPECT_EQ(s->FreqStream, 2500.0);
  EXPECT_TRUE(anyProblemContains(problems, 2, "quotes")) << describe(problems);
  EXPECT_TRUE(anyProblemContains(problems, 7, "only 1 of 8"));
  EXPECT_TRUE(anyProblemContains(problems, 9, "device name longer than 31"));
  EXPECT_EQ(problems.size(), 3u) << describe(problems);
}
