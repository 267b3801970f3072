// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fmt/ostream.h>

#include "arguments.h"
#include "card_table.h"
#include "commands.h"
#include "diagnosis.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "json_output.h"
#include "port_status.h"
#include "swapped_ids.h"
#include "text_output.h"
#include "wide_scan.h"

namespace cardnum {
namespace {

void report(const CommonOptions& options, const Observation* seen,
            const std::vector<Finding>& findings, Streams io) {
    const bool ready = port::ready();
    if (options.format == Format::Json) {
        auto list = nlohmann::ordered_json::array();
        for (const Finding& f : findings) list.push_back(toJson(f));
        nlohmann::ordered_json json{
            {"port", {{"backend", port::backend()}, {"ready", ready}, {"status", port::status()}}},
            {"filter", toJson(options.filter)},
            {"cards", seen != nullptr ? nlohmann::ordered_json(seen->cards.size())
                                      : nlohmann::ordered_json(nullptr)},
            {"healthy", findings.empty()},
            {"findings", list}};
        *io.document = std::move(json);
        return;
    }
    fmt::print(io.out, "Port access (backend {}): {}\n", port::backend(), port::status());
    if (seen != nullptr) {
        fmt::print(io.out, "Cards the library finds with IDs {}: {}\n\n",
                   describeFilter(options.filter), seen->cards.size());
    } else {
        fmt::print(io.out, "\n");
    }
    printFindings(io.out, findings);
}

class Doctor final : public Command {
  public:
    void define(CLI::App& command, CommonOptions& common) override {
        addIdOption(command, common);
        addJsonFlag(command, common);
    }

    int run(const CommonOptions& options, Streams io) override;
};

const Registered<Doctor> kDoctor{"doctor", 40,
                                 "Explain why a card is not found: port access, cards the "
                                 "library cannot see, shared numbers, unnumbered cards and "
                                 "missing EEPROMs"};

}  // namespace

int Doctor::run(const CommonOptions& options, Streams io) {
    const auto seen = observeMachine(options.filter);
    if (!seen) {
        report(options, nullptr, {noPortAccess(port::backend(), port::status())}, io);
        return kNoPortAccess;
    }
    const auto findings = diagnose(*seen);
    report(options, &*seen, findings, io);
    if (seen->cards.empty()) warnIfSwapped(options, io.err);
    return findings.empty() ? kDone : kNotFound;
}

}  // namespace cardnum
