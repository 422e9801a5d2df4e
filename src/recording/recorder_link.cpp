#include "recording/recorder_link.h"

std::atomic<RecorderLink*> theRecorder{nullptr};
