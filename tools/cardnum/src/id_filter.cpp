// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "id_filter.h"

#include <cards/cards.h>
#include <fmt/format.h>

#include <array>
#include <charconv>

namespace cardnum {
namespace {

std::optional<uint16_t> parseHexWord(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4) return std::nullopt;
    uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool wordMatches(uint16_t wanted, uint16_t actual) {
    return wanted == 0 || wanted == actual;
}

}  // namespace

PCIID defaultFilter() {
    return slotscan::kDefaultFilter;
}

std::optional<PCIID> parseIdFilter(std::string_view text) {
    std::array<uint16_t, 4> words{};
    std::size_t count = 0;
    while (true) {
        const auto colon = text.find(':');
        if (count == words.size()) return std::nullopt;
        const auto word = parseHexWord(text.substr(0, colon));
        if (!word) return std::nullopt;
        words[count++] = *word;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (count != 2 && count != 4) return std::nullopt;
    return PCIID{words[0], words[1], words[2], words[3]};
}

std::string describeFilter(const PCIID& filter) {
    auto text = fmt::format("{:04X}:{:04X}", filter.DeviceID, filter.VendorID);
    if (filter.SubsystemID != 0 || filter.SubsystemVendorID != 0) {
        text += fmt::format(":{:04X}:{:04X}", filter.SubsystemID, filter.SubsystemVendorID);
    }
    return text;
}

bool matchesFilter(const PCIID& filter, uint16_t vendor, uint16_t device, uint16_t subsystemId,
                   uint16_t subsystemVendor) {
    return wordMatches(filter.VendorID, vendor) && wordMatches(filter.DeviceID, device) &&
           wordMatches(filter.SubsystemID, subsystemId) &&
           wordMatches(filter.SubsystemVendorID, subsystemVendor);
}

}  // namespace cardnum
