// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "ControlFonts.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "FormDesign.h"
#include "WideText.h"

namespace ControlFonts {
namespace {

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

HFONT fontOf(LOGFONTW font, const std::wstring& face) {
    font.lfCharSet = GB2312_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0');
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

}  // namespace

std::wstring kaitiFace(HDC dc) {
    for (const std::string_view name : FormDesign::kLabelFaces) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        const std::wstring face = WideText::fromUtf8(name);
        face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
        bool found = false;
        EnumFontFamiliesExW(dc, &wanted, noteFace, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return face;
    }
    return WideText::fromUtf8(FormDesign::kLabelFaces[0]);
}

HFONT labelFont(const std::wstring& face, double points, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpiY / 72.0));
    font.lfWeight = FormDesign::kLabelWeight;
    return fontOf(font, face);
}

HFONT guiFont() {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT guiFontInGb2312() {
    LOGFONTW font{};
    GetObjectW(guiFont(), sizeof font, &font);
    font.lfCharSet = GB2312_CHARSET;
    return CreateFontIndirectW(&font);
}

bool hasGlyphs(HFONT font, std::wstring_view text) {
    if (text.empty()) return true;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    const DWORD done = GetGlyphIndicesW(dc, text.data(), static_cast<int>(text.size()),
                                        glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return done == text.size() &&
           std::find(glyphs.begin(), glyphs.end(), WORD{0xFFFF}) == glyphs.end();
}

}  // namespace ControlFonts
