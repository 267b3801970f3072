// Reading the kernel's PCI files under /sys: device folder names, the `resource` table of
// a device, the lockdown state, and an owned file descriptor.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace portvex::sysfs {

// "DDDD:BB:DD.F" split into its parts.
struct DeviceName {
    uint32_t domain = 0;
    uint8_t bus = 0;
    uint8_t device = 0;    // 0-31
    uint8_t function = 0;  // 0-7
};

// Parses a folder name of /sys/bus/pci/devices; anything else yields nothing.
std::optional<DeviceName> parseDeviceName(std::string_view name);

// An I/O port range decoded by one BAR, both ends included.
struct PortRange {
    uint32_t first = 0;
    uint32_t last = 0;
};

// For each BAR 0-5, its I/O port range when the BAR decodes I/O space (flag 0x100 in the
// `resource` file) and has been given a range. Memory BARs, unassigned BARs, the ROM and
// bridge windows (lines 6 and on) are left out, as are lines that cannot be parsed.
std::array<std::optional<PortRange>, 6> parseIoBars(std::string_view resourceText);

// The whole content of a small text file, or nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::string& path);

// The active mode ("integrity", "confidentiality") when `lockdownText`, as read from
// /sys/kernel/security/lockdown, shows the kernel locked down; nothing for "[none]".
std::optional<std::string> lockdownMode(std::string_view lockdownText);

// The active mode when the kernel command line (as in /proc/cmdline) sets lockdown=.
std::optional<std::string> lockdownFromCommandLine(std::string_view commandLine);

// Lockdown state of the running kernel: from securityfs under `sysfsRoot` (normally "/sys")
// where it is mounted, else from lockdown= on `procRoot`/cmdline (normally "/proc").
struct Lockdown {
    std::optional<std::string> mode;  // the mode when the kernel is locked down
    bool known = true;  // false: no securityfs file, and the command line sets nothing
};
Lockdown kernelLockdown(const std::string& sysfsRoot, const std::string& procRoot = "/proc");

// An owned file descriptor; -1 when empty.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

// One 32-bit little-endian access at `offset`, as a single pread/pwrite of 4 bytes.
// Reading yields nothing unless all 4 bytes arrive; errno tells why.
std::optional<uint32_t> readDword(int fd, uint64_t offset);
bool writeDword(int fd, uint64_t offset, uint32_t value);

}  // namespace portvex::sysfs
