// The four commands. Each writes its result to `out` (with --json, to `document` instead),
// its complaints to `err`, and returns the exit status (exit_codes.h).
#pragma once

#include <slotscan.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "diagnosis.h"

namespace cardnum {

struct Streams {
    std::ostream& out;
    std::ostream& err;
    nlohmann::ordered_json* document = nullptr;  // set exactly when --json was given
};

struct CommonOptions {
    PCIID filter{};
    bool json = false;
    bool prometheus = false;  // list only: the Prometheus text format
};

struct SetRequest {
    std::optional<long> oldNumber;  // --card OLD
    std::optional<long> index;      // --index I
    long newNumber = 0;
    bool force = false;
    bool dryRun = false;
};

int runList(const CommonOptions& options, Streams io);
int runFind(const CommonOptions& options, long number, Streams io);
int runSet(const PCIID& filter, const SetRequest& request, Streams io);
int runDoctor(const CommonOptions& options, Streams io);
// Prints the udev rule for cards with `filter`'s IDs; `idArgument` is --id as given.
int runRule(const PCIID& filter, const std::string& idArgument, Streams io);

// What doctor looks at: the library's table, each card's EEPROM-present bit and the wider
// scan; `scanSeconds` receives how long the library's scan took. Nothing when the port
// layer reaches no machine, before the scan or (refused at a card's first access) during it.
std::optional<Observation> observeMachine(const PCIID& filter, double* scanSeconds = nullptr);

// False, with the port layer's reason on `err`, when ports reach no machine.
bool havePortAccess(std::ostream& err);

// True, with the port layer's reason on `err`, when access was refused during the scan
// just made (a hardware backend may learn only at a card's first access that this user
// cannot reach it): what the scan read from cards is then not to be trusted.
bool lostPortAccess(std::ostream& err);

}  // namespace cardnum
