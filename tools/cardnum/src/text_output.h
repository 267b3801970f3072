// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What cardnum prints for people.
#pragma once

#include <slotscan.h>

#include <ostream>
#include <vector>

#include "card_table.h"
#include "diagnosis.h"

namespace cardnum {

void printCardList(std::ostream& out, const PCIID& filter, const std::vector<Card>& cards);
void printLookup(std::ostream& out, const Lookup& found);
void printFindings(std::ostream& out, const std::vector<Finding>& findings);

}  // namespace cardnum
