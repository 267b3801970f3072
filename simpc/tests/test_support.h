// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "simpc/simpc.h"

namespace simpc::test {

// Reads or writes a configuration dword the way a port-level scanner does.
inline uint32_t configRead(Machine& m, PciAddress at, uint8_t reg) {
    m.out(0xCF8, 0x80000000u | uint32_t{configIndex(at)} << 8 | reg);
    return m.in(0xCFC);
}
inline void configWrite(Machine& m, PciAddress at, uint8_t reg, uint32_t value) {
    m.out(0xCF8, 0x80000000u | uint32_t{configIndex(at)} << 8 | reg);
    m.out(0xCFC, value);
}

// Drives a card's EEPROM pins through CNTRL as a driver would. It writes from a shadow copy,
// so the only CNTRL reads (which step the busy countdown) are the explicit dataOut() calls.
class Microwire {
  public:
    Microwire(Machine& m, uint16_t localBase)
        : m_(m), port_(localBase + cntrl::kOffset), shadow_(m.in(port_) & ~0x1F000000u) {}

    bool dataOut() { return (m_.in(port_)&cntrl::kDo) != 0; }
    void pins(bool cs, bool sk, bool di) {
        shadow_ = (shadow_ & ~(cntrl::kCs | cntrl::kSk | cntrl::kDi)) | (cs ? cntrl::kCs : 0) |
                  (sk ? cntrl::kSk : 0) | (di ? cntrl::kDi : 0);
        m_.out(port_, shadow_);
    }
    void clock(bool di) {  // DI is latched on the rising edge
        pins(true, false, di);
        pins(true, true, di);
    }
    void send(uint32_t bits, unsigned count) {
        while (count-- > 0) clock((bits >> count) & 1);
    }
    uint16_t receive() {  // 16 clocks, sampling DO after each
        uint16_t value = 0;
        for (int i = 0; i < 16; ++i) {
            clock(false);
            value = static_cast<uint16_t>(value << 1 | (dataOut() ? 1 : 0));
        }
        return value;
    }
    void select() { pins(true, false, false); }
    void deselect() { pins(false, false, false); }
    void command(unsigned op, unsigned address) {  // start bit, opcode, address; CS stays high
        select();
        send(0b100000000 | op << 6 | address, 9);
    }
    uint16_t read(unsigned address) {
        command(0b10, address);
        uint16_t value = receive();
        deselect();
        return value;
    }
    void ewen() {
        command(0b00, 0b110000);
        deselect();
    }
    void ewds() {
        command(0b00, 0b000000);
        deselect();
    }
    void eral() {
        command(0b00, 0b100000);
        deselect();
    }
    void erase(unsigned address) {
        command(0b11, address);
        deselect();
    }
    void write(unsigned address, uint16_t data) {
        command(0b01, address);
        send(data, 16);
        deselect();
    }
    void wral(uint16_t data) {
        command(0b00, 0b010000);
        send(data, 16);
        deselect();
    }
    // Raises CS and counts the reads that show busy before ready; -1 if never ready.
    int busyReads(int limit = 1000) {
        select();
        for (int n = 0; n < limit; ++n) {
            if (dataOut()) return n;
        }
        return -1;
    }
    void program(unsigned address, uint16_t data) {  // what a driver does to store a word
        ewen();
        write(address, data);
        busyReads();
        deselect();
    }

  private:
    Machine& m_;
    uint32_t port_;
    uint32_t shadow_;
};

// A private folder, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "simpc-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

inline std::string slurp(const std::filesystem::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

inline std::filesystem::path exampleRack(const std::string& name) {
    return std::filesystem::path(SIMPC_EXAMPLE_RACKS) / name;
}

}  // namespace simpc::test
