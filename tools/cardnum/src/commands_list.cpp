// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <CLI/CLI.hpp>
#include <chrono>

#include "arguments.h"
#include "card_table.h"
#include "commands.h"
#include "diagnosis.h"
#include "exit_codes.h"
#include "json_output.h"
#include "port_status.h"
#include "prometheus_output.h"
#include "swapped_ids.h"
#include "text_output.h"

namespace cardnum {

namespace {

// Always a whole exposition, so that the monitoring system sees a machine without port
// access as such rather than as silence.
int printFleetView(const CommonOptions& options, Streams io) {
    FleetView view;
    double scanSeconds = 0;
    const auto seen = observeMachine(options.filter, &scanSeconds);
    view.scanTime =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    view.backend = port::backend();
    view.ready = seen.has_value();
    if (seen) {
        view.scanSeconds = scanSeconds;
        view.cards = seen->cards;
        view.problems = diagnose(*seen);
    } else {
        view.problems = {noPortAccess(view.backend, port::status())};
    }
    printPrometheus(io.out, view);
    if (seen && seen->cards.empty()) warnIfSwapped(options, io.err);
    return havePortAccess(io.err) ? kDone : kNoPortAccess;
}

class List final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override {
        addIdOption(command, common);
        CLI::Option* json = addJsonFlag(command, common);
        command
            .add_option_function<std::string>(
                "--format",
                [&common](const std::string& name) {
                    common.format = name == "json"         ? Format::Json
                                    : name == "prometheus" ? Format::Prometheus
                                                           : Format::Text;
                },
                "text (the default), json (as --json) or prometheus (Prometheus text "
                "format: cards, port access, scan time and doctor's problems)")
            ->type_name("FORMAT")
            ->check(CLI::IsMember({"text", "json", "prometheus"}))
            ->excludes(json);
        command
            .add_option("--output", common.output,
                        "Replace FILE with the result, atomically (a temporary file in the same "
                        "folder, then renamed), instead of printing it")
            ->type_name("FILE")
            ->check(outputFileArgument());
    }

    int run(const CommonOptions& options, Streams io) override;
};

const Registered<List> kList{"list", 10,
                             "List the cards in table order: index, card number, I/O base, IRQ "
                             "and slot (bus:device)"};

}  // namespace

int List::run(const CommonOptions& options, Streams io) {
    if (options.format == Format::Prometheus) return printFleetView(options, io);
    if (!havePortAccess(io.err)) return kNoPortAccess;
    const auto cards = scanCards(options.filter);
    if (options.format == Format::Json) {
        *io.document = cardListJson(options.filter, cards);
    } else {
        printCardList(io.out, options.filter, cards);
    }
    // The slots, bases and IRQs above still hold; the card numbers may not.
    if (lostPortAccess(io.err)) return kNoPortAccess;
    if (cards.empty()) warnIfSwapped(options, io.err);
    return kDone;
}

}  // namespace cardnum
