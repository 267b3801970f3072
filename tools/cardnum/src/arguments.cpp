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
    CLI::Option* pci =
        command
            .add_option("--pci", common.pci,
                        fmt::format("Look for cards with these IDs, written as lspci -n writes "
                                    "them (hexadecimal; an empty field, * or 0 matches any), "
                                    "instead of the library's own {}",
                                    describeFilter(defaultFilter())))
            ->type_name("VENDOR:DEVICE[:SUBVENDOR:SUBDEVICE]")
            ->check(pciFilterArgument());
    command
        .add_option("--id", common.id,
                    "The same in the order of the library's PCIID record, device first; kept "
                    "for scripts (prefer --pci)")
        ->type_name("DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR]")
        ->check(idFilterArgument())
        ->excludes(pci);
}

PCIID chosenFilter(const CommonOptions& common) {
    if (!common.pci.empty()) return parsePciFilter(common.pci).value();
    if (!common.id.empty()) return parseIdFilter(common.id).value();
    return defaultFilter();
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

CLI::Validator outputFileArgument() {
    return CLI::Validator(
        [](const std::string& name) {
            return name.empty() ? std::string("FILE must not be empty") : std::string();
        },
        "", "not empty");
}

CLI::Validator pciFilterArgument() {
    return CLI::Validator(
        [](const std::string& text) -> std::string {
            if (parsePciFilter(text)) return {};
            return fmt::format(
                "'{}' is not VENDOR:DEVICE or VENDOR:DEVICE:SUBVENDOR:SUBDEVICE in "
                "hexadecimal, as lspci -n writes them (for example {})",
                text, describeFilter(defaultFilter()));
        },
        std::string{});
}

// Its examples are spelled in the record's order on purpose: that is what --id reads.
CLI::Validator idFilterArgument() {
    return CLI::Validator(
        [](const std::string& text) -> std::string {
            if (parseIdFilter(text)) return {};
            const PCIID own = defaultFilter();
            return fmt::format(
                "'{}' is not DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR in "
                "hexadecimal, the record's order (for example {:04x}:{:04x}); "
                "--pci takes IDs as lspci writes them",
                text, own.DeviceID, own.VendorID);
        },
        std::string{});
}

}  // namespace cardnum
