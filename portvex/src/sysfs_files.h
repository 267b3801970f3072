// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Reading the kernel's PCI files under /sys: device folder names, the `resource` table of
// a device, the lockdown state, and the few file operations the backend makes. Those are
// POSIX calls on Linux (sysfs_files_posix.cpp) and Win32 calls in the Windows Portvex.dll
// under Wine (sysfs_files_win32.cpp), which reaches the same files through drive Z:.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "advice.h"

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

// The whole content of a small text file, or nothing when it cannot be read (errno says
// why: kNotRegularFile, EFBIG past kTextFileLimit, or the system's reason). Like every
// file this layer opens, it is opened without waiting (a FIFO cannot hang the caller) and
// taken only when it is a regular file, as the kernel's files are.
std::optional<std::string> readTextFile(const std::string& path);
inline constexpr size_t kTextFileLimit = 64 * 1024;

// errno for a path that is a folder, FIFO, socket or device rather than a regular file.
inline constexpr int kNotRegularFile = 0x10000;  // beyond every errno a system uses

// The reason for errno `error` in words; 0 is a transfer that came up short.
std::string errorText(int error);

// The active mode ("integrity", "confidentiality") when `lockdownText`, as read from
// /sys/kernel/security/lockdown, shows the kernel locked down; nothing for "[none]".
std::optional<std::string> lockdownMode(std::string_view lockdownText);

// The active mode when the kernel command line (as in /proc/cmdline) sets lockdown=.
std::optional<std::string> lockdownFromCommandLine(std::string_view commandLine);

// Lockdown state of the running kernel: from securityfs under `sysfsRoot` (normally "/sys")
// where it is mounted, else from lockdown= on `procRoot`/cmdline (normally "/proc").
struct Lockdown {
    std::optional<std::string> mode;  // the mode when the kernel is locked down
    bool known = true;    // false: no securityfs file, and the command line sets nothing
    std::string problem;  // a file that is there but cannot be read, and why
};
Lockdown kernelLockdown(const std::string& sysfsRoot, const std::string& procRoot = "/proc");

#ifdef _WIN32
using NativeFile = void*;  // a Win32 HANDLE; nullptr when empty
inline constexpr NativeFile kNoFile = nullptr;
#else
using NativeFile = int;  // a file descriptor; -1 when empty
inline constexpr NativeFile kNoFile = -1;
#endif

// An owned open file.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(NativeFile fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    NativeFile get() const { return fd_; }
    bool valid() const { return fd_ != kNoFile; }
    NativeFile release() {
        const NativeFile fd = fd_;
        fd_ = kNoFile;
        return fd;
    }

  private:
    NativeFile fd_ = kNoFile;
};

// The failures of the calls below are told in errno, with the POSIX codes on every
// platform (EACCES, ENOENT, ...), so that the backend explains them in one way.

// Why this system has no kernel files to reach, if it has none: the Windows Portvex.dll
// reaches them only under Wine on Linux, not on Windows itself.
std::optional<std::string> outOfReachHere();

enum class Access { Read, ReadWrite };

// Opens a regular file without waiting; an empty handle when that fails.
FileHandle openFile(const std::string& path, Access access);

// Whether this process may read and write the file.
bool mayReadAndWrite(const std::string& path);

// The group "portvex" as it bears on a file this process may not use: whether the group
// exists, whether the file belongs to it, and whether the user is listed as a member
// (so that only this login lacks it); unknown where the group database is out of sight.
advice::GroupView portvexGroupFor(const std::string& path);

// The names in a folder, or nothing when it cannot be read.
std::optional<std::vector<std::string>> listFolder(const std::string& path);

// One 32-bit little-endian access at `offset`, as a single transfer of 4 bytes.
// Reading yields nothing unless all 4 bytes arrive (errno 0 for a short read).
std::optional<uint32_t> readDword(const FileHandle& file, uint64_t offset);
bool writeDword(const FileHandle& file, uint64_t offset, uint32_t value);

// One transfer of `size` bytes at `offset` (pread and pwrite, or ReadFile and WriteFile at
// an OVERLAPPED offset): the bytes moved, or -1 with errno set.
long readAt(const FileHandle& file, uint64_t offset, unsigned char* bytes, size_t size);
long writeAt(const FileHandle& file, uint64_t offset, const unsigned char* bytes, size_t size);

}  // namespace portvex::sysfs
