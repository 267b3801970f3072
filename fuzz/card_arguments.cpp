// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum's grammars of what the user types: --id filters, card numbers and table indexes,
// both through the parsers and through the command line's own checks. Input: the text of
// one argument.
//
// Properties: a filter that is accepted prints back (as cardnum shows it) in a form that
// reads as the same filter; a number that is accepted lies in its range and its decimal
// form reads as the same number; the command line's check accepts exactly what the parser
// does and rewrites a number as that decimal form.
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

void checkFilter(const std::string& text) {
    const auto filter = cardnum::parseIdFilter(text);
    std::string checked = text;
    const bool validated = cardnum::idFilterArgument()(checked).empty();
    fuzz::require(validated == filter.has_value(), "--id: the check and the parser disagree", text);
    if (!filter) return;
    const std::string shown = cardnum::describeFilter(*filter);
    const auto again = cardnum::parseIdFilter(shown);
    fuzz::require(again.has_value() && sameFilter(*again, *filter),
                  "--id: an accepted filter does not read back as itself", text + " -> " + shown);
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
    checkFilter(text);
    static const CLI::Validator cardNumber = cardnum::cardNumberArgument();
    static const CLI::Validator tableIndex = cardnum::tableIndexArgument();
    checkNumber(text, cardnum::kCardNumberMin, cardnum::kCardNumberMax, cardNumber);
    checkNumber(text, 0, MAX_CARDS - 1, tableIndex);
    return 0;
}
