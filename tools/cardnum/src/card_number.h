// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Card numbers and table indexes as the user types them on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cardnum {

// Card numbers are 16-bit words; both the signed and the unsigned reading are accepted,
// so -1 and 65535 (0xFFFF) name the same number.
inline constexpr long kCardNumberMin = -32768;
inline constexpr long kCardNumberMax = 65535;

// Decimal ("-1", "42") or hexadecimal with 0x ("0xFFFF") within [min, max]; nothing else,
// not even surrounding blanks.
std::optional<long> parseInteger(std::string_view text, long min, long max);

// The 16-bit word a card number in [kCardNumberMin, kCardNumberMax] stands for.
uint16_t toCardWord(long number);

// "7", or "65535 (0xFFFF)" for numbers whose signed and unsigned readings differ.
std::string describeCardNumber(uint16_t number);
// "0xE000"
std::string hex4(uint16_t value);

}  // namespace cardnum
