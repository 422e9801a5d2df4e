// The rules of the channel settings dialog without its window: how the
// fields are filled from the settings, what the keypad does to a field, and
// how "OK" turns the field texts into settings.
//
// Texts are narrow: numbers are ASCII, names and units Windows-1251 bytes.
#pragma once

#include <cstdint>
#include <string>

#include "settings/meter_settings.h"

inline constexpr size_t KEYPAD_MAX_LENGTH = 8;
inline constexpr size_t CHANNEL_TEXT_LENGTH = 6;  // name and unit
inline constexpr uint32_t CHANNEL_INTERVAL_MIN_MS = 200;
inline constexpr uint32_t CHANNEL_INTERVAL_MAX_MS = 360000;
inline constexpr int GAIN_BUTTONS = 4;

// Field texts at opening: K "%g"; B "K%02d" for a channel reference, else
// "%g"; a limit or the reference level "%lg".
std::string formatK(float k);
std::string formatB(float b);
std::string formatLimit(float value);

// The keypad's key on the active field: appended while the text holds at
// most KEYPAD_MAX_LENGTH - 1 characters. BackSp removes the last character.
std::string keypadAppend(const std::string& text, char key);
std::string keypadBackspace(const std::string& text);

// What "OK" reads from the dialog.
struct ChannelForm {
  int gainCode = 0;  // the checked gain button's code 1-4; 0 when none is checked
  std::string k, b, unit, name, interval;
  int output = 0;    // selection of the output list: 0 "Нет", n output n
  // K and B as the fields showed them at opening. "%g" keeps six digits, so
  // reading an untouched field back would change a K of 1.2345678; an
  // untouched field keeps the old value exactly.
  std::string shownK, shownB;
};

// K read with "%g"; text that does not parse keeps the old value.
float readK(const std::string& text, float old);
// B: "K" and one or two digits naming channel 1-32 give a reference; a "K"
// naming no channel keeps the old B; anything else is read with "%g".
float readB(const std::string& text, float old);
// An unsigned decimal number clamped to 200-360000; 200 when not a number.
int32_t readInterval(const std::string& text);
// A limit or the reference level from a field that is on, read with "%g"; a
// field still showing the text it opened with keeps the old value exactly.
// False when the text holds no number, or one that is not finite or not below
// LIMIT_UNSET (which the file would read back as "not set"): such a field must
// not silently become a limit of 0.
bool readLimit(const std::string& text, const std::string& shown, float old, float* value);

// Name and unit hold no "|": it separates the fields of their line in the file.
// (Blanks, which would end them there, are stored as "_".)
bool storableText(const std::string& text);

// Applies gain, K, B, unit, name, output and interval of channel n (1-32) in
// that order. Unit and name lose their leading and trailing blanks, the blanks
// within become "_", and they are cut to CHANNEL_TEXT_LENGTH. Returns true when K or B changed (the graphs showing the
// channel must then be rebuilt).
bool applyChannelForm(MeterSettings& settings, int n, const ChannelForm& form);
