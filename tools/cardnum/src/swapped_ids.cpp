// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "swapped_ids.h"

#include <fmt/ostream.h>

#include "card_table.h"
#include "id_filter.h"

namespace cardnum {

void warnIfSwapped(const CommonOptions& options, std::ostream& err) {
    if (options.pci.empty() && options.id.empty()) return;  // the library's own IDs
    const PCIID& given = options.filter;
    const PCIID other = swapped(given);
    if (describeFilter(other) == describeFilter(given)) return;
    if (!scanCards(given).empty()) return;
    const auto found = scanCards(other).size();
    if (found == 0) return;
    fmt::print(err,
               "cardnum: warning: no card has IDs {} ({}), but {} card{} {} {} ({}), the same "
               "IDs the other way round; {}--pci {} selects {}\n",
               describeFilter(given), nameFilter(given), found, found == 1 ? "" : "s",
               found == 1 ? "has" : "have", describeFilter(other), nameFilter(other),
               options.pci.empty() ? "--id takes the device first, as the library's record "
                                     "does, and lspci writes the vendor first: "
                                   : "",
               describeFilter(other), found == 1 ? "it" : "them");
}

}  // namespace cardnum
