// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <optional>
#include <string_view>

namespace simpc {

// The first line of TOML text where tables, dotted keys and arrays nest more than `limit`
// levels deep along one path, or nothing. It only looks past strings and comments, so that
// input too deep for the parser's recursion is turned away before it reaches the parser;
// everything else is left to the parser.
std::optional<unsigned> lineNestedDeeperThan(std::string_view text, unsigned limit);

}  // namespace simpc
