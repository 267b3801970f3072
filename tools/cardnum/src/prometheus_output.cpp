// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "prometheus_output.h"

#include <fmt/ostream.h>

#include <map>
#include <utility>

#include "card_number.h"

namespace cardnum {
namespace {

// A label value: backslash, double quote and line feed escaped.
std::string labelValue(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

void family(std::ostream& out, std::string_view name, std::string_view help) {
    fmt::print(out, "# HELP {} {}\n# TYPE {} gauge\n", name, help, name);
}

}  // namespace

void printPrometheus(std::ostream& out, const FleetView& view) {
    family(out, "slotscan_card_info",
           "A card the library finds, with its card number, table index, slot, I/O base and IRQ.");
    for (const Card& card : view.cards) {
        fmt::print(out,
                   "slotscan_card_info{{card_no=\"{}\",index=\"{}\",slot=\"{}\",io_base=\"{}\","
                   "irq=\"{}\"}} 1\n",
                   card.number, card.index, functionOf(card), hex4(card.ioBase), card.irq);
    }
    family(out, "slotscan_cards", "How many cards the library finds.");
    fmt::print(out, "slotscan_cards {}\n", view.cards.size());
    family(out, "slotscan_port_access_ready",
           "1 when the port layer reaches the machine, 0 when it does not.");
    fmt::print(out, "slotscan_port_access_ready{{backend=\"{}\"}} {}\n", labelValue(view.backend),
               view.ready ? 1 : 0);
    family(out, "slotscan_scan_timestamp_seconds", "When this view was made, in Unix time.");
    fmt::print(out, "slotscan_scan_timestamp_seconds {:.3f}\n", view.scanTime);
    if (view.scanSeconds) {
        family(out, "slotscan_scan_duration_seconds",
               "How long the library's scan of the buses took.");
        fmt::print(out, "slotscan_scan_duration_seconds {}\n", *view.scanSeconds);
    }
    // A problem is reported at the card to act on; several of one kind at one slot make
    // one series.
    std::map<std::pair<std::string, std::string>, int> problems;
    for (const Finding& f : view.problems) ++problems[{f.kind, f.where}];
    family(out, "slotscan_machine_problems",
           "How many problems 'cardnum doctor' finds on this machine: 0 when there are none.");
    fmt::print(out, "slotscan_machine_problems {}\n", view.problems.size());
    family(out, "slotscan_problems",
           "Problems 'cardnum doctor' finds, by kind and slot (bus:device.function of the card to "
           "act on, empty for the machine).");
    for (const auto& [key, count] : problems) {
        fmt::print(out, "slotscan_problems{{kind=\"{}\",slot=\"{}\"}} {}\n", labelValue(key.first),
                   labelValue(key.second), count);
    }
}

}  // namespace cardnum
