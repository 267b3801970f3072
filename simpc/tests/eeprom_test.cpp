// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "test_support.h"

namespace simpc {
namespace {

using Op = Eeprom93C46::Instruction::Op;
using Log = std::vector<Eeprom93C46::Instruction>;

EepromWords pattern() {
    EepromWords w{};
    for (unsigned i = 0; i < w.size(); ++i) w[i] = static_cast<uint16_t>(0x1111 * (i % 15) + i);
    return w;
}

// A card with a patterned EEPROM, driven only through its CNTRL register.
class EepromProtocol : public ::testing::Test {
  protected:
    void SetUp() override { use({}); }
    // Adds another card, with these faults, and makes it the one under test.
    void use(EepromFaults faults, unsigned busyReads = 4) {
        CardConfig c;
        c.bars[1] = 0xd001 + added * 0x80;
        c.eeprom = pattern();
        c.faults = faults;
        c.busyReads = busyReads;
        card = &m.addCard({0, static_cast<uint8_t>(10 + added++), 0}, c);
        mw.emplace(m, card->localRegBase());
    }
    const Eeprom93C46& rom() const { return card->eeprom(); }

    Machine m;
    unsigned added = 0;
    Plx9050Card* card = nullptr;
    std::optional<test::Microwire> mw;
};

TEST_F(EepromProtocol, ReadShiftsDummyZeroThenWordsMsbFirstAcrossWords) {
    mw->command(0b10, 0x3e);
    EXPECT_FALSE(mw->dataOut()) << "dummy zero after the last address bit";
    EXPECT_EQ(mw->receive(), pattern()[0x3e]);
    EXPECT_EQ(mw->receive(), pattern()[0x3f]);
    EXPECT_EQ(mw->receive(), pattern()[0x00]) << "wraps around";
    mw->deselect();
    EXPECT_TRUE(mw->dataOut()) << "DO floats high with CS low";
    EXPECT_EQ(rom().instructions(), (Log{{Op::Read, 0x3e, pattern()[0x3e]}}));
}

TEST_F(EepromProtocol, LeadingZerosAreIgnoredAndCsLowAbortsAnInstruction) {
    mw->select();
    mw->send(0, 5);  // clocks with DI low before the start bit
    mw->send(0b110'100001, 9);
    EXPECT_EQ(mw->receive(), pattern()[0x21]);
    mw->deselect();

    mw->select();
    mw->send(0b101, 3);  // half an instruction
    mw->deselect();
    EXPECT_EQ(mw->read(0x05), pattern()[0x05]);
    EXPECT_EQ(rom().instructions().size(), 2u);
}

TEST_F(EepromProtocol, PowersUpWriteDisabledAndEwdsLatches) {
    mw->write(0x38, 0x0003);
    EXPECT_EQ(mw->busyReads(), 0) << "an ignored write does not go busy";
    mw->deselect();
    EXPECT_EQ(rom().word(0x38), pattern()[0x38]);

    mw->ewen();
    EXPECT_TRUE(rom().writeEnabled());
    mw->ewds();
    mw->write(0x38, 0x0003);
    EXPECT_EQ(rom().words(), pattern());
    EXPECT_EQ(rom().instructions().back(), (Eeprom93C46::Instruction{Op::Write, 0x38, 3}));
}

TEST_F(EepromProtocol, WriteStoresOneWordAndShowsBusyUntilAStartBit) {
    mw->ewen();
    mw->write(0x38, 0xBEEF);
    EXPECT_EQ(mw->busyReads(), 4);
    mw->deselect();
    EepromWords expected = pattern();
    expected[0x38] = 0xBEEF;
    EXPECT_EQ(rom().words(), expected);
    EXPECT_EQ(mw->read(0x38), 0xBEEF);

    // Extra clocks after the data change nothing; the status shows across CS cycles.
    mw->command(0b01, 0x10);
    mw->send(0xA5A5'FFFF, 32);
    mw->deselect();
    EXPECT_EQ(rom().word(0x10), 0xA5A5);
    EXPECT_EQ(mw->busyReads(), 4);
    mw->deselect();
    mw->select();
    EXPECT_TRUE(mw->dataOut());
    mw->send(1, 1);
    EXPECT_TRUE(mw->dataOut()) << "start bit ends the status display; DO undriven";
}

TEST_F(EepromProtocol, EraseEralAndWral) {
    mw->ewen();
    mw->erase(0x07);
    EXPECT_EQ(mw->read(0x07), 0xFFFF);
    EXPECT_EQ(mw->read(0x08), pattern()[0x08]);
    mw->wral(0x5A5A);
    mw->busyReads();
    EepromWords all{};
    all.fill(0x5A5A);
    EXPECT_EQ(rom().words(), all);
    mw->eral();
    EXPECT_EQ(mw->busyReads(), 4);
    EXPECT_EQ(rom().words(), kBlankEeprom);

    std::vector<Op> ops;
    for (const auto& i : rom().instructions()) ops.push_back(i.op);
    EXPECT_EQ(ops, (std::vector<Op>{Op::Ewen, Op::Erase, Op::Read, Op::Read, Op::Wral, Op::Eral}));
}

TEST_F(EepromProtocol, NoEepromFloatsHighAndStoresNothing) {
    use({.absent = true});
    EXPECT_EQ(m.in(card->localRegBase() + 0x50u) & (cntrl::kPresent | cntrl::kDo), cntrl::kDo);
    EXPECT_EQ(mw->read(0x38), 0xFFFF);
    mw->program(0x38, 1);
    EXPECT_EQ(rom().words(), pattern());
    EXPECT_TRUE(rom().instructions().empty());
}

TEST_F(EepromProtocol, NeverReadyStaysBusyAndStoresNothing) {
    use({.neverReady = true});
    mw->ewen();
    mw->write(0x38, 1);
    EXPECT_EQ(mw->busyReads(500), -1);
    mw->deselect();
    EXPECT_EQ(rom().words(), pattern());
    EXPECT_EQ(mw->read(0x38), 0x0000) << "a part stuck programming answers nothing";
}

TEST_F(EepromProtocol, DropWritesGoesBusyButKeepsMemory) {
    use({.dropWrites = true}, 6);
    mw->ewen();
    mw->write(0x38, 1);
    EXPECT_EQ(mw->busyReads(), 6);
    mw->deselect();
    EXPECT_EQ(mw->read(0x38), pattern()[0x38]);
}

TEST_F(EepromProtocol, WriteProtectedIgnoresWritesWithoutGoingBusy) {
    use({.writeProtected = true});
    mw->ewen();
    mw->eral();
    EXPECT_EQ(mw->busyReads(), 0);
    EXPECT_EQ(rom().words(), pattern());
}

TEST_F(EepromProtocol, StuckDataOutHidesTheTruthButMemoryWorks) {
    for (bool level : {false, true}) {
        use({.doStuck = level});
        EXPECT_EQ(mw->read(0x00), level ? 0xFFFF : 0x0000);
        mw->ewen();
        mw->write(0x02, 0x0F0F);
        EXPECT_EQ(mw->busyReads(3), level ? 0 : -1);
        EXPECT_EQ(rom().word(0x02), 0x0F0F);
    }
}

}  // namespace
}  // namespace simpc
