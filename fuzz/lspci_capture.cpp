// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The bus-dump reader and the capture writer: an lspci dump read as `cardnum capture
// --from-lspci-dump` reads it, written as a rack file and EEPROM image, and that rack
// loaded into the simulated PC. Input: the dump's text.
//
// Properties: a refused dump names a line of it and says what was expected; a dump that
// is read gives a rack and image the simulated PC loads, and each function of the dump
// answers there with the IDs and subsystem IDs the dump gave it.
#include <simpc/rack.h>

#include <string>
#include <variant>

#include "captured_machine.h"
#include "id_filter.h"
#include "lspci_dump.h"
#include "support.h"

namespace {

using simpc::Machine;
namespace capture = cardnum::capture;

uint32_t readConfig(Machine& machine, const capture::CapturedFunction& f, uint32_t offset) {
    machine.out(Machine::kConfigAddress, 0x80000000U | uint32_t{f.bus} << 16 |
                                             uint32_t{f.device} << 11 | uint32_t{f.function} << 8 |
                                             offset);
    return machine.in(Machine::kConfigData);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto reading = capture::readLspciDump(text);
    if (const auto* error = std::get_if<capture::DumpError>(&reading)) {
        size_t lines = 1;
        for (const char c : text) lines += c == '\n' ? 1 : 0;
        fuzz::require(error->line >= 1 && error->line <= lines + 1 && !error->message.empty(),
                      "a refused dump names no line of it", error->message);
        return 0;
    }
    auto& dump = std::get<capture::LspciDump>(reading);
    capture::CapturedMachine captured;
    captured.description = "lspci dump \"fuzz\"\n";
    captured.notes = dump.leftOut;
    captured.functions = dump.functions;
    for (auto& f : captured.functions) {
        f.isCard = cardnum::matchesFilter(cardnum::defaultFilter(), f.vendor(), f.deviceId(),
                                          f.subsystemId(), f.subsystemVendor());
    }

    // A machine the simulated PC cannot replay is refused by the capture, which writes nothing.
    if (capture::replayClash(captured)) return 0;

    const auto rack = fuzz::scratch() / "captured.toml";
    const auto image = fuzz::scratch() / "captured.eeprom.json";
    const std::string rackText = capture::rackText(captured, image.filename().string());
    fuzz::writeFile(rack, rackText);
    fuzz::writeFile(image, capture::imageText(captured));
    std::unique_ptr<Machine> machine;
    try {
        machine = simpc::loadRack(rack);
    } catch (const simpc::RackError& e) {
        fuzz::broken("a dump that was read gave a rack the simulated PC refuses",
                     std::string(e.what()) + "\n" + rackText);
    }
    for (const auto& f : captured.functions) {
        fuzz::require(readConfig(*machine, f, 0) == f.header[0],
                      "a captured function answers with other IDs", rackText);
        fuzz::require(readConfig(*machine, f, 0x2C) == f.header[11],
                      "a captured function answers with other subsystem IDs", rackText);
    }
    return 0;
}
