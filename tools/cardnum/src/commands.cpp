// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "commands.h"

#include <algorithm>

namespace cardnum {
namespace {

std::vector<Registration>& registry() {
    static std::vector<Registration> commands;
    return commands;
}

}  // namespace

void registerCommand(const Registration& registration) {
    registry().push_back(registration);
}

std::vector<Registration> registeredCommands() {
    std::vector<Registration> commands = registry();
    std::sort(commands.begin(), commands.end(),
              [](const Registration& a, const Registration& b) { return a.rank < b.rank; });
    return commands;
}

}  // namespace cardnum
