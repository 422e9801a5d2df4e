// The description text a recording must start with, written out from the
// file layout for the tests (UTF-8 here, converted to Windows-1251 bytes).
#pragma once

#include <string>
#include <vector>

#include "recording_fixture.h"

struct ExpectedChannel {
  int number;
  std::string name;  // UTF-8
};

inline std::string expectedDescriptionHead(const std::vector<ExpectedChannel>& channels, const char* rangeText) {
  static const char* const colours[8] = {"192 192 192", "255 64 64", "64 255 64",  "64 64 255",
                                         "255 255 0",   "255 0 255", "0 255 255", "128 128 128"};
  std::string t =
      "ConfigurationTimeSpanInSeconds = 60.0\r\n"
      "CommonConfigurationPart\r\n"
      "{\r\n"
      "  TimePrecision = 3\n"
      "  ChannelsInfo\n"
      "  {\n";
  for (const auto& c : channels)
    t += "#\r\n{\r\nID = " + std::to_string(c.number) + "\r\nName = \"" + c.name + "\"\r\n}\r\n";
  t += "  }\r\n"
       "  TasksList\r\n"
       "  {\r\n"
       "    #\r\n"
       "\t  {\r\n"
       "\t    TasksExplorerPageStatus = \"Expanded\"\r\n"
       "\t\tTaskFactoryName = \"RecDataSchedulesManager\"\r\n"
       "\t\tTaskName = \"График Каналов 1\"\r\n"
       "\t\tTaskViewFrame\r\n"
       "\t\t{\r\n"
       "\t\t\tPosition = 0 0 906 559 1280 1024\r\n"
       "\t\t\tzOrder = 0\r\n"
       "\t\t\tMaximized = \"Yes\"\r\n"
       "\t\t}\r\n"
       "\t\tVoltageRangeMode = \"Custom\"\r\n"
       "\t\tIsChannelsSplitted = \"Yes\"\r\n"
       "\t\tCustomVoltageRange = ";
  t += rangeText;
  t += "\r\n"
       "\t\tHorzAxisCaption = \"Время\"\r\n"
       "\t\tHorzAxisUnits = \"секунды\"\r\n"
       "\t\tVertAxisCaption = \"\"\r\n"
       "\t\tVertAxisUnits = \"\"\r\n"
       "\t\tChannelsList\r\n"
       "\t\t{\r\n";
  for (size_t j = 0; j < channels.size(); ++j)
    t += "#\r\n{\r\nID = " + std::to_string(channels[j].number) + "\r\nColor = " + (j < 8 ? colours[j] : "255 150 210") +
         "\r\nIsVisible = \"Yes\"\r\nZeroOffset = 0\r\nGain = 1\r\n}\r\n";
  t += " \t\t}\r\n"
       "    }\r\n"
       "    #\r\n"
       "    {\r\n"
       "\t    TasksExplorerPageStatus = \"Expanded\"\r\n"
       "       TaskFactoryName = \"LabelsStorage\"\r\n"
       "\t    TaskViewFrame\r\n"
       "\t    {\r\n"
       "\t\t   Position = 22 29 829 637 1280 1024\r\n"
       "\t\t   zOrder = 1\r\n"
       "\t\t   Maximized = \"No\"\r\n"
       "\t    }\r\n"
       "\t    EnableCurrentLabelSelection = \"Yes\"\r\n"
       "\t    GenerateRequestWhenDeleteLabel = \"Yes\"\r\n"
       "\t    AllowKeyboardInput = \"Yes\"\r\n"
       "\t    Types\r\n"
       "\t    {\r\n"
       "\t\t    #\r\n"
       "\t\t    {\r\n"
       "\t\t\t   TypeName = \"Выключение\"\r\n"
       "\t\t\t   Enable = \"Yes\"\r\n"
       "\t\t\t   UseCustomImage = \"No\"\r\n"
       "\t\t\tCustomImagePath = \"\"\r\n"
       "\t\t\tDefaultDescription = \"Выключение\"\r\n"
       "\t\t\tLabelsColor = 16 128 0\r\n"
       "\t\t\tKeyboardButton = \"1\"\r\n"
       "\t\t}\r\n";
  auto labelType = [&t](const std::string& name, const char* enable, const std::string& description,
                        const char* colour, const std::string& key) {
    t += "\t\t#\r\n"
         "\t\t{\r\n"
         "\t\t\tTypeName = \"" + name + "\"\r\n"
         "\t\t\tEnable = \"" + enable + "\"\r\n"
         "\t\t\tUseCustomImage = \"No\"\r\n"
         "\t\t\tCustomImagePath = \"\"\r\n"
         "\t\t\tDefaultDescription = \"" + description + "\"\r\n"
         "\t\t\tLabelsColor = " + colour + "\r\n"
         "\t\t\tKeyboardButton = \"" + key + "\"\r\n"
         "\t\t}\r\n";
  };
  labelType("Включение", "Yes", "Включение", "0 32 128", "2");
  for (int type = 3; type <= 9; ++type)
    labelType("Метка - тип  " + std::to_string(type), "No", "", "255 255 255", std::to_string(type));
  t += "\t }\r\n"
       "    Labels\r\n"
       "    {\r\n";
  return cp1251Of(t);
}

inline std::string expectedMarker(int type, const char* timePos, int number) {
  return std::string("     #\r\n     {\r\n         TypeIndex = ") + std::to_string(type) +
         "\r\n         TimePos = " + timePos + "\r\n         Description = \"K" + std::to_string(number) +
         "\"\r\n         IsVisible = \"Yes\"\r\n     }\r\n";
}

inline const char EXPECTED_CLOSING[] = "    }\r\n  }\r\n }\r\n}\r\n";
