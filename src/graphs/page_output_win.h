// A page on the default printer or as a picture file, drawn by a caller's
// painter: the graphs' print button and pictures, and the recording viewer.
#pragma once

#include <windows.h>

#include <functional>

// Draws one page of width x height pixels on the device context; false when
// there is nothing to draw any more (its window went while a dialog ran).
using PagePainter = std::function<bool(HDC dc, int width, int height)>;

// One landscape colour page on the default printer, as a document of the
// given name. A failure is told in one notice owned by owner; false then,
// and also (without a notice) when the painter drew nothing.
bool printPage(HWND owner, const wchar_t* documentName, const PagePainter& paint);

// The page as a picture: EMF for a path ending in ".emf", PNG otherwise (an
// A4 landscape page at 200 dots per inch). False when it was not written.
bool writePagePicture(const wchar_t* path, const PagePainter& paint);

// Asks where a picture goes ("Сохранить как рисунок", PNG or EMF); a name
// without extension takes the chosen type's. False when cancelled.
bool askPicturePath(HWND owner, wchar_t path[MAX_PATH]);
