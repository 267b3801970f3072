// Windows: this Portvex.dll carries only the simulated PC. Real port access on Windows
// goes through a kernel driver, which comes with the Portvex.dll installed beside the
// hardware; the hardware backend names therefore lead to a backend that touches no port.
#include "backend.h"
#include "port_instructions.h"

namespace portvex {
namespace {

const char* const kWhy =
    "This Portvex.dll reaches no hardware: port access on Windows needs a kernel driver. "
    "Use the Portvex.dll that came with the driver, or set PORTVEX=sim:C:\\path\\to\\rack.toml "
    "for the simulated PC.";

}  // namespace

std::unique_ptr<Backend> makeSysfsBackend(std::string, std::chrono::steady_clock::duration,
                                          std::string) {
    return makeUnavailableBackend("none", kWhy);
}

std::unique_ptr<PortInstructions> makeProcessorPortInstructions() {
    return nullptr;
}

std::unique_ptr<Backend> makeIopermBackend(std::unique_ptr<PortInstructions>, std::string,
                                           std::string) {
    return makeUnavailableBackend("none", kWhy);
}

}  // namespace portvex
