// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The exported port operations and the status calls for tools.
#include <portvex.h>

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

std::atomic<Backend*> injected{nullptr};

Backend& active() {
    Backend* backend = injected.load(std::memory_order_acquire);
    return backend != nullptr ? *backend : environmentBackend();
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

PORTVEX_API uint32_t portvex_io_range_size(uint32_t port) {
    return portvex::active().ioRangeSize(port);
}

}  // extern "C"
