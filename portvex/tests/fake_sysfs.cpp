// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "fake_sysfs.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace portvex::testing {

ConfigSpace::ConfigSpace(uint16_t vendor, uint16_t device) {
    set(0x00, static_cast<uint32_t>(device) << 16 | vendor);
}

ConfigSpace& ConfigSpace::set(uint32_t offset, uint32_t dword) {
    for (uint32_t i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<unsigned char>(dword >> (8 * i));
    return *this;
}

uint32_t ConfigSpace::get(uint32_t offset) const {
    uint32_t dword = 0;
    for (uint32_t i = 0; i < 4; ++i)
        dword |= static_cast<uint32_t>(bytes_.at(offset + i)) << (8 * i);
    return dword;
}

FakeSysfs::FakeSysfs(std::filesystem::path root) : root_(std::move(root)) {
    fs::create_directories(root_ / "bus/pci/devices");
    fs::create_directories(root_ / "kernel/security");
    // securityfs mounted and no lockdown, unless a test says otherwise.
    setLockdown("[none] integrity confidentiality");
}

FakeSysfs::~FakeSysfs() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

fs::path FakeSysfs::deviceDir(const std::string& name) const {
    return root_ / "bus/pci/devices" / name;
}

void FakeSysfs::addDevice(const std::string& name, const ConfigSpace& config,
                          const std::vector<FakeBar>& bars) {
    const fs::path dir = deviceDir(name);
    fs::create_directories(dir);
    {
        std::ofstream out(dir / "config", std::ios::binary);
        out.write(reinterpret_cast<const char*>(config.bytes().data()),
                  static_cast<std::streamsize>(config.bytes().size()));
    }
    std::array<FakeBar, 7> lines{};
    for (const FakeBar& bar : bars) lines.at(static_cast<size_t>(bar.index)) = bar;
    std::ofstream resource(dir / "resource");
    for (const FakeBar& line : lines) {
        char text[80];
        std::snprintf(text, sizeof text, "0x%016llx 0x%016llx 0x%016llx\n",
                      static_cast<unsigned long long>(line.start),
                      static_cast<unsigned long long>(line.end),
                      static_cast<unsigned long long>(line.flags));
        resource << text;
    }
    for (const FakeBar& bar : bars) {
        if ((bar.flags & 0x100) == 0) continue;
        const fs::path file = dir / ("resource" + std::to_string(bar.index));
        std::ofstream(file, std::ios::binary).close();
        fs::resize_file(file, bar.end - bar.start + 1);
    }
}

void FakeSysfs::setLockdown(const std::string& text) {
    std::ofstream(root_ / "kernel/security/lockdown") << text << '\n';
}

void FakeSysfs::removeDevicesFolder() {
    fs::remove_all(root_ / "bus/pci/devices");
}

std::optional<uint32_t> FakeSysfs::fileDword(const fs::path& file, uint64_t offset) const {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) return std::nullopt;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void FakeSysfs::setFileDword(const fs::path& file, uint64_t offset, uint32_t value) const {
    std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
    io.seekp(static_cast<std::streamoff>(offset));
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    io.write(reinterpret_cast<const char*>(bytes), 4);
}

}  // namespace portvex::testing
