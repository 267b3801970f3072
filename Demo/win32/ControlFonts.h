// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The fonts of Cardpeek.exe's controls. Every control is drawn in the labels' KaiTi, under
// the first of its names this system has, so that the window's Chinese characters (无 in
// the result boxes among them) show in every locale: the system's GUI font has no such
// glyphs where the locale is English or C.
#pragma once

#include <windows.h>

#include <string>

namespace ControlFonts {

// The first KaiTi face this system has, under the names Windows and Wine give it; the
// GB2312 name when none is installed, for the font mapper to match.
std::wstring kaitiFace(HDC dc);

// A label's font: the face at the size given in points, at the display's DPI.
HFONT labelFont(const std::wstring& face, double points, int dpiY);

// The text boxes' and buttons' font: the face at the size of the system's GUI font.
HFONT controlFont(const std::wstring& face);

}  // namespace ControlFonts
