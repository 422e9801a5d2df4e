// The seven-segment face of the panel readings.
#pragma once

// Called once at start-up, before the panels are made: uses an installed
// "SevenSeg32", otherwise makes the embedded DSEG7 Classic font available to
// this process only. Returns false when neither is available (the system then
// substitutes a face).
bool registerReadingFont();

// The face name the panels' value font asks for: "SevenSeg32" or "DSEG7 Classic".
const wchar_t* readingFontFace();
