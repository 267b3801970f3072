#include <cstdlib>
#include <string_view>

#include "backend.h"

namespace portvex {

std::string sysfsRootFromEnvironment() {
    const char* root = std::getenv("PORTVEX_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? root : "/sys";
}

std::unique_ptr<Backend> makeBackendFor(const char* portvexVariable) {
    const std::string_view value(portvexVariable != nullptr ? portvexVariable : "");
    if (value.empty() || value == "sysfs") return makeSysfsBackend(sysfsRootFromEnvironment());
    if (value == "ioperm") {
        return makeIopermBackend(makeProcessorPortInstructions(), sysfsRootFromEnvironment());
    }
    if (value == "none") {
        return makeUnavailableBackend(
            "none", "PORTVEX=none turns port access off: reads give 0xFFFFFFFF and no card is "
                    "found. Unset PORTVEX for real hardware, or set PORTVEX=sim:/path/to/rack.toml.");
    }
    constexpr std::string_view kSim = "sim:";
    if (value.substr(0, kSim.size()) == kSim) {
        return makeSimulatorBackend(std::string(value.substr(kSim.size())));
    }
    return makeUnavailableBackend(
        "none", "PORTVEX=" + std::string(value) +
                    " names no backend Portvex knows, so no port is touched. Unset PORTVEX (or "
                    "set PORTVEX=sysfs) for real hardware through the kernel's PCI files, or use "
                    "PORTVEX=ioperm, PORTVEX=sim:/path/to/rack.toml or PORTVEX=none.");
}

}  // namespace portvex
