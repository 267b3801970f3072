// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The readers of the kernel's PCI files: a device's `resource` lines, its `config` file,
// the lockdown line and the kernel command line, and device folder names; each parsed
// directly, then read by the sysfs backend from a stand-in tree in a scratch folder (never
// the machine's own /sys). Input, in parts separated by NUL bytes: the resource text, the
// lockdown text, the command line, a device folder name, and the config file's bytes (the
// rest of the input, NULs included).
//
// Properties: every I/O range read from `resource` is placed (not at port 0), in order and
// within the 64 KiB port space; a lockdown mode is one the text shows in brackets; a mode
// from the command line is one the kernel knows; a device name that is read prints back
// as itself; through the backend, each configuration dword inside the config file reads
// as the file's bytes and each one past it as 0xFFFFFFFF.
#include "sysfs_files.h"

#include <fmt/format.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "backend.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
namespace sysfs = portvex::sysfs;

constexpr uint32_t kConfigAddress = 0xCF8;
constexpr uint32_t kConfigData = 0xCFC;
constexpr std::string_view kDevice = "0000:00:04.0";

struct Parts {
    std::string_view resource, lockdown, commandLine, deviceName, config;
};

Parts split(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::array<std::string_view, 4> text{};
    for (std::string_view& part : text) {
        const size_t nul = rest.find('\0');
        part = rest.substr(0, nul);
        rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    }
    return {text[0], text[1], text[2], text[3], rest};
}

void checkParsers(const Parts& in) {
    for (const auto& range : sysfs::parseIoBars(in.resource)) {
        if (!range) continue;
        fuzz::require(range->first != 0 && range->first <= range->last && range->last <= 0xFFFF,
                      "resource: an I/O range out of place", std::string(in.resource));
    }
    if (const auto mode = sysfs::lockdownMode(in.lockdown)) {
        fuzz::require(!mode->empty() && *mode != "none" &&
                          in.lockdown.find("[" + *mode + "]") != std::string_view::npos,
                      "lockdown: a mode the text does not show", std::string(in.lockdown));
    }
    if (const auto mode = sysfs::lockdownFromCommandLine(in.commandLine)) {
        fuzz::require(*mode == "integrity" || *mode == "confidentiality",
                      "cmdline: a lockdown mode the kernel does not know",
                      std::string(in.commandLine));
    }
    if (const auto name = sysfs::parseDeviceName(in.deviceName)) {
        const auto again = sysfs::parseDeviceName(fmt::format(
            "{:04x}:{:02x}:{:02x}.{:x}", name->domain, name->bus, name->device, name->function));
        fuzz::require(again && again->domain == name->domain && again->bus == name->bus &&
                          again->device == name->device && again->function == name->function,
                      "device name: does not print back as itself", std::string(in.deviceName));
    }
}

// The stand-in tree: one device with these files, the lockdown file and the command line.
fs::path writeTree(const Parts& in) {
    const fs::path root = fuzz::scratch() / "sys";
    const fs::path proc = fuzz::scratch() / "proc";
    const fs::path device = root / "bus/pci/devices" / kDevice;
    fs::remove_all(root);
    fs::create_directories(device);
    fs::create_directories(root / "kernel/security");
    fs::create_directories(proc);
    fuzz::writeFile(device / "config", in.config);
    fuzz::writeFile(device / "resource", in.resource);
    fuzz::writeFile(root / "kernel/security/lockdown", in.lockdown);
    fuzz::writeFile(proc / "cmdline", in.commandLine);
    // Each I/O range gets its resourceN file, as long as the range (sparse).
    const auto bars = sysfs::parseIoBars(in.resource);
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        if (!bars[bar]) continue;
        const fs::path file = device / fmt::format("resource{}", bar);
        fuzz::writeFile(file, "");
        fs::resize_file(file, bars[bar]->last - bars[bar]->first + 1);
    }
    return root;
}

uint32_t littleEndian(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

void readThroughBackend(const Parts& in) {
    const fs::path root = writeTree(in);
    const auto backend =
        portvex::makeSysfsBackend(root.string(), std::chrono::hours(1),
                                  (fuzz::scratch() / "proc").string(), {{0x10B5, 0x9050, 1}});
    fuzz::require(!backend->status().empty(), "backend: no status");
    for (uint32_t offset = 0; offset < 256; offset += 4) {
        backend->write(kConfigAddress, 0x80000000U | 4U << 11 | offset);
        const uint32_t got = backend->read(kConfigData);
        const uint32_t expected =
            offset + 4 <= in.config.size() ? littleEndian(in.config, offset) : 0xFFFFFFFF;
        fuzz::require(got == expected, "config: a dword reads otherwise than the file holds it",
                      fmt::format("offset {:#x}: read {:#x}, file {:#x}", offset, got, expected));
    }
    for (const auto& range : sysfs::parseIoBars(in.resource)) {
        if (!range) continue;
        // The first dwords of the range and the last one, as a scan reads them.
        for (uint32_t port = range->first; port + 3 <= range->last && port < range->first + 64;
             port += 4) {
            (void)backend->read(port);
        }
        (void)backend->read(range->last - 3);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Parts in = split(data, size);
    checkParsers(in);
    readThroughBackend(in);
    return 0;
}
