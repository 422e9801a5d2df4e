// Reading back a graph's printed page or picture: PNG files through GDI+,
// EMF files played on a white bitmap, PDF pages through poppler's pdftoppm.
#pragma once

#include <string>

#include "win_driver.h"

namespace pages {

driver::Picture load(const std::wstring& path);

// The PDF's first page as a PNG beside it (Unix pdftoppm run from Wine).
std::wstring pdfToPng(const std::wstring& pdf);

// Red trace below the green one, both colours again in the legend at the
// bottom, on a landscape page.
void expectGraphPage(const driver::Picture& page);

}  // namespace pages
