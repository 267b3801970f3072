// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum's writers (the text list, `list --json`, `doctor --json` and the Prometheus
// fleet view) fed from a fuzzed rack: the rack is loaded into the simulated PC, the
// library scans it as cardnum does, and each writer prints what it saw. Input as for
// rack_reader: the rack's text, then optionally a NUL and the EEPROM image's text.
//
// Properties: the JSON parses and lists the cards the scan found, with their slots; the
// Prometheus text passes the strict reader (exposition_check.h) and counts the same cards
// and problems; the text list names every card's slot.
#include <portvex/testing.h>
#include <simpc/rack.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "card_table.h"
#include "diagnosis.h"
#include "exposition_check.h"
#include "id_filter.h"
#include "json_output.h"
#include "port_status.h"
#include "prometheus_output.h"
#include "rack_input.h"
#include "support.h"
#include "text_output.h"

namespace {

using nlohmann::ordered_json;

// Prints `json` as cardnum does and reads it back.
ordered_json printedAndRead(const ordered_json& json) {
    std::ostringstream out;
    cardnum::printJson(out, json);
    try {
        return ordered_json::parse(out.str());
    } catch (const nlohmann::json::exception& e) {
        fuzz::broken("JSON that does not parse", std::string(e.what()) + "\n" + out.str());
    }
}

void checkJson(const cardnum::Observation& seen, const std::vector<cardnum::Finding>& problems) {
    const ordered_json list = printedAndRead(cardnum::cardListJson(seen.filter, seen.cards));
    fuzz::require(list.at("cards").size() == seen.cards.size(), "list --json: not every card");
    for (size_t i = 0; i < seen.cards.size(); ++i) {
        const ordered_json& card = list["cards"][i];
        fuzz::require(card.at("slot") == cardnum::slotOf(seen.cards[i]) &&
                          card.at("card_no") == seen.cards[i].number &&
                          card.at("index") == static_cast<int>(i),
                      "list --json: a card told otherwise than scanned", card.dump());
    }
    auto findings = ordered_json::array();
    for (const cardnum::Finding& f : problems) findings.push_back(cardnum::toJson(f));
    const ordered_json doctor = printedAndRead(ordered_json{{"findings", findings}});
    fuzz::require(doctor.at("findings").size() == problems.size(), "doctor --json: not every one");
}

void checkPrometheus(const cardnum::Observation& seen, double scanSeconds,
                     const std::vector<cardnum::Finding>& problems) {
    cardnum::FleetView view;
    view.backend = cardnum::port::backend();
    view.ready = true;
    view.scanTime = 1765324800.125;
    view.scanSeconds = scanSeconds;
    view.cards = seen.cards;
    view.problems = problems;
    std::ostringstream out;
    cardnum::printPrometheus(out, view);
    const std::string text = out.str();
    fuzz::Samples samples;
    const std::string fault = fuzz::checkExposition(text, &samples);
    fuzz::require(fault.empty(), "Prometheus text a strict reader refuses", fault + "\n" + text);
    fuzz::require(samples.at("slotscan_cards") == std::to_string(seen.cards.size()),
                  "slotscan_cards is not the number of cards", text);
    fuzz::require(samples.at("slotscan_machine_problems") == std::to_string(problems.size()),
                  "slotscan_machine_problems is not the number of problems", text);
    size_t cardLines = 0;
    for (const auto& [series, value] : samples) {
        if (series.starts_with("slotscan_card_info{")) ++cardLines;
    }
    fuzz::require(cardLines == seen.cards.size(), "not one slotscan_card_info per card", text);
}

void checkText(const cardnum::Observation& seen, const std::vector<cardnum::Finding>& problems) {
    std::ostringstream out;
    cardnum::printCardList(out, seen.filter, seen.cards);
    cardnum::printFindings(out, problems);
    const std::string text = out.str();
    for (const cardnum::Card& card : seen.cards) {
        fuzz::require(text.find(cardnum::slotOf(card)) != std::string::npos,
                      "the card list leaves out a card", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Until a rack is loaded, and between racks, no port reaches anything.
    ::setenv("PORTVEX", "none", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::RackInput in = fuzz::placeRack(data, size);
    std::unique_ptr<simpc::Machine> machine;
    try {
        machine = simpc::loadRack(in.rack);
    } catch (const simpc::RackError&) {
        return 0;
    } catch (const simpc::StoreError&) {
        return 0;
    }

    portvex::useMachine(machine.get());
    for (const PCIID& filter : {cardnum::defaultFilter(), PCIID{0, 0, 0, 0}}) {
        double scanSeconds = 0;
        const auto seen = cardnum::observeMachine(filter, &scanSeconds);
        fuzz::require(seen.has_value(), "the simulated PC gave no port access");
        const auto problems = cardnum::diagnose(*seen);
        checkJson(*seen, problems);
        checkPrometheus(*seen, scanSeconds, problems);
        checkText(*seen, problems);
    }
    portvex::useMachine(nullptr);
    return 0;
}
