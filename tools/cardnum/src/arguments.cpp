// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "arguments.h"

#include <fmt/format.h>
#include <slotscan.h>

#include <CLI/CLI.hpp>
#include <string>

#include "card_number.h"
#include "commands.h"
#include "id_filter.h"

namespace cardnum {
namespace {

CLI::Validator integerArgument(long min, long max) {
    return CLI::Validator(
        [min, max](std::string& text) -> std::string {
            const auto value = parseInteger(text, min, max);
            if (!value) {
                return fmt::format(
                    "'{}' is not a number from {} to {} (decimal, or hexadecimal "
                    "with 0x)",
                    text, min, max);
            }
            text = std::to_string(*value);
            return {};
        },
        std::string{});
}

}  // namespace

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

CLI::Validator cardNumberArgument() {
    return integerArgument(kCardNumberMin, kCardNumberMax);
}

CLI::Validator tableIndexArgument() {
    return integerArgument(0, MAX_CARDS - 1);
}

CLI::Validator idFilterArgument() {
    return CLI::Validator(
        [](const std::string& text) -> std::string {
            if (parseIdFilter(text)) return {};
            return fmt::format(
                "'{}' is not DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR "
                "in hexadecimal (for example 9050:10B5)",
                text);
        },
        std::string{});
}

}  // namespace cardnum
