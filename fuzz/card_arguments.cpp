// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum's grammars of what the user types: --pci and --id filters, card numbers and
// table indexes, both through the parsers and through the command line's own checks.
// Input: the text of one argument.
//
// Properties: a filter that is accepted prints back (as cardnum shows it) in a form that
// reads as the same filter; --pci reads what --id reads, the words the other way round; a
// number that is accepted lies in its range and its decimal form reads as the same number;
// the command line's check accepts exactly what the parser does and rewrites a number as
// that decimal form.
#include <slotscan.h>

#include <CLI/CLI.hpp>
#include <string>

#include "arguments.h"
#include "card_number.h"
#include "id_filter.h"
#include "support.h"

namespace {

bool sameFilter(const PCIID& a, const PCIID& b) {
    return a.DeviceID == b.DeviceID && a.VendorID == b.VendorID && a.SubsystemID == b.SubsystemID &&
           a.SubsystemVendorID == b.SubsystemVendorID;
}

// --pci (lspci's order, empty or * for any word) and --id (the record's order): each
// check accepts what its parser does; whatever is accepted prints back (cardnum shows
// filters in lspci's order) as text --pci reads as the same filter; and text --id takes,
// --pci takes too, with each pair of words the other way round.
void checkFilters(const std::string& text) {
    const auto pci = cardnum::parsePciFilter(text);
    const auto id = cardnum::parseIdFilter(text);
    std::string checked = text;
    fuzz::require(cardnum::pciFilterArgument()(checked).empty() == pci.has_value(),
                  "--pci: the check and the parser disagree", text);
    fuzz::require(cardnum::idFilterArgument()(checked).empty() == id.has_value(),
                  "--id: the check and the parser disagree", text);
    for (const auto& filter : {pci, id}) {
        if (!filter) continue;
        const std::string shown = cardnum::describeFilter(*filter);
        const auto again = cardnum::parsePciFilter(shown);
        fuzz::require(again.has_value() && sameFilter(*again, *filter),
                      "an accepted filter does not read back as itself", text + " -> " + shown);
    }
    if (id) {
        fuzz::require(pci.has_value() && sameFilter(cardnum::swapped(*pci), *id),
                      "--pci does not read what --id reads, the other way round", text);
    }
}

void checkNumber(const std::string& text, long min, long max, const CLI::Validator& check) {
    const auto value = cardnum::parseInteger(text, min, max);
    std::string checked = text;
    const bool validated = check(checked).empty();
    fuzz::require(validated == value.has_value(), "number: the check and the parser disagree",
                  text);
    if (!value) return;
    fuzz::require(*value >= min && *value <= max, "number: accepted outside its range", text);
    const std::string decimal = std::to_string(*value);
    fuzz::require(checked == decimal, "number: the check rewrote it wrongly",
                  text + " -> " + checked);
    fuzz::require(cardnum::parseInteger(decimal, min, max) == value,
                  "number: its decimal form reads differently", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkFilters(text);
    static const CLI::Validator cardNumber = cardnum::cardNumberArgument();
    static const CLI::Validator tableIndex = cardnum::tableIndexArgument();
    checkNumber(text, cardnum::kCardNumberMin, cardnum::kCardNumberMax, cardNumber);
    checkNumber(text, 0, MAX_CARDS - 1, tableIndex);
    return 0;
}
