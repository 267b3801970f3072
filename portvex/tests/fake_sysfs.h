// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A stand-in for the kernel's /sys in a folder: device folders with plain `config`,
// `resource` and `resourceN` files, and the lockdown file. The backends read and write these
// files as they would the kernel's, so no test reaches the machine. The same code writes
// the tree for the Windows Portvex.dll's test under Wine (fake_sysfs.cpp is portable C++;
// fake_sysfs_posix.cpp holds what only POSIX tests use).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace portvex::testing {

// The 256 bytes of a device's configuration space.
class ConfigSpace {
  public:
    ConfigSpace(uint16_t vendor, uint16_t device);
    ConfigSpace& set(uint32_t offset, uint32_t dword);
    uint32_t get(uint32_t offset) const;
    const std::array<unsigned char, 256>& bytes() const { return bytes_; }

  private:
    std::array<unsigned char, 256> bytes_{};
};

// One line of a `resource` file; I/O BARs also get a resourceN file as long as the range.
struct FakeBar {
    int index = 0;
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t flags = 0;
};
inline constexpr uint64_t kIoFlags = 0x40101;  // IORESOURCE_IO | SIZEALIGN, as the kernel shows
inline constexpr uint64_t kMemoryFlags = 0x40200;

class FakeSysfs {
  public:
    FakeSysfs();                                     // in a private temporary folder (POSIX)
    explicit FakeSysfs(std::filesystem::path root);  // at `root`, made if need be
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string root() const { return root_.string(); }
    std::filesystem::path deviceDir(const std::string& name) const;

    // Adds /sys/bus/pci/devices/<name> ("0000:01:02.0").
    void addDevice(const std::string& name, const ConfigSpace& config,
                   const std::vector<FakeBar>& bars = {});
    void setLockdown(const std::string& text);
    void removeDevicesFolder();

    std::optional<uint32_t> fileDword(const std::filesystem::path& file, uint64_t offset) const;
    void setFileDword(const std::filesystem::path& file, uint64_t offset, uint32_t value) const;

  private:
    std::filesystem::path root_;
};

// Runs `body` in a child process as an ordinary user: a child that was root gives it up
// for nobody (uid and gid 65534). Returns the child's exit status, or -1 on a signal.
int inChildAsOrdinaryUser(const std::function<int()>& body);

// Runs `body` in a child process; returns its exit status, or -1 on a signal.
int inChild(const std::function<int()>& body);

}  // namespace portvex::testing
