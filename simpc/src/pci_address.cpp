// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/pci_address.h"

#include <fmt/format.h>

#include <charconv>
#include <stdexcept>

#include "printable.h"

namespace simpc {

std::string formatSlot(PciAddress a) {
    return fmt::format("{:02x}:{:02x}.{:x}", a.bus, a.device, a.function);
}

namespace {

// The message quotes the text, which may come from a file with any bytes in it.
[[noreturn]] void refuse(const std::string& message) {
    throw std::invalid_argument(printable(message));
}

unsigned hexField(std::string_view text, std::string_view whole, const char* what, unsigned max) {
    unsigned value = 0;
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    if (text.empty() || ec != std::errc{} || ptr != end) {
        refuse(fmt::format("slot '{}': {} '{}' is not a hex number", whole, what, text));
    }
    if (value > max) {
        refuse(fmt::format("slot '{}': {} must be 0-{:x}, got {:x}", whole, what, max, value));
    }
    return value;
}

}  // namespace

PciAddress parseSlot(std::string_view text) {
    std::string_view rest = text;
    auto firstColon = rest.find(':');
    auto lastColon = rest.rfind(':');
    if (firstColon == std::string_view::npos) {
        refuse(fmt::format("slot '{}' is not of the form bus:device.function, e.g. 00:0a.0", text));
    }
    if (firstColon != lastColon) {
        if (hexField(rest.substr(0, firstColon), text, "domain", 0xFFFF) != 0) {
            refuse(fmt::format("slot '{}': only domain 0000 exists", text));
        }
        rest = rest.substr(firstColon + 1);
    }
    auto colon = rest.find(':');
    auto dot = rest.find('.', colon);
    if (dot == std::string_view::npos) {
        refuse(fmt::format("slot '{}' is not of the form bus:device.function, e.g. 00:0a.0", text));
    }
    PciAddress a;
    a.bus = static_cast<uint8_t>(hexField(rest.substr(0, colon), text, "bus", 0xFF));
    a.device = static_cast<uint8_t>(
        hexField(rest.substr(colon + 1, dot - colon - 1), text, "device", kMaxDevice));
    a.function =
        static_cast<uint8_t>(hexField(rest.substr(dot + 1), text, "function", kMaxFunction));
    return a;
}

}  // namespace simpc
