// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The fonts of Cardpeek.exe's controls. The labels are drawn in KaiTi, under the first of
// its names this system has. The buttons and text boxes use the system's GUI font; a text
// box whose text that font has no glyphs for (无 in the result boxes, in an English or C
// locale) shows it in the GUI font asked for in the GB2312 character set instead, which
// the font mapper makes a face that has them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ControlFonts {

// The first KaiTi face this system has, under the names Windows and Wine give it; the
// GB2312 name when none is installed, for the font mapper to match.
std::wstring kaitiFace(HDC dc);

// A label's font: the face at the size given in points, at the display's DPI.
HFONT labelFont(const std::wstring& face, double points, int dpiY);

// The system's GUI font itself, a stock object that is never deleted.
HFONT guiFont();

// The GUI font asked for in the GB2312 character set: on a Chinese system the GUI font's
// own face, elsewhere a face of that set.
HFONT guiFontInGb2312();

// Whether `font` has a glyph of its own for every character of `text`.
bool hasGlyphs(HFONT font, std::wstring_view text);

}  // namespace ControlFonts
