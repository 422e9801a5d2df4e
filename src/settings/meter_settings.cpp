#include "settings/meter_settings.h"

std::atomic<MeterSettings*> meterSettings{nullptr};
