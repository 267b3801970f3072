// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The exported port operations, the status calls for tools, and card models for programs
// on the simulated PC.
#include <portvex.h>
#include <portvex/simulated.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "backend.h"

namespace portvex {
namespace {

// The backend PORTVEX names, made at the first access.
Backend& environmentBackend() {
    static const std::unique_ptr<Backend> backend = makeBackendFor(std::getenv("PORTVEX"));
    return *backend;
}

std::atomic<Backend*> injected{nullptr};

Backend& active() {
    Backend* backend = injected.load(std::memory_order_acquire);
    return backend != nullptr ? *backend : environmentBackend();
}

void say(char* why, size_t whySize, const char* reason) {
    if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", reason);
}

// 1, or 0 with the reason in `why`. Nothing thrown leaves the C boundary.
int attachOrDetach(const char* card, std::optional<CallbackModel> model, char* why,
                   size_t whySize) noexcept {
    try {
        const std::optional<std::string> refused = active().setCardModel(card, model);
        if (!refused) return 1;
        say(why, whySize, refused->c_str());
    } catch (const std::exception& e) {
        say(why, whySize, e.what());
    } catch (...) {
        say(why, whySize, "unexpected error");
    }
    return 0;
}

}  // namespace

void injectBackend(Backend* backend) {
    injected.store(backend, std::memory_order_release);
}

}  // namespace portvex

extern "C" {

PORTVEX_API uint32_t PORTVEX_CALL inportdw(uint32_t port) {
    return portvex::active().read(port);
}

PORTVEX_API void PORTVEX_CALL outportdw(uint32_t port, uint32_t value) {
    portvex::active().write(port, value);
}

PORTVEX_API const char* portvex_backend(void) {
    return portvex::active().name();
}

PORTVEX_API int portvex_ready(void) {
    return portvex::active().ready() ? 1 : 0;
}

PORTVEX_API const char* portvex_status(void) {
    return portvex::active().status().c_str();
}

PORTVEX_API int portvex_sim_attach(const char* card, portvex_sim_read_fn read,
                                   portvex_sim_write_fn write, void* context, char* why,
                                   size_t why_size) {
    return portvex::attachOrDetach(card, portvex::CallbackModel{read, write, context}, why,
                                   why_size);
}

PORTVEX_API int portvex_sim_detach(const char* card, char* why, size_t why_size) {
    return portvex::attachOrDetach(card, std::nullopt, why, why_size);
}

PORTVEX_API uint32_t portvex_io_range_size(uint32_t port) {
    return portvex::active().ioRangeSize(port);
}

}  // extern "C"
