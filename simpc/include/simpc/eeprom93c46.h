// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "simpc/export.h"

namespace simpc {

inline constexpr unsigned kEepromWords = 64;
using EepromWords = std::array<uint16_t, kEepromWords>;

inline constexpr EepromWords kBlankEeprom = [] {
    EepromWords w{};
    w.fill(0xFFFF);
    return w;
}();

// Ways a card's serial EEPROM can misbehave.
struct EepromFaults {
    bool absent = false;            // not fitted: DO floats high, "present" reads 0
    bool neverReady = false;        // the first programming cycle never finishes
    bool dropWrites = false;        // programming looks normal but memory keeps its old contents
    bool writeProtected = false;    // WRITE, ERASE, ERAL and WRAL are ignored
    std::optional<bool> doStuck{};  // DO always reads this level
};

// 64 x 16-bit Microwire EEPROM, driven pin by pin through the bridge's CNTRL register.
class SIMPC_API Eeprom93C46 {
  public:
    struct Instruction {
        enum class Op { Read, Write, Erase, Ewen, Ewds, Eral, Wral } op = Op::Read;
        uint8_t address = 0;  // word address; 0 for EWEN, EWDS, ERAL, WRAL
        uint16_t data = 0;    // word read (READ) or written (WRITE, WRAL); 0 otherwise

        bool operator==(const Instruction&) const = default;
    };

    // Called when a programming cycle changes memory: all words, and a mask of the word
    // indexes the instruction addressed (bit n = word n). Returns whether the change is kept;
    // when it is not, memory keeps its old contents, as if the cycle wrote nothing.
    using ChangeListener = std::function<bool(const EepromWords& words, uint64_t touched)>;

    // The log keeps at most this many instructions; later ones are only counted.
    static constexpr size_t kMaxLog = size_t{1} << 20;

    explicit Eeprom93C46(const EepromWords& initial = kBlankEeprom, EepromFaults faults = {},
                         unsigned busyReads = 4);

    // Pin levels as the bridge drives them; edges are found against the previous levels.
    void setPins(bool cs, bool sk, bool di);
    // Level on DO right now.
    bool dataOut() const;
    // One read of DO by the bridge: returns the level and advances the busy countdown.
    bool sampleDataOut();
    bool fitted() const { return !faults_.absent; }

    uint16_t word(unsigned index) const;
    const EepromWords& words() const { return words_; }
    // Direct access for set-up and images; does not notify the change listener.
    void setWord(unsigned index, uint16_t value);
    void setWords(const EepromWords& words) { words_ = words; }

    bool writeEnabled() const { return writeEnabled_; }
    // A programming cycle started and DO has not yet shown ready.
    bool busy() const { return programming_ && (stuckBusy_ || busyLeft_ > 0); }
    const EepromFaults& faults() const { return faults_; }
    unsigned busyReads() const { return busyReads_; }

    const std::vector<Instruction>& instructions() const { return log_; }
    size_t instructionsNotLogged() const { return notLogged_; }
    void clearLog();

    void onChange(ChangeListener listener) { listener_ = std::move(listener); }

  private:
    enum class Phase { WaitStart, Command, Data, ReadOut, Complete };

    void clockIn(bool di);
    void decodeCommand();
    void finishData();
    void chipDeselected();
    void startProgramming();
    void record(Instruction::Op op, uint8_t address, uint16_t data);

    EepromWords words_;
    EepromFaults faults_;
    unsigned busyReads_;

    bool cs_ = false, sk_ = false;
    Phase phase_ = Phase::WaitStart;
    unsigned bits_ = 0;    // bits shifted in during this phase
    uint32_t shift_ = 0;   // command or data bits
    uint8_t opcode_ = 0;   // 2-bit opcode of the instruction being decoded
    uint8_t address_ = 0;  // 6-bit address of the instruction being decoded
    int readBit_ = -1;     // -1: dummy zero, else bit index into the word (0 = D15)
    bool readLevel_ = false;

    std::optional<Instruction> pending_;  // programming instruction waiting for CS to fall
    bool writeEnabled_ = false;
    bool programming_ = false;  // a programming cycle started; status shows while CS is high
    bool stuckBusy_ = false;    // never-ready part that started programming
    unsigned busyLeft_ = 0;

    std::vector<Instruction> log_;
    size_t notLogged_ = 0;
    ChangeListener listener_;
};

}  // namespace simpc
