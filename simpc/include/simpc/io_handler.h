#pragma once

#include <cstdint>

#include "simpc/export.h"

namespace simpc {

// Something that decodes I/O ports. The machine calls it only for ports it registered.
class SIMPC_API IoHandler {
  public:
    virtual ~IoHandler() = default;
    virtual uint32_t ioRead(uint32_t port) = 0;
    virtual void ioWrite(uint32_t port, uint32_t value) = 0;
};

}  // namespace simpc
