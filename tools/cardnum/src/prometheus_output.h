// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// What cardnum prints for a monitoring system: the Prometheus text exposition format, as
// node_exporter's textfile collector reads it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "card_table.h"
#include "diagnosis.h"

namespace cardnum {

struct FleetView {
    std::string backend;                // the port layer's backend
    bool ready = false;                 // the port layer reaches a machine
    double scanTime = 0;                // when the view was made, in Unix time
    std::optional<double> scanSeconds;  // the library's scan, when one was made
    std::vector<Card> cards;            // the library's table
    std::vector<Finding> problems;      // what doctor finds
};

// slotscan_card_info (one per card), slotscan_cards, slotscan_port_access_ready,
// slotscan_scan_timestamp_seconds, slotscan_scan_duration_seconds, slotscan_machine_problems
// and slotscan_problems (one per kind and slot, valued with how many problems of that kind
// are there). Slots are spelt bus:device.function throughout, as lspci prints them.
void printPrometheus(std::ostream& out, const FleetView& view);

}  // namespace cardnum
