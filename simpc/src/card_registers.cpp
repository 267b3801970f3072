// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/card_registers.h"

#include <fmt/format.h>

namespace simpc {

CardRegisters::CardRegisters(std::string slot, uint32_t size, std::vector<RegisterConfig> registers)
    : slot_(std::move(slot)),
      size_(size),
      configs_(std::move(registers)),
      byOffset_(size / 4, kUnclaimed) {
    const auto start = Clock::now();
    registers_.resize(configs_.size());
    for (size_t i = 0; i < configs_.size(); ++i) {
        const RegisterConfig& c = configs_[i];
        Register& r = registers_[i];
        r.source = c.source;
        r.writeOnly = c.writeOnly;
        r.stored = c.reset;
        r.writable = c.writable;
        r.writeOneToClear = c.writeOneToClear;
        r.loopbackFrom = c.loopbackFrom;
        r.loopbackMask = c.loopbackMask;
        r.step = c.counterStep;
        r.rate = c.counterRate;
        r.since = start;
        if (c.busy) {
            r.hasBusy = true;
            r.busy = *c.busy;
        }
        byOffset_[c.offset / 4] = static_cast<uint16_t>(i);
    }
    for (size_t i = 0; i < configs_.size(); ++i) {
        if (configs_[i].busy) {
            registers_[configs_[i].busy->after].startsBusy.push_back(static_cast<unsigned>(i));
        }
    }
}

uint32_t CardRegisters::rateCount(const Register& r) const {
    // Whole counts since `since`, without overflowing for any rate up to 10^9 a second.
    constexpr uint64_t kNs = 1'000'000'000;
    const auto ns = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - r.since).count());
    return static_cast<uint32_t>((ns / kNs) * r.rate + (ns % kNs) * r.rate / kNs);
}

uint32_t CardRegisters::read(uint32_t offset) {
    if (model_) [[unlikely]]
        return model_->read(offset);
    const uint32_t index = offset / 4;
    if (index >= byOffset_.size() || byOffset_[index] == kUnclaimed) return 0xFFFFFFFF;
    Register& r = registers_[byOffset_[index]];
    uint32_t value = r.stored;
    switch (r.source) {
        case RegisterSource::Storage:
            break;
        case RegisterSource::Loopback:
            value =
                (registers_[r.loopbackFrom].stored & r.loopbackMask) | (r.stored & ~r.loopbackMask);
            break;
        case RegisterSource::Counter:
            if (r.rate != 0) {
                value = r.stored + rateCount(r);
            } else {
                r.stored += r.step;
            }
            break;
        case RegisterSource::Samples: {
            const auto& samples = configs_[byOffset_[index]].samples;
            value = samples[r.nextSample];
            if (r.nextSample + 1 < samples.size()) {
                ++r.nextSample;
            } else if (!configs_[byOffset_[index]].holdLastSample) {
                r.nextSample = 0;
            }
            break;
        }
    }
    if (r.writeOnly) value = 0;
    if (r.hasBusy) {
        if (r.busyLeft > 0) {
            value |= r.busy.bit;
            --r.busyLeft;
        } else {
            value &= ~r.busy.bit;
        }
    }
    return value;
}

void CardRegisters::write(uint32_t offset, uint32_t value) {
    if (model_) [[unlikely]]
        return model_->write(offset, value);
    const uint32_t index = offset / 4;
    if (index >= byOffset_.size() || byOffset_[index] == kUnclaimed) return;
    Register& r = registers_[byOffset_[index]];
    if (r.source == RegisterSource::Counter && r.rate != 0) {
        // The count carries on from the value written (its writable bits).
        r.stored += rateCount(r);
        r.since = Clock::now();
    }
    r.stored = (r.stored & ~r.writable) | (value & r.writable);
    r.stored &= ~(value & r.writeOneToClear);
    r.nextSample = 0;
    for (unsigned i : r.startsBusy) registers_[i].busyLeft = registers_[i].busy.reads;
}

std::string CardRegisters::portName(uint32_t port) const {
    const uint32_t offset = port - base_;
    if (model_) return fmt::format("{} +{:#04x} (model)", slot_, offset);
    const uint32_t index = offset / 4;
    if (index >= byOffset_.size() || byOffset_[index] == kUnclaimed) {
        return fmt::format("{} +{:#04x} (no register)", slot_, offset);
    }
    return fmt::format("{} {}", slot_, configs_[byOffset_[index]].name);
}

}  // namespace simpc
