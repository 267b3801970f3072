// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What cardnum prints for scripts (--json).
#pragma once

#include <slotscan.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "card_table.h"
#include "diagnosis.h"

namespace cardnum {

nlohmann::ordered_json toJson(const PCIID& filter);
nlohmann::ordered_json toJson(const Card& card);
nlohmann::ordered_json toJson(const Finding& finding);
nlohmann::ordered_json cardListJson(const PCIID& filter, const std::vector<Card>& cards);

// Indented, one document per line end; bytes that are not UTF-8 (a rack path, say) are
// replaced rather than thrown on.
void printJson(std::ostream& out, const nlohmann::ordered_json& json);

}  // namespace cardnum
