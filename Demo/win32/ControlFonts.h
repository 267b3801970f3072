// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The fonts of Cardpeek.exe's controls. The labels are drawn in KaiTi, under the first of
// its names this system has. The buttons use the system's GUI font. The text boxes use the
// GUI font too, asked for in the GB2312 character set, so that their Chinese (无 in the
// result boxes) shows in every locale: where the GUI font has no such glyphs (an English
// or C locale), the font mapper supplies a face of that character set that has them; on a
// Chinese system the GUI font is already of that set and nothing changes.
#pragma once

#include <windows.h>

#include <string>

namespace ControlFonts {

// The first KaiTi face this system has, under the names Windows and Wine give it; the
// GB2312 name when none is installed, for the font mapper to match.
std::wstring kaitiFace(HDC dc);

// A label's font: the face at the size given in points, at the display's DPI.
HFONT labelFont(const std::wstring& face, double points, int dpiY);

// The text boxes' font: the system's GUI font in the GB2312 character set.
HFONT textBoxFont();

// The buttons' font: the system's GUI font itself, a stock object that is never deleted.
HFONT buttonFont();

}  // namespace ControlFonts
