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

struct Finding {
    std::string kind;          // short stable name for scripts, e.g. "shared-number"
    std::string where;         // the slot concerned ("00:04" or "05:00.0"), empty for the machine
    std::optional<int> index;  // the card's table index, when the library records it
    std::string what;
    std::string meaning;
    std::string action;
};

struct Observation {
    PCIID filter{};
    std::vector<Card> cards;             // the library's table
    std::vector<bool> eepromPresent;     // one per card
    std::vector<PciFunction> functions;  // everything the wider scan saw
};

std::vector<Finding> diagnose(const Observation& seen);

Finding noPortAccess(const std::string& backend, const std::string& status);

}  // namespace cardnum
