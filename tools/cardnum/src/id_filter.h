// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The identity of the cards sought, as given with --id DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR].
#pragma once

#include <slotscan.h>

#include <optional>
#include <string>
#include <string_view>

namespace cardnum {

// The library's compiled-in filter: device 0x9050, vendor 0x10B5, any subsystem.
PCIID defaultFilter();

// Two or four fields of one to four hexadecimal digits (an optional 0x each), separated
// by colons, in the order device, vendor, subsystem ID, subsystem vendor ID. 0 matches
// anything. Anything else yields nothing.
std::optional<PCIID> parseIdFilter(std::string_view text);

// "9050:10B5", or "9050:10B5:0001:10B5" when a subsystem word is set.
std::string describeFilter(const PCIID& filter);

bool matchesFilter(const PCIID& filter, uint16_t vendor, uint16_t device, uint16_t subsystemId,
                   uint16_t subsystemVendor);

}  // namespace cardnum
