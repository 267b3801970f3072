// The exported port operations and the status calls for tools.
#include <portvex.h>
#include <portvex/testing.h>
#include <simpc/machine.h>

#include <atomic>
#include <cstdlib>

#include "backend.h"

namespace portvex {
namespace {

// The backend PORTVEX names, made at the first access.
Backend& environmentBackend() {
    static const std::unique_ptr<Backend> backend = makeBackendFor(std::getenv("PORTVEX"));
    return *backend;
}

class InjectedMachine final : public Backend {
public:
    explicit InjectedMachine(simpc::Machine& machine) : machine_(machine) {}
    uint32_t read(uint32_t port) override { return machine_.in(port); }
    void write(uint32_t port, uint32_t value) override { machine_.out(port, value); }
    const char* name() const override { return "sim"; }
    bool ready() const override { return true; }
    const std::string& status() const override { return status_; }

private:
    simpc::Machine& machine_;
    std::string status_ = "Simulated PC set up by the program itself.";
};

std::atomic<Backend*> injected{nullptr};

Backend& active() {
    Backend* backend = injected.load(std::memory_order_acquire);
    return backend != nullptr ? *backend : environmentBackend();
}

}  // namespace

void useMachine(simpc::Machine* machine) {
    static std::unique_ptr<Backend> holder;
    Backend* next = machine != nullptr ? new InjectedMachine(*machine) : nullptr;
    injected.store(next, std::memory_order_release);
    holder.reset(next);
}

}  // namespace portvex

extern "C" {

PORTVEX_API uint32_t PORTVEX_CALL inportdw(uint32_t port) { return portvex::active().read(port); }

PORTVEX_API void PORTVEX_CALL outportdw(uint32_t port, uint32_t value) {
    portvex::active().write(port, value);
}

PORTVEX_API const char* portvex_backend(void) { return portvex::active().name(); }

PORTVEX_API int portvex_ready(void) { return portvex::active().ready() ? 1 : 0; }

PORTVEX_API const char* portvex_status(void) { return portvex::active().status().c_str(); }

}  // extern "C"
