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

// Two or four colon-separated words, in the order they are written; `anyWord` reads an
// empty field or "*" as 0 (any value).
std::optional<std::array<uint16_t, 4>> parseWords(std::string_view text, bool anyWord) {
    std::array<uint16_t, 4> words{};
    std::size_t count = 0;
    while (true) {
        const auto colon = text.find(':');
        if (count == words.size()) return std::nullopt;
        const std::string_view field = text.substr(0, colon);
        const auto word =
            anyWord && (field.empty() || field == "*") ? uint16_t{0} : parseHexWord(field);
        if (!word) return std::nullopt;
        words[count++] = *word;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (count != 2 && count != 4) return std::nullopt;
    return words;
}

bool wordMatches(uint16_t wanted, uint16_t actual) {
    return wanted == 0 || wanted == actual;
}

std::string field(uint16_t word) {
    return word == 0 ? std::string() : fmt::format("{:04x}", word);
}

std::string namedField(uint16_t word) {
    return word == 0 ? std::string("any") : fmt::format("{:04x}", word);
}

}  // namespace

PCIID defaultFilter() {
    return slotscan::kDefaultFilter;
}

std::optional<PCIID> parsePciFilter(std::string_view text) {
    const auto w = parseWords(text, true);
    if (!w) return std::nullopt;
    return PCIID{(*w)[1], (*w)[0], (*w)[3], (*w)[2]};
}

std::optional<PCIID> parseIdFilter(std::string_view text) {
    const auto w = parseWords(text, false);
    if (!w) return std::nullopt;
    return PCIID{(*w)[0], (*w)[1], (*w)[2], (*w)[3]};
}

std::string describeIds(uint16_t vendor, uint16_t device) {
    return field(vendor) + ':' + field(device);
}

std::string describeFilter(const PCIID& filter) {
    std::string text = describeIds(filter.VendorID, filter.DeviceID);
    if (filter.SubsystemID != 0 || filter.SubsystemVendorID != 0) {
        text += ':' + describeIds(filter.SubsystemVendorID, filter.SubsystemID);
    }
    return text;
}

std::string nameFilter(const PCIID& filter) {
    std::string text = fmt::format("vendor {}, device {}", namedField(filter.VendorID),
                                   namedField(filter.DeviceID));
    if (filter.SubsystemID != 0 || filter.SubsystemVendorID != 0) {
        text += fmt::format(", subsystem vendor {}, subsystem device {}",
                            namedField(filter.SubsystemVendorID), namedField(filter.SubsystemID));
    }
    return text;
}

PCIID swapped(const PCIID& filter) {
    return PCIID{filter.VendorID, filter.DeviceID, filter.SubsystemVendorID, filter.SubsystemID};
}

bool matchesFilter(const PCIID& filter, uint16_t vendor, uint16_t device, uint16_t subsystemId,
                   uint16_t subsystemVendor) {
    return wordMatches(filter.VendorID, vendor) && wordMatches(filter.DeviceID, device) &&
           wordMatches(filter.SubsystemID, subsystemId) &&
           wordMatches(filter.SubsystemVendorID, subsystemVendor);
}

}  // namespace cardnum
