// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum: list, find and renumber cards by the card number kept in their EEPROM, and
// explain why a card is not found.
#include <files/atomic_file.h>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>
#include <string_view>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "arguments.h"
#include "commands.h"
#include "exit_codes.h"
#include "id_filter.h"
#include "json_output.h"

namespace {

std::string helpFooter() {
    std::string text = "Exit status:";
    for (std::size_t status = 0; status < std::size(cardnum::kExitMeanings); ++status) {
        text +=
            fmt::format("{} {} {}", status == 0 ? "" : ";", status, cardnum::kExitMeanings[status]);
    }
    return text +
           ".\nThe port layer is chosen with PORTVEX (PORTVEX=sim:RACK.toml runs on a simulated "
           "PC).";
}

// What run() leaves for main() to print: with --json the document and the complaints, with
// --output the result to put in that file.
struct Outcome {
    bool json = false;
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    std::ostringstream complaints;
    std::string outputFile;
    std::ostringstream result;
};

std::string failureMessage(const CLI::App*, const CLI::Error& e) {
    return std::string("cardnum: ") + e.what() + "\nRun 'cardnum --help' for more information.\n";
}

// Parses the command line and runs the command, leaving in `outcome` what main() prints.
int run(int argc, char** argv, Outcome& outcome) {
    bool& json = outcome.json;
    CLI::App app{
        "List, find and renumber cards by the card number kept in their EEPROM, and "
        "explain why a card is not found.",
        "cardnum"};
    app.set_version_flag("--version", "cardnum " CARDNUM_VERSION);
    app.require_subcommand(0, 1);
    app.footer(helpFooter());
    app.failure_message(failureMessage);

    cardnum::CommonOptions common;
    struct Offered {
        CLI::App* app;
        std::unique_ptr<cardnum::Command> command;
    };
    std::vector<Offered> offered;
    std::vector<std::string> names;
    for (const cardnum::Registration& r : cardnum::registeredCommands()) {
        Offered o{app.add_subcommand(std::string(r.name), std::string(r.description)), r.make()};
        o.command->define(*o.app, common);
        offered.push_back(std::move(o));
        names.emplace_back(r.name);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // The flag is counted as it is met, before the line is found wrong elsewhere.
        json = std::any_of(offered.begin(), offered.end(), [](const Offered& o) {
            const CLI::Option* flag = o.app->get_option_no_throw("--json");
            return flag != nullptr && flag->count() > 0;
        });
        app.exit(e, std::cout, json ? outcome.complaints : std::cerr);
        return cardnum::kUsage;
    }
    json = common.format == cardnum::Format::Json;
    outcome.outputFile = common.output;
    std::ostream& err = json ? static_cast<std::ostream&>(outcome.complaints) : std::cerr;
    std::ostream& out = common.output.empty() ? std::cout : outcome.result;

    const auto chosen = std::find_if(offered.begin(), offered.end(),
                                     [](const Offered& o) { return o.app->parsed(); });
    if (chosen == offered.end()) {
        err << failureMessage(
            &app, CLI::RequiredError(fmt::format("A command ({} or {})",
                                                 fmt::join(names.begin(), names.end() - 1, ", "),
                                                 names.back())));
        return cardnum::kUsage;
    }

    try {
        common.filter = cardnum::chosenFilter(common);
        const cardnum::Streams io{out, err, json ? &outcome.document : nullptr};
        return chosen->command->run(common, io);
    } catch (const std::bad_alloc&) {
        err << "cardnum: internal error: out of memory\n";
        return cardnum::kInternal;
    } catch (const std::exception& e) {
        err << "cardnum: internal error: " << e.what() << '\n';
        return cardnum::kInternal;
    }
}

// The reason of a --json error member: what cardnum said on standard error, or else what
// the status means.
std::string reasonFor(int status, const std::string& complaints) {
    constexpr std::string_view kPrefix = "cardnum: ";
    std::string reason;
    std::istringstream lines(complaints);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kPrefix, 0) != 0) continue;
        reason += (reason.empty() ? "" : "\n") + line.substr(kPrefix.size());
    }
    if (!reason.empty() || status < 0 || status >= std::ssize(cardnum::kExitMeanings))
        return reason;
    return std::string(cardnum::kExitMeanings[status]);
}

// Standard output is written through a buffer: a full disk or a closed pipe shows only when
// it is flushed. Reports that, and turns success into kOutputFailed.
int finishStandardOutput(int status) {
    std::cout.flush();
    errno = 0;
    const bool failed = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0 ||
                        std::fclose(stdout) != 0;
    if (!failed) return status;
    const int error = errno;
    std::cerr << "cardnum: cannot write standard output: "
              << (error != 0 ? std::strerror(error) : "write error") << '\n';
    return status == cardnum::kDone ? cardnum::kOutputFailed : status;
}

// --output: the file gets whatever the command printed, unless it printed nothing.
int writeOutputFile(const Outcome& outcome, int status) {
    const std::string text = outcome.result.str();
    if (text.empty()) return status;
    try {
        files::writeWhole(outcome.outputFile, text);
    } catch (const std::exception& e) {
        std::cerr << "cardnum: " << e.what() << '\n';
        return status == cardnum::kDone ? cardnum::kOutputFailed : status;
    }
    return status;
}

int runAndPrint(int argc, char** argv) {
    Outcome outcome;
    int status = run(argc, argv, outcome);
    if (cardnum::isStandardOutput(outcome.outputFile)) {
        std::cout << outcome.result.str();
        outcome.outputFile.clear();
    }
    std::ostream& out = outcome.outputFile.empty() ? std::cout : outcome.result;
    if (outcome.json) {
        std::cerr << outcome.complaints.str();
        if (status != cardnum::kDone) {
            outcome.document["error"] = {{"reason", reasonFor(status, outcome.complaints.str())},
                                         {"exit_status", status}};
        }
        cardnum::printJson(out, outcome.document);
    }
    if (!outcome.outputFile.empty()) status = writeOutputFile(outcome, status);
    return finishStandardOutput(status);
}

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
    // A reader that closes the pipe ends cardnum as it ends any filter, silently, whatever
    // the parent left SIGPIPE set to.
    std::signal(SIGPIPE, SIG_DFL);
#endif
    try {
        return runAndPrint(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("cardnum: internal error: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cardnum: internal error: %s\n", e.what());
    }
    return cardnum::kInternal;
}
