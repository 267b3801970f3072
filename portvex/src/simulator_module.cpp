// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The entry of the simulated PC module (portvex-sim.so), which libportvex loads when
// PORTVEX=sim: names a rack file.
#include "backend.h"

namespace portvex {
namespace {
simpc::Machine* theMachine = nullptr;
}

simpc::Machine* moduleMachine() {
    return theMachine;
}

}  // namespace portvex

extern "C" __attribute__((visibility("default"))) portvex::Backend* portvex_simulator_backend(
    const char* rackFile) {
    auto backend = portvex::makeRackBackend(std::string(rackFile));
    // Kept for the card models (simulator_models.cpp); the backend lives as long as the process.
    portvex::theMachine = portvex::simulatedMachine(*backend);
    return backend.release();
}
