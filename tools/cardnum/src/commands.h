// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// cardnum's commands. Each commands_*.cpp defines one and registers it; main() offers
// every registered command, in the order of their ranks. A command writes its result to
// `out` (with --json, to `document` instead), its complaints to `err`, and returns the exit
// status (exit_codes.h).
#pragma once

#include <slotscan.h>

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace cardnum {

enum class Format { Text, Json, Prometheus };

struct Streams {
    std::ostream& out;
    std::ostream& err;
    nlohmann::ordered_json* document = nullptr;  // set exactly when the format is JSON
};

// What several commands accept, filled in by the command line.
struct CommonOptions {
    std::string pci;  // --pci as given, or empty
    std::string id;   // --id as given, or empty
    PCIID filter{};   // --pci or --id as read, or the library's own IDs
    Format format = Format::Text;
    std::string output;  // list --output FILE, or empty: print the result
};

class Command {
  public:
    virtual ~Command() = default;
    // Adds the command's own options to its subcommand; options shared with other commands
    // write to `common`.
    virtual void define(CLI::App& command, CommonOptions& common) = 0;
    virtual int run(const CommonOptions& common, Streams io) = 0;
};

struct Registration {
    std::string_view name;
    std::string_view description;  // one line for --help
    int rank = 0;                  // place among the commands in --help
    std::unique_ptr<Command> (*make)() = nullptr;
};

// Every registered command, by rank.
std::vector<Registration> registeredCommands();

// Registers a command when the program starts: one constant of this type per command file.
template <typename C>
struct Registered {
    Registered(std::string_view name, int rank, std::string_view description);
};

void registerCommand(const Registration& registration);

template <typename C>
Registered<C>::Registered(std::string_view name, int rank, std::string_view description) {
    registerCommand({name, description, rank, [] { return std::unique_ptr<Command>(new C()); }});
}

}  // namespace cardnum
