// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The entry of the simulated PC module (portvex-sim.so), which libportvex loads when
// PORTVEX=sim: names a rack file. Card models reach the machine through the backend it
// returns (Backend::setCardModel).
#include "backend.h"

extern "C" __attribute__((visibility("default"))) portvex::Backend* PORTVEX_SIMULATOR_ENTRY(
    const char* rackFile) {
    return portvex::makeRackBackend(std::string(rackFile)).release();
}
