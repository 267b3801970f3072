// cardnum: list, find and renumber cards by the card number kept in their EEPROM, and
// explain why a card is not found.
#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "atomic_file.h"
#include "card_number.h"
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

struct Arguments {
    std::string id;
    bool json = false;
    std::string format = "text";
    std::string output;
    long number = 0;
    cardnum::SetRequest set;
};

void addIdOption(CLI::App& command, std::string& id) {
    command
        .add_option("--id", id,
                    "Look for cards with these IDs (hexadecimal; 0 matches any) instead of the "
                    "library's own 9050:10B5")
        ->type_name("DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR]")
        ->check(cardnum::idFilterArgument());
}

CLI::Option* addJsonFlag(CLI::App& command, bool& json) {
    return command.add_flag("--json", json, "Print JSON for scripts");
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

    Arguments args;

    CLI::App* list = app.add_subcommand("list",
                                        "List the cards in table order: index, card "
                                        "number, I/O base, IRQ and slot (bus:device)");
    addIdOption(*list, args.id);
    CLI::Option* listJson = addJsonFlag(*list, args.json);
    list->add_option("--format", args.format,
                     "text (the default), json (as --json) or prometheus (Prometheus text "
                     "format: cards, port access, scan time and doctor's problems)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "json", "prometheus"}))
        ->excludes(listJson);
    list->add_option("--output", args.output,
                     "Replace FILE with the result, atomically (a temporary file in the same "
                     "folder, then renamed), instead of printing it")
        ->type_name("FILE");

    CLI::App* find = app.add_subcommand("find",
                                        "Show the I/O base and IRQ of the card numbered "
                                        "NUMBER (exit status 1 when there is none)");
    find->add_option("NUMBER", args.number, "Card number, -32768 to 65535, decimal or 0x-hex")
        ->type_name("")
        ->required()
        ->transform(cardnum::cardNumberArgument());
    addIdOption(*find, args.id);
    addJsonFlag(*find, args.json);

    CLI::App* set = app.add_subcommand("set",
                                       "Give a card a new number, chosen by its present "
                                       "number (--card) or its table index (--index)");
    CLI::Option_group* which = set->add_option_group("card", "The card to renumber");
    which->add_option("--card", args.set.oldNumber, "The card that carries number OLD now")
        ->type_name("OLD")
        ->transform(cardnum::cardNumberArgument());
    which->add_option("--index", args.set.index, "The card at table index I (0 to 8)")
        ->type_name("I")
        ->transform(cardnum::tableIndexArgument());
    which->require_option(1);
    set->add_option("NEW", args.set.newNumber, "New card number, -32768 to 65535")
        ->type_name("")
        ->required()
        ->transform(cardnum::cardNumberArgument());
    set->add_flag("--force", args.set.force, "Renumber even when another card carries NEW");
    set->add_flag("--dry-run", args.set.dryRun, "Show what would change and write nothing");
    addIdOption(*set, args.id);

    CLI::App* doctor = app.add_subcommand(
        "doctor",
        "Explain why a card is not found: port access, cards the library cannot see, "
        "shared numbers, unnumbered cards and missing EEPROMs");
    addIdOption(*doctor, args.id);
    addJsonFlag(*doctor, args.json);

    CLI::App* rule = app.add_subcommand(
        "rule",
        "Print the udev rule that lets the portvex group use every I/O range of the cards, "
        "with the lines that install and apply it");
    addIdOption(*rule, args.id);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // The flag is counted as it is met, before the line is found wrong elsewhere.
        json = list->count("--json") + find->count("--json") + doctor->count("--json") > 0;
        app.exit(e, std::cout, json ? outcome.complaints : std::cerr);
        return cardnum::kUsage;
    }
    json = args.json || args.format == "json";
    outcome.outputFile = args.output;
    std::ostream& err = json ? static_cast<std::ostream&>(outcome.complaints) : std::cerr;
    std::ostream& out = args.output.empty() ? std::cout : outcome.result;

    if (app.get_subcommands().empty()) {
        err << failureMessage(&app,
                              CLI::RequiredError("A command (list, find, set, doctor or rule)"));
        return cardnum::kUsage;
    }

    try {
        const cardnum::CommonOptions common{
            args.id.empty() ? cardnum::defaultFilter() : *cardnum::parseIdFilter(args.id), json,
            args.format == "prometheus"};
        const cardnum::Streams io{out, err, json ? &outcome.document : nullptr};
        if (list->parsed()) return cardnum::runList(common, io);
        if (find->parsed()) return cardnum::runFind(common, args.number, io);
        if (set->parsed()) return cardnum::runSet(common.filter, args.set, io);
        if (rule->parsed()) return cardnum::runRule(common.filter, args.id, io);
        return cardnum::runDoctor(common, io);
    } catch (const std::exception& e) {
        err << "cardnum: " << e.what() << '\n';
        return cardnum::kNotFound;
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
        cardnum::replaceFileAtomically(outcome.outputFile, text);
    } catch (const std::exception& e) {
        std::cerr << "cardnum: " << e.what() << '\n';
        return status == cardnum::kDone ? cardnum::kOutputFailed : status;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Outcome outcome;
    int status = run(argc, argv, outcome);
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
