// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Windows: the simulated PC built in, and no port instructions. Real port access on
// Windows goes through a kernel driver, which comes with the Portvex.dll installed beside
// the hardware, so PORTVEX=ioperm leads to a backend that touches no port; the sysfs
// backend (sysfs_files_win32.cpp) reaches devices only under Wine on Linux.
#include "backend.h"
#include "port_instructions.h"
#include "unavailable_backend.h"

namespace portvex {
namespace {

const char* const kWhy =
    "PORTVEX=ioperm reaches no port on Windows: port instructions there need a kernel driver. "
    "Use the Portvex.dll that came with the driver; under Wine on Linux, leave PORTVEX unset "
    "for the kernel's PCI files, or set PORTVEX=sim:C:\\path\\to\\rack.toml for the "
    "simulated PC.";

}  // namespace

// Portvex.dll carries the simulated PC itself: there is no module to load.
std::unique_ptr<Backend> loadSimulatorModule(const std::string& rackFile) {
    return makeRackBackend(rackFile);
}

std::unique_ptr<PortInstructions> makeProcessorPortInstructions() {
    return nullptr;
}

std::unique_ptr<Backend> makeIopermBackend(std::unique_ptr<PortInstructions>, std::string,
                                           std::string) {
    return makeUnavailableBackend("none", kWhy);
}

}  // namespace portvex
