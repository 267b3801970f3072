// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Why a card is not found: the doctor's findings, worked out from what the library's scan
// recorded and what the wider scan saw.
#pragma once

#include <slotscan.h>

#include <optional>
#include <string>
#include <vector>

#include "card_table.h"
#include "wide_scan.h"

namespace cardnum {

// One problem at one place. `where` and `index` are the card to act on: the card the action
// names and the slot the fleet view reports the problem at.
struct Finding {
    std::string kind;          // short stable name for scripts, e.g. "shared-number"
    std::string where;         // the slot concerned ("00:04.0", bus:device.function), or empty
    std::optional<int> index;  // the card's table index, when the library records it
    std::string what;
    std::string meaning;
    std::string action;
    // A shared number: the card that lookups by it reach instead, which is left as it is.
    std::optional<int> reachedIndex = std::nullopt;
    std::string reachedWhere = {};
};

struct Observation {
    PCIID filter{};
    std::vector<Card> cards;             // the library's table
    std::vector<bool> eepromPresent;     // one per card
    std::vector<PciFunction> functions;  // everything the wider scan saw
};

// What doctor looks at: the library's table, each card's EEPROM-present bit and the wider
// scan; `scanSeconds` receives how long the library's scan took. Nothing when the port
// layer reaches no machine, before the scan or (refused at a card's first access) during it.
std::optional<Observation> observeMachine(const PCIID& filter, double* scanSeconds = nullptr);

std::vector<Finding> diagnose(const Observation& seen);

// No port access; an "unknown-backend" finding when PORTVEX names no backend.
Finding noPortAccess(const std::string& backend, const std::string& status);

}  // namespace cardnum
