// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "CardText.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace CardText {
namespace {

constexpr auto kLowest = std::numeric_limits<std::int16_t>::min();
constexpr auto kHighest = std::numeric_limits<std::int16_t>::max();

// The message for refused text: what is wrong, then the range of card numbers. Built by
// appending (GCC 12 warns falsely about chains of + on strings).
std::string refusal(std::string_view before, std::string_view text, std::string_view after) {
    std::string message(before);
    message.append(text).append(after).append("\n\nType a whole number from ");
    message.append(std::to_string(kLowest)).append(" to ").append(std::to_string(kHighest));
    return message.append(".");
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kSpaces = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

}  // namespace

CardNumber parseCardNumber(std::string_view text) {
    const std::string_view number = trimmed(text);
    if (number.empty()) return {0, refusal("The card number box is empty.", "", "")};
    // from_chars reads ASCII digits after an optional minus, in no locale; a plus is
    // allowed in front of digits only.
    std::string_view digits = number;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
    long long wide = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, wide, 10);
    if (stop != end || (error != std::errc() && error != std::errc::result_out_of_range)) {
        return {0, refusal("\"", text, "\" is not a card number.")};
    }
    // A whole number too long for 64 bits is out of range too, not something else.
    if (error == std::errc::result_out_of_range || wide < kLowest || wide > kHighest) {
        return {0, refusal("", number, " is outside the range of card numbers.")};
    }
    return {static_cast<std::int16_t>(wide), {}};
}

std::string formatIOBase(std::uint16_t ioBase) {
    char digits[8] = {};
    const auto result = std::to_chars(digits, digits + sizeof digits, ioBase, 16);
    std::string text(digits, result.ptr);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text.append("H");
}

std::string formatIrq(std::uint16_t irq) {
    return std::to_string(irq);
}

}  // namespace CardText
