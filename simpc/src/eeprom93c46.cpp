// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/eeprom93c46.h"

#include <stdexcept>

namespace simpc {

namespace {

constexpr unsigned kCommandBits = 8;  // 2 opcode bits, 6 address bits
constexpr unsigned kDataBits = 16;
constexpr uint8_t kAddressMask = kEepromWords - 1;
constexpr uint64_t kAllWords = ~uint64_t{0};

// Opcodes, and the two address bits that select among the 00 instructions.
constexpr uint8_t kOpRead = 0b10, kOpWrite = 0b01, kOpErase = 0b11, kOpSpecial = 0b00;
constexpr uint8_t kSubEwds = 0b00, kSubWral = 0b01, kSubEral = 0b10, kSubEwen = 0b11;

}  // namespace

Eeprom93C46::Eeprom93C46(const EepromWords& initial, EepromFaults faults, unsigned busyReads)
    : words_(initial), faults_(faults), busyReads_(busyReads) {}

uint16_t Eeprom93C46::word(unsigned index) const {
    if (index >= kEepromWords) throw std::out_of_range("EEPROM word index out of range");
    return words_[index];
}

void Eeprom93C46::setWord(unsigned index, uint16_t value) {
    if (index >= kEepromWords) throw std::out_of_range("EEPROM word index out of range");
    words_[index] = value;
}

void Eeprom93C46::clearLog() {
    log_.clear();
    notLogged_ = 0;
}

void Eeprom93C46::setPins(bool cs, bool sk, bool di) {
    bool rising = sk && !sk_;
    sk_ = sk;
    if (faults_.absent) {
        cs_ = cs;
        return;
    }
    if (cs != cs_) {
        cs_ = cs;
        if (!cs) chipDeselected();
    }
    // A clock edge in the same write as CS rising counts: CS is taken to settle first.
    if (cs && rising) clockIn(di);
}

bool Eeprom93C46::dataOut() const {
    if (faults_.doStuck) return *faults_.doStuck;
    if (faults_.absent || !cs_) return true;  // not driven: pull-up
    if (programming_) return !stuckBusy_ && busyLeft_ == 0;
    if (phase_ == Phase::ReadOut) return readLevel_;
    return true;
}

bool Eeprom93C46::sampleDataOut() {
    bool level = dataOut();
    if (cs_ && programming_ && !stuckBusy_ && busyLeft_ > 0) --busyLeft_;
    return level;
}

void Eeprom93C46::chipDeselected() {
    if (pending_) startProgramming();
    phase_ = Phase::WaitStart;
    bits_ = 0;
    shift_ = 0;
}

void Eeprom93C46::clockIn(bool di) {
    if (stuckBusy_) return;  // programming never ends, the part listens to nothing
    switch (phase_) {
        case Phase::WaitStart:
            if (!di) return;       // leading zeros before the start bit
            programming_ = false;  // a start bit ends the status display
            busyLeft_ = 0;
            phase_ = Phase::Command;
            bits_ = 0;
            shift_ = 0;
            return;
        case Phase::Command:
            shift_ = (shift_ << 1) | (di ? 1u : 0u);
            if (++bits_ == kCommandBits) decodeCommand();
            return;
        case Phase::Data:
            shift_ = (shift_ << 1) | (di ? 1u : 0u);
            if (++bits_ == kDataBits) finishData();
            return;
        case Phase::ReadOut:
            if (++readBit_ == static_cast<int>(kDataBits)) {
                readBit_ = 0;
                address_ = static_cast<uint8_t>((address_ + 1) & kAddressMask);
            }
            readLevel_ = ((words_[address_] >> (15 - readBit_)) & 1) != 0;
            return;
        case Phase::Complete:
            return;  // extra clocks before CS falls
    }
}

void Eeprom93C46::decodeCommand() {
    opcode_ = static_cast<uint8_t>((shift_ >> 6) & 0b11);
    address_ = static_cast<uint8_t>(shift_ & kAddressMask);
    using Op = Instruction::Op;
    phase_ = Phase::Complete;
    switch (opcode_) {
        case kOpRead:
            record(Op::Read, address_, words_[address_]);
            phase_ = Phase::ReadOut;
            readBit_ = -1;
            readLevel_ = false;  // dummy zero
            return;
        case kOpWrite:
            phase_ = Phase::Data;
            bits_ = 0;
            shift_ = 0;
            return;
        case kOpErase:
            record(Op::Erase, address_, 0);
            pending_ = Instruction{Op::Erase, address_, 0};
            return;
        case kOpSpecial:
            break;
    }
    switch (address_ >> 4) {
        case kSubEwen:
            writeEnabled_ = true;
            record(Op::Ewen, 0, 0);
            return;
        case kSubEwds:
            writeEnabled_ = false;
            record(Op::Ewds, 0, 0);
            return;
        case kSubEral:
            record(Op::Eral, 0, 0);
            pending_ = Instruction{Op::Eral, 0, 0};
            return;
        case kSubWral:
            phase_ = Phase::Data;
            bits_ = 0;
            shift_ = 0;
            return;
    }
}

void Eeprom93C46::finishData() {
    using Op = Instruction::Op;
    auto data = static_cast<uint16_t>(shift_ & 0xFFFF);
    Op op = opcode_ == kOpWrite ? Op::Write : Op::Wral;
    uint8_t address = op == Op::Write ? address_ : 0;
    record(op, address, data);
    pending_ = Instruction{op, address, data};
    phase_ = Phase::Complete;
}

void Eeprom93C46::startProgramming() {
    Instruction ins = *pending_;
    pending_.reset();
    if (!writeEnabled_ || faults_.writeProtected) return;

    programming_ = true;
    if (faults_.neverReady) {
        stuckBusy_ = true;
        return;
    }
    busyLeft_ = busyReads_;
    if (faults_.dropWrites) return;

    EepromWords before = words_;
    uint64_t touched = kAllWords;
    using Op = Instruction::Op;
    switch (ins.op) {
        case Op::Write:
            words_[ins.address] = ins.data;
            touched = uint64_t{1} << ins.address;
            break;
        case Op::Erase:
            words_[ins.address] = 0xFFFF;
            touched = uint64_t{1} << ins.address;
            break;
        case Op::Eral:
            words_.fill(0xFFFF);
            break;
        case Op::Wral:
            words_.fill(ins.data);
            break;
        default:
            return;
    }
    if (words_ != before && listener_ && !listener_(words_, touched)) words_ = before;
}

void Eeprom93C46::record(Instruction::Op op, uint8_t address, uint16_t data) {
    if (log_.size() < kMaxLog) {
        log_.push_back(Instruction{op, address, data});
    } else {
        ++notLogged_;
    }
}

}  // namespace simpc
