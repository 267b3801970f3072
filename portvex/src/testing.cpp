// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// portvex::useMachine, for tests and benchmarks that build a simulated machine in code.
// Linked into them (with the simulated PC), never into libportvex itself.
#include <portvex/testing.h>

#include "backend.h"

namespace portvex {

void useMachine(simpc::Machine* machine) {
    static std::unique_ptr<Backend> holder;
    std::unique_ptr<Backend> next = machine != nullptr ? makeMachineBackend(*machine) : nullptr;
    injectBackend(next.get());
    holder = std::move(next);
}

}  // namespace portvex
