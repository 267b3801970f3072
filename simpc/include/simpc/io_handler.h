// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>

#include "simpc/export.h"

namespace simpc {

// Something that decodes I/O ports. The machine calls it only for ports it registered.
class SIMPC_API IoHandler {
  public:
    virtual ~IoHandler() = default;
    virtual uint32_t ioRead(uint32_t port) = 0;
    virtual void ioWrite(uint32_t port, uint32_t value) = 0;
    // What the port is, for trace lines ("00:0b.0 DIN"); empty when the port number says
    // enough. Called only while tracing.
    virtual std::string portName(uint32_t) const { return {}; }
};

}  // namespace simpc
