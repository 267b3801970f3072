// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The identity of the cards sought: read from --pci VENDOR:DEVICE[:SUBVENDOR:SUBDEVICE]
// (lspci's order) or --id DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR] (the order of the library's
// PCIID record, kept for scripts), and spelled for people always in lspci's order.
// Plain functions, apart from the command line, so that any reader of IDs can use them.
#pragma once

#include <slotscan.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cardnum {

// The library's compiled-in filter: vendor 0x10B5, device 0x9050, any subsystem.
PCIID defaultFilter();

// --pci, as `lspci -d` reads IDs: two or four fields separated by colons, in the order
// vendor, device, subsystem vendor, subsystem device. A field is one to four hexadecimal
// digits (an optional 0x), or empty or "*" for any value; 0 matches any value too.
// Anything else yields nothing.
std::optional<PCIID> parsePciFilter(std::string_view text);

// --id, in the record's order: two or four fields of one to four hexadecimal digits (an
// optional 0x each), in the order device, vendor, subsystem ID, subsystem vendor ID.
// 0 matches anything. Anything else yields nothing.
std::optional<PCIID> parseIdFilter(std::string_view text);

// The one spelling of PCI IDs for people, as lspci writes them: lower-case hexadecimal,
// vendor:device, then subsystem vendor:subsystem device when either is set ("10b5:9050",
// "10b5:9050:10b5:0001"). A word of 0 (any value) is an empty field (":9050"), so that
// the text given back to --pci selects the same cards.
std::string describeFilter(const PCIID& filter);
std::string describeIds(uint16_t vendor, uint16_t device);

// The same IDs with each field named: "vendor 10b5, device 9050", "vendor any, ...".
std::string nameFilter(const PCIID& filter);

// The filter with vendor and device (and the two subsystem words) exchanged: what was
// meant when IDs were given in the other order.
PCIID swapped(const PCIID& filter);

bool matchesFilter(const PCIID& filter, uint16_t vendor, uint16_t device, uint16_t subsystemId,
                   uint16_t subsystemVendor);

}  // namespace cardnum
