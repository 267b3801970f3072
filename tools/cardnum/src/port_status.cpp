// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "port_status.h"

#include <fmt/ostream.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <portvex.h>
#endif

namespace cardnum::port {

#ifdef _WIN32
namespace {

// One of the status calls, when the Portvex.dll this program loaded exports it.
template <typename Function>
Function lookUp(const char* name) {
    const HMODULE portvex = GetModuleHandleW(L"Portvex.dll");
    if (portvex == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(portvex, name)));
}

using TextCall = const char* (*)();
using ReadyCall = int (*)();
using SizeCall = uint32_t (*)(uint32_t);

}  // namespace

const char* backend() {
    static const TextCall call = lookUp<TextCall>("portvex_backend");
    return call != nullptr ? call() : "unknown";
}

// Without the status calls nothing says that the ports are out of reach: go ahead.
bool ready() {
    static const ReadyCall call = lookUp<ReadyCall>("portvex_ready");
    return call == nullptr || call() != 0;
}

const char* status() {
    static const TextCall call = lookUp<TextCall>("portvex_status");
    return call != nullptr ? call()
                           : "This Portvex.dll exports only the port operations and reports no "
                             "status, so whether they reach the cards is not known.";
}

uint32_t ioRangeSize(uint32_t port) {
    static const SizeCall call = lookUp<SizeCall>("portvex_io_range_size");
    return call != nullptr ? call(port) : 0;
}
#else
const char* backend() {
    return portvex_backend();
}

bool ready() {
    return portvex_ready() != 0;
}

const char* status() {
    return portvex_status();
}

uint32_t ioRangeSize(uint32_t port) {
    return portvex_io_range_size(port);
}
#endif

}  // namespace cardnum::port

namespace cardnum {

bool havePortAccess(std::ostream& err) {
    if (port::ready()) return true;
    fmt::print(err, "cardnum: no port access (backend \"{}\"): {}\n", port::backend(),
               port::status());
    return false;
}

bool lostPortAccess(std::ostream& err) {
    if (port::ready()) return false;
    fmt::print(err, "cardnum: port access was refused during the scan (backend \"{}\"): {}\n",
               port::backend(), port::status());
    return true;
}

}  // namespace cardnum
