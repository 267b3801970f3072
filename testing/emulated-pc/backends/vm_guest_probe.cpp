// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Runs inside the emulated PC (checks.sh, beside it): checks what Portvex reads against the guest
// kernel's own PCI files, runs the library's scan, times EEPROM reads, and starts
// programs as an ordinary user. The backend is the one PORTVEX names, as for any program.
#include <fmt/format.h>
#include <grp.h>
#include <hw/pci_config.h>
#include <portvex.h>
#include <slotscan.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cards/cards.h"
#include "eeprom/eeprom.h"
#include "eeprom/plx9050.h"
#include "portio/portio.h"

namespace {

using namespace pci;       // the configuration registers
using namespace slotscan;  // the bridge's registers
constexpr uint32_t kAllOnes = 0xFFFFFFFF;

uint32_t configAddress(uint32_t bus, uint32_t device, uint32_t offset) {
    return ConfigAddress(bus, device, 0, offset);
}

uint32_t readConfig(uint32_t address) {
    outportdw(kConfigAddressPort, address);
    return inportdw(kConfigDataPort);
}

// The guest kernel's view: the first 256 bytes of the device's config file (as root).
std::optional<std::vector<unsigned char>> kernelConfig(uint32_t bus, uint32_t device) {
    const std::string path =
        fmt::format("/sys/bus/pci/devices/0000:{:02x}:{:02x}.0/config", bus, device);
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<unsigned char> bytes(256);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

uint32_t dwordAt(const std::vector<unsigned char>& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// Buses 0-3, devices 0-31, function 0: every dword through 0xCF8/0xCFC against the file.
int compareConfig() {
    int devices = 0, behindBridge = 0, empty = 0, mismatches = 0;
    for (uint32_t bus = 0; bus <= 3; ++bus) {
        for (uint32_t device = 0; device < 32; ++device) {
            const auto file = kernelConfig(bus, device);
            if (!file) {
                for (const uint32_t offset : {0x00U, 0x10U, 0x3CU}) {
                    const uint32_t got = readConfig(configAddress(bus, device, offset));
                    if (got != kAllOnes) {
                        ++mismatches;
                        fmt::print(
                            "MISMATCH {:02x}:{:02x} empty slot, offset 0x{:02X} reads 0x{:08X}\n",
                            bus, device, offset, got);
                    }
                }
                ++empty;
                continue;
            }
            ++devices;
            if (bus > 0) ++behindBridge;
            for (size_t offset = 0; offset + 4 <= file->size(); offset += 4) {
                const uint32_t got =
                    readConfig(configAddress(bus, device, static_cast<uint32_t>(offset)));
                const uint32_t want = dwordAt(*file, offset);
                if (got != want) {
                    ++mismatches;
                    fmt::print(
                        "MISMATCH {:02x}:{:02x} offset 0x{:02X}: Portvex 0x{:08X}, kernel "
                        "0x{:08X}\n",
                        bus, device, offset, got, want);
                }
            }
        }
    }
    // With the enable bit clear, 0xCFC is no configuration access at all.
    const uint32_t disabled = readConfig(configAddress(0, 0, 0) & ~kConfigEnable);
    if (disabled != kAllOnes) {
        ++mismatches;
        fmt::print("MISMATCH enable bit clear reads 0x{:08X}\n", disabled);
    }
    fmt::print("config: backend={} devices={} behind-bridge={} empty={} mismatches={}\n",
               portvex_backend(), devices, behindBridge, empty, mismatches);
    return mismatches == 0 ? 0 : 1;
}

void printPortStatus() {
    std::cerr << "backend " << portvex_backend() << ", ready " << portvex_ready() << ": "
              << portvex_status() << '\n';
}

// The library's own answers, printed so that two backends can be compared line by line.
int findCards(const PCIID& filter) {
    std::array<int16_t, MAX_CARDS> numbers{};
    const int32_t count = FindPCICard_0(&filter, numbers.data());
    fmt::print("FindPCICard_0: {}\n", count);
    for (int32_t i = 0; i < count; ++i) {
        uint16_t base = 0, irq = 0;
        const int32_t byOrder = GetIOBaseByOrder_0(&filter, i, &base, &irq);
        fmt::print("card {}: number {} by-order {} base 0x{:04X} irq {}\n", i,
                   numbers[static_cast<size_t>(i)], byOrder, base, irq);
        uint16_t numberBase = 0, numberIrq = 0;
        const int32_t byNumber =
            GetIOBaseByCardNo_0(&filter, numbers[static_cast<size_t>(i)], &numberBase, &numberIrq);
        fmt::print("card {}: by-number {} base 0x{:04X} irq {}\n", i, byNumber, numberBase,
                   numberIrq);
    }
    uint16_t base = 0, irq = 0;
    fmt::print("past the last card: by-order {}\n",
               GetIOBaseByOrder_0(&filter, count, &base, &irq));
    printPortStatus();
    return 0;
}

// EEPROM reads through the PLX local registers of the device at bus:device (BAR1 & 0xFFFC,
// control register at +0x50), as the library's scan does for each card: one word read is
// 106 port accesses and a 1 ms pause. Prints the word and the register (to compare
// backends), then the cost of one word read and of one port read.
int readEeprom(uint32_t bus, uint32_t device, int reads) {
    const uint32_t bar1 = readConfig(configAddress(bus, device, kBar1Offset));
    if ((bar1 & kBarIoSpace) == 0 || bar1 == kAllOnes) {
        fmt::print("eeprom: {:02x}:{:02x} has no I/O BAR1 (0x{:08X})\n", bus, device, bar1);
        return 1;
    }
    const auto base = static_cast<uint16_t>(bar1 & kBarIoBaseMask);
    const uint32_t cntrl = base + uint32_t{slotscan::kCntrlOffset};
    using Clock = std::chrono::steady_clock;
    uint16_t word = 0;
    const auto start = Clock::now();
    for (int i = 0; i < reads; ++i)
        slotscan::EepromReadWord(base, 0, slotscan::kCardNoByteAddress, &word);
    const auto eepromTime = Clock::now() - start;

    constexpr int kPortReads = 2000;
    uint32_t last = 0;
    const auto portStart = Clock::now();
    for (int i = 0; i < kPortReads; ++i) last = inportdw(cntrl);
    const auto portTime = Clock::now() - portStart;

    const auto pauseStart = Clock::now();
    for (int i = 0; i < reads; ++i) slotscan::Pause(slotscan::kWordFetchWait);
    const auto pauseTime = Clock::now() - pauseStart;

    const auto us = [](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count();
    };
    // A write that reaches the register shows in the next read (the clock line, SK).
    outportdw(cntrl, last | slotscan::kEepromClock);
    const uint32_t echoed = inportdw(cntrl);
    outportdw(cntrl, last);
    fmt::print(
        "eeprom: base 0x{:04X} word 0x{:04X} control 0x{:08X} with SK set 0x{:08X} "
        "restored 0x{:08X}\n",
        base, word, last, echoed, inportdw(cntrl));
    fmt::print(
        "timing: backend {} one-eeprom-read-us {:.0f} of-which-pause-us {:.0f} "
        "one-port-read-us {:.2f}\n",
        portvex_backend(), us(eepromTime) / reads, us(pauseTime) / reads,
        us(portTime) / kPortReads);
    printPortStatus();
    return 0;
}

// Writes a dword into a device's I/O BAR and reads it back, then puts the old value back:
// a register that keeps what is written shows that writes reach the device.
int echoThroughBar(uint32_t bus, uint32_t device, uint32_t bar, uint32_t offset, uint32_t value) {
    const uint32_t raw = readConfig(configAddress(bus, device, 0x10 + 4 * bar));
    if ((raw & 1U) == 0 || raw == kAllOnes) {
        fmt::print("echo: {:02x}:{:02x} BAR{} is no I/O range (0x{:08X})\n", bus, device, bar, raw);
        return 1;
    }
    const uint32_t port = (raw & 0xFFFC) + offset;
    const uint32_t before = inportdw(port);
    outportdw(port, value);
    const uint32_t after = inportdw(port);
    outportdw(port, before);
    fmt::print(
        "echo: port 0x{:04X} held 0x{:08X}, wrote 0x{:08X}, read 0x{:08X}, restored 0x{:08X}\n",
        port, before, value, after, inportdw(port));
    printPortStatus();
    return after == value ? 0 : 1;
}

// Gives up root for uid/gid (and supplementary groups), then runs the program.
int runAs(uid_t uid, gid_t gid, const std::vector<gid_t>& groups,
          std::vector<std::string> command) {
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        std::perror("vm_guest_probe: dropping root");
        return 125;
    }
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::perror("vm_guest_probe: exec");
    return 126;
}

PCIID toFilter(const std::vector<uint16_t>& ids) {
    return PCIID{ids.at(0), ids.at(1), ids.size() > 2 ? ids[2] : uint16_t{0},
                 ids.size() > 3 ? ids[3] : uint16_t{0}};
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Checks Portvex inside the emulated PC."};
    app.require_subcommand(1);

    auto* config =
        app.add_subcommand("config", "Compare configuration dwords with the kernel's files");

    std::vector<uint16_t> ids;
    auto addIds = [&](CLI::App* command) {
        command->add_option("ids", ids, "DEVICE VENDOR [SUBSYSTEM SUBVENDOR], numbers (0x for hex)")
            ->required()
            ->expected(2, 4);
    };
    auto* find = app.add_subcommand("find", "Run the library's scan and lookups for a filter");
    addIds(find);
    uint32_t bus = 0, device = 0;
    int reads = 20;
    auto* eeprom =
        app.add_subcommand("eeprom", "Read and time EEPROM words behind a device's BAR1");
    eeprom->add_option("bus", bus)->required()->check(CLI::Range(0, 255));
    eeprom->add_option("device", device)->required()->check(CLI::Range(0, 31));
    eeprom->add_option("--reads", reads)->check(CLI::Range(1, 100000));

    uint32_t bar = 0, offset = 0, value = 0;
    auto* echo = app.add_subcommand("echo", "Write a dword into an I/O BAR and read it back");
    echo->add_option("bus", bus)->required()->check(CLI::Range(0, 255));
    echo->add_option("device", device)->required()->check(CLI::Range(0, 31));
    echo->add_option("bar", bar)->required()->check(CLI::Range(0, 5));
    echo->add_option("offset", offset)->required()->check(CLI::Range(0, 0xFFFC));
    echo->add_option("value", value)->required();

    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    auto* as = app.add_subcommand("as",
                                  "Run a program as another user: as --uid U --gid G "
                                  "[--groups G1,G2] PROGRAM ARGS...");
    as->add_option("--uid", uid)->required();
    as->add_option("--gid", gid)->required();
    as->add_option("--groups", groups)->delimiter(',')->allow_extra_args(false);
    as->prefix_command();

    CLI11_PARSE(app, argc, argv);
    if (config->parsed()) return compareConfig();
    if (find->parsed()) return findCards(toFilter(ids));
    if (eeprom->parsed()) return readEeprom(bus, device, reads);
    if (echo->parsed()) return echoThroughBar(bus, device, bar, offset, value);
    if (as->parsed()) {
        auto rest = as->remaining();
        if (!rest.empty() && rest.front() == "--") rest.erase(rest.begin());
        if (rest.empty()) {
            std::cerr << "vm_guest_probe as: no program given\n";
            return 2;
        }
        return runAs(uid, gid, groups, rest);
    }
    return 2;
}
