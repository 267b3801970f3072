// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Positions and sizes in twips (1440 to the inch), turned into pixels at a given
// logical DPI: 15 twips to the pixel at 96 DPI.
#pragma once

#include <cmath>

namespace Twips {

constexpr double kPerInch = 1440.0;

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

// Each value is rounded on its own, so a control keeps its size wherever it sits.
inline int toPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / kPerInch));
}

inline Rect toPixels(const Rect& r, double dpiX, double dpiY) {
    return {toPixels(r.left, dpiX), toPixels(r.top, dpiY), toPixels(r.width, dpiX),
            toPixels(r.height, dpiY)};
}

}  // namespace Twips
