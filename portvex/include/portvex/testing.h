// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// For tests that build a simulated machine in code: route this process's port accesses
// to `machine` (not owned) instead of the backend PORTVEX chose. nullptr hands the
// accesses back to that backend. From the static library portvex_testing.
#pragma once

namespace simpc {
class Machine;
}

namespace portvex {

void useMachine(simpc::Machine* machine);

}  // namespace portvex
