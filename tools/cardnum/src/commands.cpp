// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "commands.h"

#include <algorithm>

#include "id_filter.h"

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

void addIdOption(CLI::App& command, CommonOptions& common) {
    command
        .add_option("--id", common.id,
                    "Look for cards with these IDs (hexadecimal; 0 matches any) instead of the "
                    "library's own 9050:10B5")
        ->type_name("DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR]")
        ->check(idFilterArgument());
}

CLI::Option* addJsonFlag(CLI::App& command, CommonOptions& common) {
    return command.add_flag_callback(
        "--json", [&common] { common.format = Format::Json; }, "Print JSON for scripts");
}

}  // namespace cardnum
