// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simpc/export.h"
#include "simpc/io_handler.h"

namespace simpc {

// Where a register's reads come from.
enum class RegisterSource : uint8_t {
    Storage,   // what was written (under the writable mask), from the reset value
    Loopback,  // another register's stored value under a mask; the other bits from storage
    Counter,   // storage counts up by `step` on each read, or at `rate` counts a second
    Samples,   // a list of values in turn, then again from the first or holding the last
};

// One dword register in a card's own I/O range (BAR4). Registers refer to each other by their
// index in the card's list.
struct RegisterConfig {
    std::string name;
    uint32_t offset = 0;  // from the start of the range, a multiple of 4
    uint32_t reset = 0;
    uint32_t writable = 0xFFFFFFFF;  // bits a write stores
    uint32_t writeOneToClear = 0;    // bits a write of 1 clears (status flags)
    bool writeOnly = false;          // reads give 0
    RegisterSource source = RegisterSource::Storage;
    unsigned loopbackFrom = 0;  // Loopback: the register whose stored value reads back here
    uint32_t loopbackMask = 0xFFFFFFFF;
    uint32_t counterStep = 0;  // Counter: per read, or
    uint64_t counterRate = 0;  // counts a second (one of the two is 0)
    std::vector<uint32_t> samples;
    bool holdLastSample = false;  // else the list repeats
    struct Busy {
        uint32_t bit = 0;    // reads 1 while busy, 0 when ready
        unsigned reads = 0;  // reads that show busy after the write
        unsigned after = 0;  // the register whose write starts it
    };
    std::optional<Busy> busy;
};

// Behaviour written in code for a card's whole I/O range, in place of its rack registers.
// Offsets are from the start of the range. Called on the thread making the port access.
class SIMPC_API CardModel {
  public:
    virtual ~CardModel() = default;
    virtual uint32_t read(uint32_t offset) = 0;
    virtual void write(uint32_t offset, uint32_t value) = 0;
};

// The registers of one card's I/O range, as the machine decodes them at the range's base.
// Offsets no register claims read all ones and drop writes.
class SIMPC_API CardRegisters final : public IoHandler {
  public:
    // `size`: the range in bytes; `slot`: the card's, for trace lines. The configs must be
    // valid: offsets inside the range and distinct, indexes in range (the rack checks them).
    CardRegisters(std::string slot, uint32_t size, std::vector<RegisterConfig> registers);

    uint32_t size() const { return size_; }
    bool hasRegisters() const { return !registers_.empty(); }
    const std::vector<RegisterConfig>& registers() const { return configs_; }

    // Where the machine currently decodes the range.
    void setBase(uint32_t base) { base_ = base; }

    uint32_t read(uint32_t offset);
    void write(uint32_t offset, uint32_t value);

    uint32_t ioRead(uint32_t port) override { return read(port - base_); }
    void ioWrite(uint32_t port, uint32_t value) override { write(port - base_, value); }
    std::string portName(uint32_t port) const override;

    // Replaces the rack registers with `model` for every access; nullptr gives them back.
    void setModel(std::shared_ptr<CardModel> model) { model_ = std::move(model); }
    bool hasModel() const { return model_ != nullptr; }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr uint16_t kUnclaimed = 0xFFFF;

    struct Register {
        RegisterConfig::Busy busy{};
        bool hasBusy = false;
        RegisterSource source = RegisterSource::Storage;
        bool writeOnly = false;
        uint32_t stored = 0, writable = 0, writeOneToClear = 0;
        uint32_t loopbackMask = 0;
        unsigned loopbackFrom = 0;
        uint32_t step = 0;
        uint64_t rate = 0;
        Clock::time_point since{};
        size_t nextSample = 0;
        unsigned busyLeft = 0;
        std::vector<unsigned> startsBusy;  // registers whose busy bit a write here starts
    };

    uint32_t rateCount(const Register& r) const;

    std::string slot_;
    uint32_t size_;
    uint32_t base_ = 0;
    std::vector<RegisterConfig> configs_;
    std::vector<Register> registers_;
    std::vector<uint16_t> byOffset_;  // dword index -> register index or kUnclaimed
    std::shared_ptr<CardModel> model_;
};

}  // namespace simpc
