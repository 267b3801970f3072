// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "diagnosis.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "card_number.h"
#include "id_filter.h"
#include "port_status.h"

namespace cardnum {
namespace {

constexpr int kLastScannedBus = 3;

std::string idsOf(const PciFunction& f) {
    return describeIds(f.vendor, f.deviceId);
}

std::string cardRef(const Card& card) {
    return fmt::format("#{} ({})", card.index, slotOf(card));
}

std::string ordinal(std::size_t n) {
    const std::size_t tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        switch (n % 10) {
            case 1:
                suffix = "st";
                break;
            case 2:
                suffix = "nd";
                break;
            case 3:
                suffix = "rd";
                break;
            default:
                break;
        }
    }
    return fmt::format("{}{}", n, suffix);
}

std::string describeBar(const char* name, uint32_t value) {
    if (value == 0) return fmt::format("{} is not set up (reads 0)", name);
    return fmt::format("{} is a memory range (0x{:08X})", name, value);
}

bool inTable(const Observation& seen, const PciFunction& f) {
    return std::any_of(seen.cards.begin(), seen.cards.end(), [&](const Card& card) {
        return f.function == 0 && card.bus == f.bus && card.device == f.device;
    });
}

bool matches(const PCIID& filter, const PciFunction& f) {
    return matchesFilter(filter, f.vendor, f.deviceId, f.subsystemId, f.subsystemVendor);
}

// Matching devices the library cannot see, one finding per reason.
void hiddenCards(const Observation& seen, std::vector<Finding>& out) {
    std::size_t beyondTable = 0;
    for (const PciFunction& f : seen.functions) {
        if (!matches(seen.filter, f)) continue;
        const std::string card = fmt::format("Card {} at {}", idsOf(f), slotOf(f));
        bool skipped = false;
        if (f.bus > kLastScannedBus) {
            skipped = true;
            out.push_back({"bus-not-scanned", slotOf(f), std::nullopt,
                           fmt::format("{} sits on bus {}.", card, f.bus),
                           "The library scans buses 0 to 3 only, so this card is never listed, "
                           "found or renumbered.",
                           "Move it to a slot on bus 0 to 3. Slots behind a PCI-to-PCI bridge or "
                           "a riser get higher bus numbers."});
        }
        if (f.function != 0) {
            skipped = true;
            out.push_back({"not-function-0", slotOf(f), std::nullopt,
                           fmt::format("{} answers as function {} of its slot.", card, f.function),
                           "The library reads function 0 of each slot only, so this card is "
                           "never listed, found or renumbered.",
                           "Use a card whose bridge is function 0 of its slot."});
        }
        if (!f.bar1InIo() || !f.bar4InIo()) {
            skipped = true;
            std::vector<std::string> bars;
            if (!f.bar1InIo()) bars.push_back(describeBar("BAR1", f.bar1));
            if (!f.bar4InIo()) bars.push_back(describeBar("BAR4", f.bar4));
            out.push_back({"bar-not-io", slotOf(f), std::nullopt,
                           fmt::format("{}: {}.", card, fmt::join(bars, ", ")),
                           "The library takes a device for a card only when BAR1 (the bridge's "
                           "local registers) and BAR4 (the card's own registers) are I/O "
                           "ranges, so it skips this one.",
                           "Have the card's configuration EEPROM set up so that the bridge maps "
                           "its local registers in I/O space through BAR1 (CNTRL bits 12-13) and "
                           "decodes local space 2 (BAR4) as an I/O range."});
        }
        if (skipped || inTable(seen, f)) continue;
        if (seen.cards.size() < MAX_CARDS) continue;  // appeared after the library's scan
        ++beyondTable;
        out.push_back({"beyond-table", slotOf(f), std::nullopt,
                       fmt::format("{} is the {} matching card in scan order.", card,
                                   ordinal(MAX_CARDS + beyondTable)),
                       fmt::format("The library keeps {} cards at most; later ones are never "
                                   "listed, found or renumbered.",
                                   MAX_CARDS),
                       fmt::format("Take cards out until at most {} match, or give the extra "
                                   "cards other IDs and reach them with --pci.",
                                   MAX_CARDS)});
    }
}

void eepromProblems(const Observation& seen, std::vector<Finding>& out) {
    for (std::size_t i = 0; i < seen.cards.size(); ++i) {
        const Card& card = seen.cards[i];
        const bool present = i < seen.eepromPresent.size() && seen.eepromPresent[i];
        if (!present) {
            out.push_back({"no-eeprom", functionOf(card), card.index,
                           fmt::format("Card {} reports no EEPROM (CNTRL bit 28 clear); its "
                                       "number reads {}.",
                                       cardRef(card), describeCardNumber(card.number)),
                           "Its card number comes from no memory: it can be neither kept nor "
                           "changed, and a lookup by number reaches it only by chance.",
                           fmt::format("Fit a 93C46 serial EEPROM to the card's bridge, or have "
                                       "the card repaired; until then reach it by index {}.",
                                       card.index)});
        } else if (card.number == 0xFFFF) {
            out.push_back(
                {"unprogrammed", functionOf(card), card.index,
                 fmt::format("Card {} reads number {}.", cardRef(card),
                             describeCardNumber(card.number)),
                 "That is what an EEPROM word that was never written holds: the card "
                 "has not been numbered.",
                 fmt::format("Give it a number: cardnum set --index {} NEW", card.index)});
        }
    }
}

// A card a lookup by its number cannot reach, because a card before it in scan order
// carries the number too: one finding per such card, the first carrier left as it is.
void sharedNumbers(const Observation& seen, std::vector<Finding>& out) {
    std::map<uint16_t, std::vector<const Card*>> byNumber;
    for (std::size_t i = 0; i < seen.cards.size(); ++i) {
        const Card& card = seen.cards[i];
        const bool present = i < seen.eepromPresent.size() && seen.eepromPresent[i];
        // Unnumbered cards and cards without an EEPROM have findings of their own.
        if (present && card.number != 0xFFFF) byNumber[card.number].push_back(&card);
    }
    for (const auto& [number, carriers] : byNumber) {
        const Card& reached = *carriers[0];
        for (std::size_t i = 1; i < carriers.size(); ++i) {
            const Card& card = *carriers[i];
            std::string before;
            for (std::size_t j = 0; j < i; ++j) {
                if (j > 0) before += j + 1 == i ? " and " : ", ";
                before += cardRef(*carriers[j]);
            }
            out.push_back(
                {"shared-number", functionOf(card), card.index,
                 fmt::format("Card {} carries number {}, as card{} {} {}.", cardRef(card),
                             describeCardNumber(number), i > 1 ? "s" : "", before,
                             i > 1 ? "do" : "does"),
                 fmt::format("A lookup by number {} reaches only card {}, the first in scan "
                             "order; card #{} can be reached by index only.",
                             describeCardNumber(number), cardRef(reached), card.index),
                 fmt::format("Give it a number of its own: cardnum set --index {} NEW", card.index),
                 reached.index, functionOf(reached)});
        }
    }
}

void nothingFound(const Observation& seen, bool hiddenFound, std::vector<Finding>& out) {
    if (!seen.cards.empty() || hiddenFound) return;
    std::string lookAlikes;
    for (const PciFunction& f : seen.functions) {
        if (!f.bar1InIo() || !f.bar4InIo()) continue;
        lookAlikes +=
            fmt::format("{}{} at {}", lookAlikes.empty() ? "" : ", ", idsOf(f), slotOf(f));
    }
    std::string action = "Check that the card is seated and the machine powers its slot.";
    if (!lookAlikes.empty()) {
        action += fmt::format(
            " Cards built on this bridge often carry their maker's IDs; these "
            "devices have I/O ranges at BAR1 and BAR4 like it: {}. Try "
            "cardnum doctor --pci VENDOR:DEVICE with one of them.",
            lookAlikes);
    }
    out.push_back(
        {"no-cards", "", std::nullopt,
         fmt::format("No device with IDs {} answers on any bus.", describeFilter(seen.filter)),
         "There is no card for the library to list or find.", action});
}

}  // namespace

std::vector<Finding> diagnose(const Observation& seen) {
    std::vector<Finding> findings;
    hiddenCards(seen, findings);
    nothingFound(seen, !findings.empty(), findings);
    sharedNumbers(seen, findings);
    eepromProblems(seen, findings);
    return findings;
}

std::optional<Observation> observeMachine(const PCIID& filter, double* scanSeconds) {
    if (!port::ready()) return std::nullopt;
    Observation seen;
    seen.filter = filter;
    const auto start = std::chrono::steady_clock::now();
    seen.cards = scanCards(filter);
    if (scanSeconds != nullptr) {
        *scanSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    for (const Card& card : seen.cards)
        seen.eepromPresent.push_back(eepromPresent(card.localRegBase));
    seen.functions = scanAllFunctions();
    // Refused at a card's first access: what the scan read from the cards is noise.
    if (!port::ready()) return std::nullopt;
    return seen;
}

Finding noPortAccess(const std::string& backend, const std::string& status) {
    if (backend == "unknown") {
        return {"unknown-backend",
                "",
                std::nullopt,
                "PORTVEX names no backend of the port layer.",
                "No port is touched, so no card can be found, numbered or checked; port "
                "access was not switched off on purpose.",
                status};
    }
    return {"no-port-access",
            "",
            std::nullopt,
            fmt::format("The port layer (backend \"{}\") reaches no machine.", backend),
            "Every port read gives 0xFFFFFFFF, so no card can be found, numbered or checked.",
            status};
}

}  // namespace cardnum
