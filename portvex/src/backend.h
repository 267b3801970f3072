// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A way to reach I/O ports. One backend serves the whole process; it is chosen from the
// environment at the first port access (select.cpp holds the list of backends).
#pragma once

#include <portvex.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace simpc {
class Machine;
}

namespace portvex {

// What every backend promises; inportdw, outportdw and the status calls pass straight
// through to the one the process chose.
//
// read(port)        Performs exactly one 32-bit read at `port`, now, and returns all 32
//                   bits. Never fails: where the access is not possible (no permission,
//                   no device, a refusal) it returns 0xFFFFFFFF, what an empty bus reads.
// write(port, v)    Performs exactly one 32-bit write, now, in program order: no caching,
//                   merging, reordering, and no dropping of a write that repeats the last
//                   one (the EEPROM protocol clocks by writing the same register twice).
//                   Where the access is not possible the write is lost, silently.
// name()            A short, constant name users see: "sysfs", "ioperm", "sim", "none".
// ready()           Whether accesses reach a machine. It may turn false at a refused
//                   access, never back to true; status() then says which and why.
// status()          One or two sentences: what the backend reaches, or why it cannot and
//                   what the user can do. A returned reference stays valid for the life of
//                   the process, even after the status changes.
//
// read and write may be called from any thread, but the library above never overlaps
// calls. A backend is made once and lives until the process ends.
class Backend {
  public:
    Backend() = default;
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;
    virtual ~Backend() = default;

    virtual uint32_t read(uint32_t port) = 0;
    virtual void write(uint32_t port, uint32_t value) = 0;
    virtual const char* name() const = 0;
    virtual bool ready() const = 0;
    virtual const std::string& status() const = 0;
    // The size in bytes of the I/O range a device decodes from `port` on, when the backend
    // knows it (the sysfs backend, from the kernel's `resource` file); 0 when it does not.
    virtual uint32_t ioRangeSize(uint32_t /*port*/) { return 0; }
};

// The simulated PC described by a rack file; PORTVEX_TRACE, when set, names the trace file.
// Built into the simulated PC module (portvex-sim) and the test build, never into
// libportvex itself.
std::unique_ptr<Backend> makeRackBackend(const std::string& rackFile);

// A simulated PC the program built itself (not owned), for portvex::useMachine.
std::unique_ptr<Backend> makeMachineBackend(simpc::Machine& machine);

// PORTVEX=sim: in libportvex: loads the simulated PC module, only when a process asks for
// it, so that programs on real hardware never load it (simulator_loader.cpp).
std::unique_ptr<Backend> loadSimulatorModule(const std::string& rackFile);

// The machine behind a simulator backend; nullptr for any other backend.
simpc::Machine* simulatedMachine(Backend& backend);
// In the simulated PC module: the machine of the backend it made, for card models.
simpc::Machine* moduleMachine();

// Routes the process's port accesses to `backend` (not owned) instead of the one PORTVEX
// chose; nullptr hands them back. The hook behind portvex::useMachine: hidden in
// libportvex, reached only by the static test build (portvex_testing).
void injectBackend(Backend* backend);

// What the simulated PC module exports: a backend for a rack file, to be deleted by the
// caller. Never nullptr; a rack that cannot be loaded gives a backend that says why.
using SimulatorEntry = Backend* (*)(const char* rackFile);
inline constexpr const char* kSimulatorEntryName = "portvex_simulator_backend";

// A device whose I/O range a backend checks when it starts, so that a user who may not use
// it is told before any access: the IDs as in the first configuration dword, and the BAR.
struct RangeToCheck {
    uint16_t vendor = 0;
    uint16_t device = 0;
    unsigned bar = 0;
};

// Real hardware through the kernel's PCI files under `sysfsRoot` (normally "/sys"):
// configuration mechanism #1 emulated over bus/pci/devices/*/config, and ports inside a
// device's I/O BAR carried by its resourceN file. Other ports read 0xFFFFFFFF and drop
// writes. The list of devices is read again when an access finds no device and the list
// is older than `relistAfter`.
// `procRoot` (normally "/proc") is where the kernel command line is read when securityfs
// does not show the lockdown state. The ranges of `checkAtStart` that this process may not
// use are told in the status before the first access.
std::unique_ptr<Backend> makeSysfsBackend(
    std::string sysfsRoot,
    std::chrono::steady_clock::duration relistAfter = std::chrono::seconds(1),
    std::string procRoot = "/proc", std::vector<RangeToCheck> checkAtStart = {});

class PortInstructions;

// Real hardware through `cpu`. Each thread is granted the ports it uses the first time it
// uses them; `sysfsRoot` is where the kernel's lockdown state is read to explain refusals.
std::unique_ptr<Backend> makeIopermBackend(std::unique_ptr<PortInstructions> cpu,
                                           std::string sysfsRoot, std::string procRoot = "/proc");

// Where the kernel's files are: "/sys" and "/proc", unless PORTVEX_SYSFS_ROOT and
// PORTVEX_PROC_ROOT name stand-in trees (used by the tests so that they never reach the
// real machine).
std::string sysfsRootFromEnvironment();
std::string procRootFromEnvironment();

// Chooses from the value of PORTVEX (nullptr when unset).
std::unique_ptr<Backend> makeBackendFor(const char* portvexVariable);

}  // namespace portvex
