// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What the screen shows, for a driver that checks how another program's window looks: the
// pixels of a window's client area, read back from the screen, and where its ink lies.
// Another process's font handles mean nothing here (Wine answers WM_GETFONT from another
// process with none), so a control's font is judged by the pixels it draws.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace ScreenPixels {

struct Image {
    RECT place{};                       // on the screen
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row by row from the top

    bool operator==(const Image& other) const { return pixels == other.pixels; }
    int width() const { return place.right - place.left; }
    int height() const { return place.bottom - place.top; }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width()) +
                      static_cast<size_t>(x)];
    }
};

// The client area of `window` as the screen shows it now.
inline Image capture(HWND window) {
    Image image;
    GetClientRect(window, &image.place);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&image.place), 2);
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) return image;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, image.place.left, image.place.top, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        image.pixels.assign(first,
                            first + static_cast<size_t>(width) * static_cast<size_t>(height));
        for (std::uint32_t& pixel : image.pixels) pixel &= 0xFFFFFF;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// `window`'s client area once drawn: its thread, in whichever process, is asked to paint
// it and its children, and the screen is read until two reads 100 ms apart agree (drawing
// reaches the screen a little after it is done). This thread's own messages are handled
// meanwhile, so that windows of its own are drawn too.
inline Image look(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Image last;
    for (int reads = 0; reads < 50; ++reads) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            DispatchMessageW(&message);
        }
        Image now = capture(window);
        if (reads > 0 && now == last) break;
        last = std::move(now);
    }
    return last;
}

// The smallest box around the pixels that differ from the background, looked for `inset`
// pixels inside the image's edges (a button's frame is not ink). The background is the
// colour just inside the top-left corner. Screen coordinates, right and bottom exclusive;
// empty when there is no ink.
inline RECT inkBox(const Image& image, int inset) {
    RECT box{image.width(), image.height(), 0, 0};
    if (image.width() <= 2 * inset || image.height() <= 2 * inset) return RECT{};
    const std::uint32_t background = image.at(inset, inset);
    for (int y = inset; y < image.height() - inset; ++y) {
        for (int x = inset; x < image.width() - inset; ++x) {
            if (image.at(x, y) == background) continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    if (box.right <= box.left) return RECT{};
    OffsetRect(&box, image.place.left, image.place.top);
    return box;
}

}  // namespace ScreenPixels
