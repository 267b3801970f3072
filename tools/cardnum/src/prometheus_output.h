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
    std::optional<double> scanSeconds;  // the library's scan, when one was made
    std::vector<Card> cards;            // the library's table
    std::vector<Finding> problems;      // what doctor finds
};

// slotscan_card (one per card), slotscan_cards, slotscan_port_access_ready,
// slotscan_scan_duration_seconds and slotscan_problem (one per kind and slot, valued with
// how many problems of that kind are there).
void printPrometheus(std::ostream& out, const FleetView& view);

}  // namespace cardnum
