// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Real hardware through the processor's 32-bit in/out instructions. Port permission
// belongs to a thread, so each thread is granted the ports it uses, with ioperm() (never
// iopl(), which opens every port, and never /dev/port, which splits a dword into four
// byte accesses).
#include <hw/pci_config.h>

#include <atomic>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

#include "advice.h"
#include "backend.h"
#include "port_instructions.h"
#include "status_text.h"
#include "sysfs_files.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define PORTVEX_HAVE_PORT_INSTRUCTIONS 1
#endif

namespace portvex {
namespace {

using advice::hexPort;
using advice::kAllOnes;
constexpr uint32_t kConfigPorts = pci::kConfigAddressPort;  // which every scan uses
constexpr uint32_t kConfigPortCount = pci::kConfigPortCount;
constexpr uint32_t kLastDwordPort = 0xFFFC;  // the last port whose dword stays in 16 bits
constexpr uint32_t kDword = 4;

class ProcessorPorts final : public PortInstructions {
  public:
#if defined(PORTVEX_HAVE_PORT_INSTRUCTIONS)
    int grant(uint32_t from, uint32_t count) override {
        return ::ioperm(from, count, 1) == 0 ? 0 : errno;
    }
    uint32_t in(uint16_t port) override {
        return ::inl(port);
    }
    void out(uint16_t port, uint32_t value) override {
        ::outl(value, port);
    }
#else
    int grant(uint32_t, uint32_t) override {
        return ENOSYS;
    }
    uint32_t in(uint16_t) override {
        return kAllOnes;
    }
    void out(uint16_t, uint32_t) override {}
#endif
};

// What this thread has been granted, by the backend numbered `owner`.
struct ThreadGrants {
    uint64_t owner = 0;
    bool refused = false;
    std::bitset<0x10000> dwordAt;  // bit p: ports p..p+3 are granted
};

thread_local ThreadGrants grants;
std::atomic<uint64_t> lastBackendNumber{0};

class IopermBackend final : public Backend {
  public:
    IopermBackend(std::unique_ptr<PortInstructions> cpu, std::string sysfsRoot,
                  std::string procRoot)
        : cpu_(std::move(cpu)),
          number_(++lastBackendNumber),
          sysfsRoot_(std::move(sysfsRoot)),
          procRoot_(std::move(procRoot)),
          status_(
              "Real hardware through the processor's port instructions, with the ports "
              "granted to each thread by ioperm.") {
        // The backend is made at the first access, in the thread that makes it: try the
        // configuration ports there, so that a refusal is known before any scan starts.
        ThreadGrants& mine = thisThread();
        const int error = cpu_->grant(kConfigPorts, kConfigPortCount);
        if (error != 0) {
            mine.refused = true;
            refuse(error, kConfigPorts, kConfigPortCount);
            return;
        }
        for (uint32_t port = kConfigPorts; port + kDword <= kConfigPorts + kConfigPortCount;
             ++port) {
            mine.dwordAt.set(port);
        }
    }

    uint32_t read(uint32_t port) override {
        if (!permitted(port)) return kAllOnes;
        return cpu_->in(static_cast<uint16_t>(port));
    }

    void write(uint32_t port, uint32_t value) override {
        if (permitted(port)) cpu_->out(static_cast<uint16_t>(port), value);
    }

    const char* name() const override { return "ioperm"; }
    bool ready() const override { return ready_.load(); }
    const std::string& status() const override { return status_.current(); }

  private:
    ThreadGrants& thisThread() const {
        if (grants.owner != number_) grants = ThreadGrants{number_, false, {}};
        return grants;
    }

    bool permitted(uint32_t port) {
        if (port > kLastDwordPort) return false;  // a 16-bit port number whose dword fits
        ThreadGrants& mine = thisThread();
        if (mine.dwordAt.test(port)) return true;
        if (mine.refused) return false;
        const int error = cpu_->grant(port, kDword);
        if (error != 0) {
            mine.refused = true;
            refuse(error, port, kDword);
            return false;
        }
        mine.dwordAt.set(port);
        return true;
    }

    void refuse(int error, uint32_t from, uint32_t count) {
        const std::lock_guard lock(refusalMutex_);
        if (!ready_.exchange(false)) return;  // the first refusal says it all
        const std::string call = "ioperm(" + hexPort(from) + ", " + std::to_string(count) + ")";
        const std::string reason = std::strerror(error);
        std::string text;
        if (error == EPERM) {
            const sysfs::Lockdown state = sysfs::kernelLockdown(sysfsRoot_, procRoot_);
            if (const auto& lockdown = state.mode) {
                text = call + " was refused (" + reason + ") because " +
                       advice::lockedDown(*lockdown) +
                       ": no program may use port instructions, so nothing is read or written. "
                       "Unset PORTVEX to reach devices through the kernel's PCI files instead, "
                       "where writes to them stay refused " +
                       advice::kEndLockdown + ".";
            } else {
                text = call + " was refused (" + reason +
                       "): port instructions need root (the CAP_SYS_RAWIO capability), so "
                       "nothing is read or written. Run as root, or " +
                       advice::kUseKernelFiles + ".";
                if (!state.known) text += std::string(" ") + advice::kLockdownUnknown;
            }
        } else if (error == ENOSYS) {
            text = call + " is not available (" + reason +
                   "): this kernel or processor offers no port instructions to programs, so "
                   "nothing is read or written. Unset PORTVEX to use the kernel's PCI files.";
        } else {
            text = call + " failed (" + reason + "): nothing is read or written.";
        }
        status_.set(std::move(text));
    }

    const std::unique_ptr<PortInstructions> cpu_;
    const uint64_t number_;
    const std::string sysfsRoot_;
    const std::string procRoot_;
    std::atomic<bool> ready_{true};
    std::mutex refusalMutex_;
    StatusText status_;
};

}  // namespace

std::unique_ptr<PortInstructions> makeProcessorPortInstructions() {
    return std::make_unique<ProcessorPorts>();
}

std::unique_ptr<Backend> makeIopermBackend(std::unique_ptr<PortInstructions> cpu,
                                           std::string sysfsRoot, std::string procRoot) {
    return std::make_unique<IopermBackend>(std::move(cpu), std::move(sysfsRoot),
                                           std::move(procRoot));
}

}  // namespace portvex
