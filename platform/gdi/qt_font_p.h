#pragma once
// Private to the platform layer's .cpp files: the toolkit font the drawing layer makes for a font
// object, so that native widgets show the same face, size and style as text drawn on a canvas.
#include <QtGui/QFont>

#include "platform/gdi/gdi.h"

// The font's toolkit face at its pixel size; the drawing layer's default font for an invalid handle.
QFont QtFontOf(HFONT font);
