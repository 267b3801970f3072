// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Real hardware through the kernel's PCI files. The kernel performs every access under
// its own locks, so a scan cannot disturb the kernel's use of 0xCF8/0xCFC, and reading
// configuration space needs no root.
#include <hw/pci_config.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "advice.h"
#include "backend.h"
#include "status_text.h"
#include "sysfs_files.h"
#include "unavailable_backend.h"

namespace portvex {
namespace {

using Clock = std::chrono::steady_clock;
using advice::hexPort;
using advice::kAllOnes;
using pci::kConfigAddressPort;
using pci::kConfigDataPort;
using sysfs::errorText;
using sysfs::FileHandle;

constexpr size_t kConfigSlots = 0x10000;  // bus << 8 | device << 3 | function

// A resourceN file: opened at its first use; once a write to it has been refused, reads
// give 0xFFFFFFFF too, so that a protocol clocked by writes (the EEPROM) sees an absent
// part rather than frozen pin levels.
struct BarFile {
    enum class State { Unopened, ReadWrite, ReadOnly, WriteRefused, Unreachable };
    State state = State::Unopened;
    FileHandle file;
};

struct Device {
    std::string path;  // <root>/bus/pci/devices/DDDD:BB:DD.F
    sysfs::DeviceName name;
    std::array<std::optional<sysfs::PortRange>, 6> ioBars;
    FileHandle config;
    bool configOpenFailed = false;
    std::array<BarFile, 6> barFiles;
};

struct IoWindow {
    sysfs::PortRange range;
    size_t device = 0;
    size_t bar = 0;
};

class SysfsBackend final : public Backend {
  public:
    SysfsBackend(std::string root, Clock::duration relistAfter, std::string procRoot,
                 std::vector<RangeToCheck> checkAtStart)
        : root_(std::move(root)),
          procRoot_(std::move(procRoot)),
          checkAtStart_(std::move(checkAtStart)),
          devicesDir_(root_ + "/bus/pci/devices"),
          relistAfter_(relistAfter),
          status_(std::string()) {
        const sysfs::Lockdown lockdown = sysfs::kernelLockdown(root_, procRoot_);
        lockdown_ = lockdown.mode;
        const int listError = relist();
        if (listError != 0) {
            ready_ = false;
            status_.set("Cannot read " + devicesDir_ + " (" + errorText(listError) +
                        "), so no port is reached: reads give 0xFFFFFFFF and no device answers. "
                        "This kernel shows no PCI devices; on a machine without them, set "
                        "PORTVEX=sim:/path/to/rack.toml for a simulated PC.");
            return;
        }
        std::string text = "Real hardware through the kernel's PCI files in " + devicesDir_ + " (" +
                           std::to_string(devices_.size()) +
                           " devices): configuration space through 0xCF8/0xCFC, and the ports "
                           "inside each device's I/O ranges; other ports read 0xFFFFFFFF.";
        if (lockdown_) {
            ready_ = false;  // every write to a device will be lost
            text += " " + advice::lockdownNote(*lockdown_);
        } else if (!lockdown.known) {
            text += std::string(" ") + advice::kLockdownUnknown;
        }
        if (!lockdown.problem.empty()) text += " " + lockdown.problem;
        status_.set(std::move(text));
        if (ready_ && !unreadable_.empty()) refuse(unreadable_);
        if (ready_) checkRangesAtStart();
    }

    uint32_t read(uint32_t port) override {
        const std::lock_guard lock(mutex_);
        if (port == kConfigAddressPort) return configAddress_;
        if (port == kConfigDataPort) return readConfig();
        return readPort(port);
    }

    void write(uint32_t port, uint32_t value) override {
        const std::lock_guard lock(mutex_);
        if (port == kConfigAddressPort) {
            configAddress_ = value;
            return;
        }
        // Configuration writes are not carried: nothing built on Portvex writes
        // configuration space, and the kernel's file would need root for it.
        if (port == kConfigDataPort) return;
        writePort(port, value);
    }

    const char* name() const override { return "sysfs"; }
    bool ready() const override {
        const std::lock_guard lock(mutex_);
        return ready_;
    }
    const std::string& status() const override { return status_.current(); }

  private:
    // Reads the device folders again; 0 or the errno of the failure.
    int relist() {
        listedAt_ = Clock::now();
        const auto names = sysfs::listFolder(devicesDir_);
        if (!names) return errno != 0 ? errno : ENOENT;
        std::vector<Device> devices;
        for (const std::string& entry : *names) {
            const auto name = sysfs::parseDeviceName(entry);
            if (!name) continue;
            Device device;
            device.path = devicesDir_ + "/" + entry;
            device.name = *name;
            if (const auto resource = sysfs::readTextFile(device.path + "/resource")) {
                device.ioBars = sysfs::parseIoBars(*resource);
            } else if (errno != ENOENT && unreadable_.empty()) {
                unreadable_ = "Cannot read " + device.path + "/resource (" + errorText(errno) +
                              "), so the I/O ranges of that device are out of reach: " +
                              advice::kLostAccesses + ".";
            }
            devices.push_back(std::move(device));
        }

        devices_ = std::move(devices);
        slots_.assign(kConfigSlots, -1);
        windows_.clear();
        for (size_t i = 0; i < devices_.size(); ++i) {
            const Device& device = devices_[i];
            // Mechanism #1 reaches domain 0 only; I/O ports are one space for all domains.
            if (device.name.domain == 0) {
                slots_[configSlot(device.name.bus, device.name.device, device.name.function)] =
                    static_cast<int>(i);
            }
            for (size_t bar = 0; bar < device.ioBars.size(); ++bar) {
                if (device.ioBars[bar]) windows_.push_back(IoWindow{*device.ioBars[bar], i, bar});
            }
        }
        return 0;
    }

    // Devices whose range this process is to reach first (select.cpp names them): when
    // it may not use that range, say so before any program starts, rather than after
    // every read through it has given 0xFFFFFFFF.
    void checkRangesAtStart() {
        for (Device& device : devices_) {
            const FileHandle config = sysfs::openFile(device.path + "/config", sysfs::Access::Read);
            const uint32_t ids =
                config.valid() ? sysfs::readDword(config, 0).value_or(kAllOnes) : kAllOnes;
            for (const RangeToCheck& check : checkAtStart_) {
                if (ids != (uint32_t{check.device} << 16 | check.vendor) ||
                    check.bar >= device.ioBars.size() || !device.ioBars[check.bar]) {
                    continue;
                }
                const std::string path = device.path + "/resource" + std::to_string(check.bar);
                if (!sysfs::mayReadAndWrite(path)) {
                    refuseBar(device, check.bar, errno, std::nullopt);
                    return;
                }
            }
        }
    }

    bool checkedAtStart(uint32_t ids) const {
        for (const RangeToCheck& check : checkAtStart_) {
            if (ids == (uint32_t{check.device} << 16 | check.vendor)) return true;
        }
        return false;
    }

    static size_t configSlot(uint32_t bus, uint32_t device, uint32_t function) {
        return bus << 8 | device << 3 | function;
    }

    // After a miss, a list older than relistAfter_ is read again (a device hot-plugged
    // since); returns whether it was.
    bool relistIfStale() {
        if (Clock::now() - listedAt_ < relistAfter_) return false;
        return relist() == 0;
    }

    Device* deviceAt(size_t slot) {
        if (slots_[slot] < 0 && !relistIfStale()) return nullptr;
        const int index = slots_[slot];
        return index >= 0 ? &devices_[static_cast<size_t>(index)] : nullptr;
    }

    uint32_t readConfig() {
        if ((configAddress_ & pci::kConfigEnable) == 0) return kAllOnes;
        const uint32_t bus = pci::ConfigBus(configAddress_);
        const uint32_t device = pci::ConfigDevice(configAddress_);
        const uint32_t function = pci::ConfigFunction(configAddress_);
        const uint32_t offset = pci::ConfigOffset(configAddress_);
        Device* found = deviceAt(configSlot(bus, device, function));
        if (found == nullptr) return kAllOnes;

        if (!found->config.valid()) {
            if (found->configOpenFailed) return kAllOnes;
            found->config = sysfs::openFile(found->path + "/config", sysfs::Access::Read);
            if (!found->config.valid()) {
                found->configOpenFailed = true;
                refuse("Cannot open " + found->path + "/config (" + errorText(errno) +
                       "), so that device reads as absent.");
                return kAllOnes;
            }
        }
        const auto value = sysfs::readDword(found->config, offset);
        if (value) return *value;
        // A short read is a register past the first 64 bytes, which only root may read.
        if (errno == ENODEV || errno == ENOENT) relist();  // the device went away
        return kAllOnes;
    }

    uint32_t ioRangeSize(uint32_t port) override {
        const IoWindow* window = windowFor(port);
        if (window == nullptr || window->range.first != port) return 0;
        return window->range.last - window->range.first + 1;
    }

    // The I/O BAR that holds the whole dword at `port`, if any.
    const IoWindow* windowFor(uint32_t port) {
        const auto find = [&]() -> const IoWindow* {
            for (const IoWindow& window : windows_) {
                if (port >= window.range.first && port <= window.range.last &&
                    window.range.last - port >= 3) {
                    return &window;
                }
            }
            return nullptr;
        };
        if (const IoWindow* window = find()) return window;
        return relistIfStale() ? find() : nullptr;
    }

    std::string resourcePath(const IoWindow& window) const {
        return devices_[window.device].path + "/resource" + std::to_string(window.bar);
    }

    BarFile& openBar(const IoWindow& window, uint32_t port) {
        BarFile& bar = devices_[window.device].barFiles[window.bar];
        if (bar.state != BarFile::State::Unopened) return bar;
        const std::string path = resourcePath(window);
        bar.file = sysfs::openFile(path, sysfs::Access::ReadWrite);
        if (bar.file.valid()) {
            bar.state = BarFile::State::ReadWrite;
            return bar;
        }
        const int rwError = errno;
        bar.file = sysfs::openFile(path, sysfs::Access::Read);
        if (bar.file.valid()) {
            bar.state = BarFile::State::ReadOnly;
            return bar;
        }
        bar.state = BarFile::State::Unreachable;
        refuseBar(devices_[window.device], window.bar, rwError, port);
        return bar;
    }

    uint32_t readPort(uint32_t port) {
        const IoWindow* window = windowFor(port);
        if (window == nullptr) return kAllOnes;
        BarFile& bar = openBar(*window, port);
        if (bar.state != BarFile::State::ReadWrite && bar.state != BarFile::State::ReadOnly) {
            return kAllOnes;
        }
        const auto value = sysfs::readDword(bar.file, port - window->range.first);
        if (value) return *value;
        refuse("Reading port " + hexPort(port) + " through " + resourcePath(*window) + " failed (" +
               errorText(errno) + "); it reads as 0xFFFFFFFF.");
        return kAllOnes;
    }

    void writePort(uint32_t port, uint32_t value) {
        const IoWindow* window = windowFor(port);
        if (window == nullptr) return;
        BarFile& bar = openBar(*window, port);
        if (bar.state == BarFile::State::ReadOnly) {
            bar.state = BarFile::State::WriteRefused;
            refuseBar(devices_[window->device], window->bar, EACCES, port);
            return;
        }
        if (bar.state != BarFile::State::ReadWrite) return;
        if (sysfs::writeDword(bar.file, port - window->range.first, value)) return;
        const int error = errno;
        bar.state = BarFile::State::WriteRefused;
        refuseBar(devices_[window->device], window->bar, error, port);
    }

    // Which range was refused, whose it is, and where this user stands with the group.
    advice::RefusedRange describeRefusal(const Device& device, size_t bar, const std::string& where,
                                         int error) const {
        advice::RefusedRange range;
        range.where = where;
        range.path = device.path + "/resource" + std::to_string(bar);
        range.bar = static_cast<unsigned>(bar);
        range.error = errorText(error);
        const FileHandle config = sysfs::openFile(device.path + "/config", sysfs::Access::Read);
        range.ids = config.valid() ? sysfs::readDword(config, 0).value_or(kAllOnes) : kAllOnes;
        range.device = device.path.substr(device.path.rfind('/') + 1);
        const advice::GroupView group = sysfs::portvexGroupFor(range.path);
        range.standing = advice::standingFor(group);
        range.ruleCovers = checkedAtStart(range.ids) || group.ownsFile;
        return range;
    }

    // `port` is the access that was refused, if any yet.
    void refuseBar(const Device& device, size_t bar, int error, std::optional<uint32_t> port) {
        const std::string path = device.path + "/resource" + std::to_string(bar);
        const std::string where = port ? "port " + hexPort(*port) + " through " + path : path;
        if (lockdown_ && error == EPERM) {
            refuse("Writing " + where + " was refused (" + errorText(error) + "). " +
                   advice::lockdownNote(*lockdown_));
            return;
        }
        if (error == EACCES || error == EPERM) {
            refuse(advice::refused(describeRefusal(device, bar, where, error)));
            return;
        }
        refuse("Cannot reach " + where + " (" + errorText(error) + "): " + advice::kLostAccesses +
               ".");
    }

    // The first refusal is the one the user needs to act on; later ones are alike.
    void refuse(std::string text) {
        if (refused_) return;
        refused_ = true;
        ready_ = false;
        status_.set(std::move(text));
    }

    const std::string root_;
    const std::string procRoot_;
    const std::vector<RangeToCheck> checkAtStart_;
    const std::string devicesDir_;
    const Clock::duration relistAfter_;
    mutable std::mutex mutex_;
    std::optional<std::string> lockdown_;
    StatusText status_;
    bool ready_ = true;
    bool refused_ = false;
    std::string unreadable_;  // the first device file that is there but cannot be read
    uint32_t configAddress_ = 0;
    Clock::time_point listedAt_;
    std::vector<Device> devices_;
    std::vector<int> slots_ = std::vector<int>(kConfigSlots, -1);
    std::vector<IoWindow> windows_;
};

}  // namespace

std::unique_ptr<Backend> makeSysfsBackend(std::string sysfsRoot, Clock::duration relistAfter,
                                          std::string procRoot,
                                          std::vector<RangeToCheck> checkAtStart) {
    if (auto why = sysfs::outOfReachHere()) return makeUnavailableBackend("none", std::move(*why));
    return std::make_unique<SysfsBackend>(std::move(sysfsRoot), relistAfter, std::move(procRoot),
                                          std::move(checkAtStart));
}

}  // namespace portvex
