// The entry of the simulated PC module (portvex-sim.so), which libportvex loads when
// PORTVEX=sim: names a rack file.
#include "backend.h"

extern "C" __attribute__((visibility("default"))) portvex::Backend* portvex_simulator_backend(
    const char* rackFile) {
    return portvex::makeRackBackend(std::string(rackFile)).release();
}
