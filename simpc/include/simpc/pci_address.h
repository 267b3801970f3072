// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "simpc/export.h"

namespace simpc {

// Bus 0-255, device 0-31, function 0-7.
struct PciAddress {
    uint8_t bus = 0, device = 0, function = 0;

    bool operator==(const PciAddress&) const = default;
};

inline constexpr unsigned kMaxDevice = 31;
inline constexpr unsigned kMaxFunction = 7;

inline constexpr bool isValid(PciAddress a) {
    return a.device <= kMaxDevice && a.function <= kMaxFunction;
}

// Index of a function in the flat 64K table: the same bits as 0xCF8 bits 23-8.
inline constexpr uint16_t configIndex(PciAddress a) {
    return static_cast<uint16_t>((a.bus << 8) | ((a.device & 0x1F) << 3) | (a.function & 7));
}

inline constexpr PciAddress addressFromIndex(uint16_t index) {
    return PciAddress{static_cast<uint8_t>(index >> 8), static_cast<uint8_t>((index >> 3) & 0x1F),
                      static_cast<uint8_t>(index & 7)};
}

// "bb:dd.f" in lower-case hex, as lspci prints it.
SIMPC_API std::string formatSlot(PciAddress a);

// Accepts "bb:dd.f" or "dddd:bb:dd.f" (domain 0 only), hex, any case.
// Throws std::invalid_argument saying what is wrong.
SIMPC_API PciAddress parseSlot(std::string_view text);

}  // namespace simpc
