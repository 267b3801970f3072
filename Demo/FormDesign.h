// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The window FrmPciRead as designed: its texts, its controls' places in twips, its fonts
// and colours. Plain C++ (texts in UTF-8), shared by the Qt window and the Win32 window.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "Twips.h"

namespace FormDesign {

constexpr std::string_view kCaption = "Form1";

// The form: its place on the screen and the size of its client area.
constexpr Twips::Rect kForm{1815, 1965, 4965, 3150};

constexpr std::string_view kLabel1Text = "PCI总线下口地址与中断信息";
constexpr Twips::Rect kLabel1{180, 108, 4500, 360};

// Label2, a control array of three labels: card number, port address, interrupt number.
constexpr std::array<std::string_view, 3> kLabel2Texts{"卡号：", "口地址：", "中断号："};
constexpr std::array<Twips::Rect, 3> kLabel2{{
    {1188, 612, 864, 276},
    {1116, 1224, 1152, 276},
    {1080, 1728, 1152, 276},
}};

constexpr std::string_view kCardNoText = "255";
constexpr Twips::Rect kTxtCardNo{2376, 612, 768, 300};
constexpr std::string_view kNoResultText = "无";  // the result boxes before the first Read
constexpr Twips::Rect kTxtIOBase{2376, 1188, 768, 300};
constexpr Twips::Rect kTxtIRQNO{2376, 1728, 768, 300};
constexpr std::string_view kNotFoundText = "NO";  // both result boxes when no card has the number

constexpr std::string_view kReadCaption = "Read";
constexpr Twips::Rect kReadCardNO{756, 2304, 1200, 372};
constexpr std::string_view kExitCaption = "Exit";
constexpr Twips::Rect kCommand1{2628, 2304, 1200, 372};

// The labels' KaiTi face under its GB2312 name first, then under the names KaiTi fonts
// carry on Windows, under Wine and on Linux. Only the labels have a font of their own: the
// text boxes and buttons keep the platform's default font and colours.
constexpr std::array<std::string_view, 5> kLabelFaces{"楷体_GB2312", "KaiTi", "楷体",
                                                      "AR PL KaitiM GB", "AR PL UKai CN"};
constexpr double kLabel1Points = 18.0;
constexpr double kLabel2Points = 13.5;
constexpr int kLabelWeight = 400;

struct Colour {
    int red;
    int green;
    int blue;
};
constexpr Colour kLabel1Colour{64, 64, 64};

// The title of the message that reports bad text or a missing library.
constexpr std::string_view kMessageTitle = "Cardpeek";

// The messages for a library that cannot be bound at Read: its file name, and then, after
// a blank line, the system's reason.
inline std::string libraryNotLoaded(std::string_view file, std::string_view reason) {
    std::string text = "The card library ";
    text.append(file).append(" cannot be loaded.\n\n").append(reason);
    return text;
}
inline std::string functionMissing(std::string_view file, std::string_view function,
                                   std::string_view reason) {
    std::string text = "The card library ";
    text.append(file).append(" has no function ").append(function).append(".\n\n");
    return text.append(reason);
}

}  // namespace FormDesign
