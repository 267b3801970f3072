// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "text_output.h"

#include <fmt/ostream.h>

#include "card_number.h"
#include "id_filter.h"

namespace cardnum {

void printCardList(std::ostream& out, const PCIID& filter, const std::vector<Card>& cards) {
    if (cards.empty()) {
        fmt::print(out, "No card with IDs {} found. 'cardnum doctor' tells why.\n",
                   describeFilter(filter));
        return;
    }
    fmt::print(out, "{} card{} with IDs {}, in table order:\n", cards.size(),
               cards.size() == 1 ? "" : "s", describeFilter(filter));
    fmt::print(out, "{:>5}  {:<15}  {:<8}  {:>3}  {}\n", "INDEX", "CARD NO", "I/O BASE", "IRQ",
               "SLOT");
    for (const Card& card : cards) {
        fmt::print(out, "{:>5}  {:<15}  {:<8}  {:>3}  {}{}\n", card.index,
                   describeCardNumber(card.number), hex4(card.ioBase), card.irq, slotOf(card),
                   card.number == 0xFFFF ? "  (never numbered?)" : "");
    }
}

void printLookup(std::ostream& out, const Lookup& found) {
    const Card& card = found.card;
    fmt::print(out, "Card {}: I/O base {}, IRQ {} (index {}, slot {})\n",
               describeCardNumber(card.number), hex4(card.ioBase), card.irq, card.index,
               slotOf(card));
}

void printFindings(std::ostream& out, const std::vector<Finding>& findings) {
    if (findings.empty()) {
        fmt::print(out, "No problems found.\n");
        return;
    }
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        fmt::print(out, "{}Problem {}: {}\n  Meaning: {}\n  To do:   {}\n", i > 0 ? "\n" : "",
                   i + 1, f.what, f.meaning, f.action);
    }
}

}  // namespace cardnum
