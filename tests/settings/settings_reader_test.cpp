#include "settings_test_support.h"

using namespace std::string_literals;

namespace {

// text (UTF-8) read over the defaults gives the values in fields, written form,
// and exactly the problems listed, "LINE:word" each, in order.
struct Case {
  std::string text, fields, problems = "";
};

void expectReads(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    std::vector<std::string> problems;
    auto s = parsed(cp(c.text), &problems);
    expectWritten(*s, cp(c.fields));
    std::istringstream words(c.problems);
    size_t i = 0;
    for (std::string word; words >> word; ++i) {
      const size_t colon = word.find(':');
      EXPECT_TRUE(i < problems.size() && problems[i].starts_with(word.substr(0, colon) + ": ") &&
                  problems[i].find(word.substr(colon + 1)) != std::string::npos)
          << word << " in " << testing::PrintToString(problems);
    }
    EXPECT_EQ(i, problems.size()) << testing::PrintToString(problems);
  }
}

}  // namespace

TEST(SettingsReader, LineRules) {
  // 254 characters at a time: a key at position 254 starts a further line;
  // 253 characters and the line end (CR LF counts as one) still make one line.
  const std::string comment254 = "; " + std::string(252, 'x'), comment245 = "; " + std::string(243, 'x');
  expectReads({
      {"   Ftime = 50\nnDO=8\nTimeType     = 1\r\n", "Ftime = 50\nnDO = 8\nTimeType = 1"},
      {"Ftimexyz = 50\n", "Ftime = 50"},  // not examined up to '='
      // only spaces are removed; no '='; comments; case matters
      {"\tFtime = 50\nFtime 50\n; Ftime = 50\n  #Ftime = 50\nftime = 50\n", "Ftime = 10"},
      {"nDO = 8 = 16\nFtime = 1\nFtime = 2\n", "nDO = 8\nFtime = 2"},  // the first '='; the last line
      {"Ftime = 7\0 = 9\n"s, "Ftime = 7"},  // a NUL ends the line
      {"Ftime = 1\n" + comment254 + "Ftime = 77\nnDO = 8\n", "Ftime = 77\nnDO = 8", "2:over"},
      // 254 + line end: cut before "\n" only; then the further line "7\n" is too short
      {comment245 + "Ftime=77\n" + comment245 + "Ftime=77\r\n" + comment245 + "xFtime=77\n" + comment245 +
           "xxFtime=77\n",
       "Ftime = 10", "3:over 4:over"},
  });
}

TEST(SettingsReader, NumberedKeys) {
  expectReads({
      {"Kadc01xyz = 3\nKadc1 = 4\nKadc33 = 4\nKadc32 = 2\n",
       "Kadc01 = 3\nKadc32 = 2\nKadc02 = 0\nKadc03 = 0\nKadc10 = 0\nKadc11 = 0\nKadc31 = 0", "2:unknown 3:unknown"},
      {"K01B = 5|0|V|x\nK12B = 6|0|V|x\n01Channel = 9\n12Channel = 9\n33Channel = 9\nNPK7 = 3\n",
       "K1B = 0|0||\nK12B = 6|0|V|x\n1Channel = 0\n12Channel = 9\nNPK07 = 0", "1:unknown 3:unknown 5:unknown 6:unknown"},
      {"MinMaxRef02 = 1|2|3\nFlagRec32 = 1\nACmode05 = 1\nInterval10 = 800\nscaleY4 = 9,-2\nscaleY5 = 1,1\n",
       "MinMaxRef02 = 1|2|3\nFlagRec32 = 1\nACmode05 = 1\nInterval10 = 800\nscaleY4 = 9,-2", "6:unknown"},
  });
}

TEST(SettingsReader, PartialValuesKeepTheRest) {
  expectReads({
      {"chPlot = 1,2", "chPlot = 1,2,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0", "1:only"},
      {"rPlot = 1,2,x,4", "rPlot = 1,2,0,0, 0,0,0,0, 0,0,0,0, 0,0,0,0", "1:only"},
      {"rWnd = 5 ,6", "rWnd = 5,0,0,0", "1:only"},  // a blank before the comma stops the conversion
      {"lrScale = 1, 2,\t3,4", "lrScale = 1,2, 3,4, 0,0, 0,0", "1:only"},  // blanks after a comma are skipped
      {"scaleY2 = 3", "scaleY2 = 3,0", "1:only"},
      {"scPlot = 9,8,7,6", "scPlot = 9,8,7,6"},
      {"MinMaxRef07 = -1.5|2.5e3|1e+10\nMinMaxRef08 = 4|x|6", "MinMaxRef07 = -1.5|2500|1e+10\nMinMaxRef08 = 4|0|0",
       "2:only"},
      {"Ftime = 12abc\nnDO = x16", "Ftime = 12\nnDO = 0", "2:unparsable"},
  });
}

TEST(SettingsReader, OutOfRangeValuesAreRejected) {
  expectReads({
      {"Kadc05 = 2\nKadc05 = 5\n1Channel = 4\n1Channel = 33\nNPK03 = 5\nNPK03 = -1\nFtime = 99999999999",
       "Kadc05 = 2\n1Channel = 4\nNPK03 = 5\nFtime = 10", "2:range 4:range 6:range 7:range"},
      // the fields after a rejected one are still read
      {"chPlot = 1,99,3", "chPlot = 1,0,3,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0", "1:range 1:only"},
      {"scPlot = 1,10", "scPlot = 1,0,0,0", "1:range 1:only"},
      {"lrScale = 9", "lrScale = 0,0, 0,0, 0,0, 0,0", "1:range 1:only"},
      {"scaleY1 = 10,5", "scaleY1 = 0,5", "1:range"},
      {"FreqStream = 1000\nFreqStream = 0\nFreqStream = -5\nFreqStream = inf", "FreqStream = 1000",
       "2:range 3:range 4:range"},
      {"MinMaxRef01 = 1e39|nan|2", "MinMaxRef01 = 0|0|2", "1:range 1:range"},
      {"K2B = 1e39|3|V|x", "K2B = 0|3|V|x", "1:range"},
      {"colPlot1 = 1ffffffff,2", "colPlot1 = 0,2,0,0,0,0,0,0", "1:range 1:only"},
  });
}

TEST(SettingsReader, ChannelConversion) {
  const std::string old = "|11|old|old\n";  // values a rejected part must keep
  expectReads({
      {"K3B = 2.5|K07|мВ|Давление", "K3B = 2.5|K07|мВ|Давление"},
      {"K5B = 1|0|V|Канал 5", "K5B = 1|0|V|Канал", "1:blank"},  // cut at the blank, and said so
      {"K6B = 1|K32|V|x\nK7B = 1|1000000|V|x", "K6B = 1|K32|V|x\nK7B = 1|1e+06|V|x"},  // K7B: a plain number
      {"K8B = 1" + old + "K8B = 1|K33|V|x", "K8B = 1|11|V|x", "2:1-32"},
      {"K9B = 1" + old + "K9B = 1|K0|V|x", "K9B = 1|11|V|x", "2:1-32"},
      {"K10B = 1" + old + "K10B = 2 |4|V|x", "K10B = 2|11|old|old", "2:expected"},
      // blanks after the first '|' skipped; a fifth part stays in the name, said to be odd
      {"K11B = 3|  -4||\nK12B = 1|0|V|a|b", "K11B = 3|-4||\nK12B = 1|0|V|a|b", "2:holds"},
      {"K13B = 1" + old + "K13B = 1|Kx|V|x", "K13B = 1|11|V|x", "2:reference"},
      {"K14B = 1" + old + "K14B = 1|abc", "K14B = 1|11|old|old", "2:unparsable 2:missing"},
      {"K15B = 1" + old + "K15B = x|1|V|n", "K15B = 1|11|old|old", "2:expected"},
      {"K16B = 1" + old + "K16B = 7|K5", "K16B = 7|K05|old|old", "2:missing"},
      {"K17B = 1e-3|2.5e2|°C|", "K17B = 0.001|250|°C|"},
      {"K18B = 1|0|" + std::string(70, 'u') + "|" + std::string(64, 'n'),
       "K18B = 1|0|" + std::string(63, 'u') + "|" + std::string(63, 'n'), "1:unit 1:name"},
  });
}

TEST(SettingsReader, TextsColoursAndDevice) {
  expectReads({
      {"plotName1 = 'first'\nplotName1 = 'only one quote", "plotName1 = 'first'", "2:quotes"},
      {"plotName2 = 'A 'B' C'\nplotName3 = 'x'\nplotName3 = ''", "plotName2 = 'A 'B' C'\nplotName3 = ''"},
      {"plotName4 = 'Температура печи' trailing", "plotName4 = 'Температура печи'"},
      {"colPlot3 = ff,0x00FF00,FF0000,0,1,a,B,c0c0c0", "colPlot3 = ff,ff00,ff0000,0,1,a,b,c0c0c0"},
      {"colPlot4 = 10 ,20", "colPlot4 = 10,0,0,0,0,0,0,0", "1:only"},
      {"Device = \"KV320\" extra \"x\"", "Device = \"KV320\""},
      {"Device = \"" + std::string(40, 'd') + "\"", "Device = \"" + std::string(31, 'd') + "\"", "1:longer"},
      {"TimeType = 1\nCheckLabel = 1\nnDO = 32\nFreqStream = 2.5e3",
       "TimeType = 1\nCheckLabel = 1\nnDO = 32\nFreqStream = 2500"},
      {"WebPort = 8080\nWebAddress =  0.0.0.0 lan", "WebPort = 8080\nWebAddress = 0.0.0.0"},
      {"WebPort = 70000\nWebAddress = 256.1.1.1\nWebAddress = 1.2.3\nWebAddress = 1.2.3.4.5\nWebAddress = localhost",
       "WebPort = 0\nWebAddress = 127.0.0.1", "1:range 2:IPv4 3:IPv4 4:IPv4 5:IPv4"},
  });
}
