// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <simpc/machine.h>
#include <simpc/rack.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>

#include "backend.h"
#include "unavailable_backend.h"

namespace portvex {
namespace {

// Port accesses into a simulated PC: one the backend loaded from a rack file and owns, or
// one a program built itself and lends.
class SimulatorBackend final : public Backend {
  public:
    SimulatorBackend(simpc::Machine& machine, std::string status)
        : machine_(machine), status_(std::move(status)) {}
    SimulatorBackend(std::unique_ptr<simpc::Machine> owned, std::string status,
                     std::unique_ptr<std::ofstream> traceFile)
        : machine_(*owned),
          owned_(std::move(owned)),
          traceFile_(std::move(traceFile)),
          status_(std::move(status)) {}

    ~SimulatorBackend() override {
        if (owned_) machine_.setTrace(nullptr);
    }

    uint32_t read(uint32_t port) override { return machine_.in(port); }
    void write(uint32_t port, uint32_t value) override { machine_.out(port, value); }
    const char* name() const override { return "sim"; }
    bool ready() const override { return true; }
    const std::string& status() const override { return status_; }
    std::optional<std::string> setCardModel(const char* card,
                                            std::optional<CallbackModel> model) override {
        return portvex::setCardModel(machine_, card, model);
    }

    void traceTo(std::ostream* out) { machine_.setTrace(out); }

  private:
    simpc::Machine& machine_;
    std::unique_ptr<simpc::Machine> owned_;
    std::unique_ptr<std::ofstream> traceFile_;
    std::string status_;
};

}  // namespace

std::unique_ptr<Backend> makeMachineBackend(simpc::Machine& machine) {
    return std::make_unique<SimulatorBackend>(machine,
                                              "Simulated PC set up by the program itself.");
}

std::unique_ptr<Backend> makeRackBackend(const std::string& rackFile) {
    if (rackFile.empty()) {
        return makeUnavailableBackend(
            "sim", "PORTVEX=sim: names no rack file; set PORTVEX=sim:/path/to/rack.toml.");
    }
    std::unique_ptr<simpc::Machine> machine;
    try {
        machine = simpc::loadRack(rackFile);
    } catch (const std::exception& e) {
        return makeUnavailableBackend("sim",
                                      std::string(e.what()) +
                                          " The simulated PC is not running: mend the file "
                                          "named above or point PORTVEX=sim: at another rack.");
    }

    std::string status = "Simulated PC from rack file " + rackFile + ".";
    std::unique_ptr<std::ofstream> traceFile;
    std::ostream* trace = nullptr;
    if (const char* tracePath = std::getenv("PORTVEX_TRACE"); tracePath != nullptr && *tracePath) {
        if (std::string(tracePath) == "-") {
            trace = &std::cerr;
        } else {
            traceFile = std::make_unique<std::ofstream>(tracePath, std::ios::app);
            if (*traceFile) {
                trace = traceFile.get();
            } else {
                // Said once, when the simulated PC starts, and kept in the status for doctor.
                const std::string problem = std::string("Cannot open trace file ") + tracePath +
                                            " (PORTVEX_TRACE): " + std::strerror(errno) +
                                            "; tracing is off.";
                std::cerr << "portvex: " << problem << '\n';
                status += " " + problem;
                traceFile.reset();
            }
        }
    }
    auto backend = std::make_unique<SimulatorBackend>(std::move(machine), std::move(status),
                                                      std::move(traceFile));
    backend->traceTo(trace);
    return backend;
}

}  // namespace portvex
