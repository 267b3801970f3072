// A way to reach I/O ports. One backend serves the whole process; it is chosen from the
// environment at the first port access.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace portvex {

class Backend {
public:
    Backend() = default;
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;
    virtual ~Backend() = default;

    virtual uint32_t read(uint32_t port) = 0;
    virtual void write(uint32_t port, uint32_t value) = 0;

    // Short name shown to users: "sim", "none", ...
    virtual const char* name() const = 0;
    // Whether accesses reach a machine at all.
    virtual bool ready() const = 0;
    // What the backend reaches, or why it cannot and what to do about it.
    virtual const std::string& status() const = 0;
};

// Reaches nothing: reads give 0xFFFFFFFF (what an empty bus returns), writes are lost.
std::unique_ptr<Backend> makeUnavailableBackend(std::string name, std::string why);

// The simulated PC described by a rack file; PORTVEX_TRACE, when set, names the trace file.
std::unique_ptr<Backend> makeSimulatorBackend(const std::string& rackFile);

// Real hardware through the kernel's PCI files under `sysfsRoot` (normally "/sys"):
// configuration mechanism #1 emulated over bus/pci/devices/*/config, and ports inside a
// device's I/O BAR carried by its resourceN file. Other ports read 0xFFFFFFFF and drop
// writes. The list of devices is read again when an access finds no device and the list
// is older than `relistAfter`.
std::unique_ptr<Backend> makeSysfsBackend(
    std::string sysfsRoot,
    std::chrono::steady_clock::duration relistAfter = std::chrono::seconds(1));

// The processor's port instructions and the per-thread permission that guards them.
class PortInstructions {
public:
    PortInstructions() = default;
    PortInstructions(const PortInstructions&) = delete;
    PortInstructions& operator=(const PortInstructions&) = delete;
    virtual ~PortInstructions() = default;

    // Grants the calling thread ports [from, from + count); 0 or the errno of the refusal.
    virtual int grant(uint32_t from, uint32_t count) = 0;
    virtual uint32_t in(uint16_t port) = 0;
    virtual void out(uint16_t port, uint32_t value) = 0;
};

// ioperm() and the 32-bit in/out instructions (ENOSYS on processors without them).
std::unique_ptr<PortInstructions> makeProcessorPortInstructions();

// Real hardware through `cpu`. Each thread is granted the ports it uses the first time it
// uses them; `sysfsRoot` is where the kernel's lockdown state is read to explain refusals.
std::unique_ptr<Backend> makeIopermBackend(std::unique_ptr<PortInstructions> cpu,
                                           std::string sysfsRoot);

// Where the kernel's files are: "/sys", unless PORTVEX_SYSFS_ROOT names a stand-in tree
// (used by the tests so that they never reach the real machine).
std::string sysfsRootFromEnvironment();

// Chooses from the value of PORTVEX (nullptr when unset).
std::unique_ptr<Backend> makeBackendFor(const char* portvexVariable);

}  // namespace portvex
