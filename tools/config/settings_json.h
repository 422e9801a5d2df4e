// The settings record as one JSON object, keys named as the record's fields.
#pragma once

#include <string>

#include "settings/meter_settings.h"

// Per-channel and per-position arrays hold channels/positions 1-32; texts are
// converted from Windows-1251 to UTF-8; numbers read back to the same value.
std::string settingsToJson(const MeterSettings& settings);
