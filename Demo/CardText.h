// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The texts of Cardpeek's boxes: reading a card number typed by the user and writing
// what the library reports. Plain C++ on UTF-8 text, shared by the Qt window and the
// Win32 window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace CardText {

// A card number read from text, or why the text is not one.
struct CardNumber {
    std::int16_t value = 0;
    std::string problem;  // empty when value holds the number
    bool ok() const { return problem.empty(); }
};

// Accepts decimal digits with an optional + or - in front and any spaces around
// them, from -32768 to 32767 ("255", " -1 ", "+007"). Everything else is refused
// with a message that quotes the text: empty text, inner spaces, fractions,
// exponents, hexadecimal, digit group separators and digits of other scripts.
CardNumber parseCardNumber(std::string_view text);

// Upper-case hexadecimal without leading zeros, then "H": 0x300 -> "300H", 0 -> "0H".
std::string formatIOBase(std::uint16_t ioBase);

// Plain decimal: 5 -> "5".
std::string formatIrq(std::uint16_t irq);

}  // namespace CardText
