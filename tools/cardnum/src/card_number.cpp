// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "card_number.h"

#include <fmt/format.h>

#include <charconv>

namespace cardnum {

std::optional<long> parseInteger(std::string_view text, long min, long max) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    long magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    const long value = negative ? -magnitude : magnitude;
    if (value < min || value > max) return std::nullopt;
    return value;
}

uint16_t toCardWord(long number) {
    return static_cast<uint16_t>(number & 0xFFFF);
}

std::string describeCardNumber(uint16_t number) {
    if (number < 0x8000) return std::to_string(number);
    return fmt::format("{} ({})", number, hex4(number));
}

std::string hex4(uint16_t value) {
    return fmt::format("0x{:04X}", value);
}

}  // namespace cardnum
