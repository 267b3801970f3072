// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The Microwire sequences the library drives through a card's CNTRL register.
#include <eeprom/eeprom.h>
#include <sys/prctl.h>

#include "support/access_costs.h"
#include "support/machines.h"

namespace {

using Op = simpc::Eeprom93C46::Instruction::Op;
using testing_support::MachineTest;
using testing_support::pauseCount;

class EepromTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        auto config = testing_support::card(0x1234, kBase, 0x300, 5);
        for (unsigned i = 0; i < 64; ++i) config.eeprom[i] = static_cast<uint16_t>(0xA500 + i);
        config.eeprom[0x38] = 0x1234;
        config.cntrl = kCntrl;
        config.busyReads = 7;
        card = &machine->addCard({0, 1, 0}, config);
        resetCounts();
    }

    // Bits of CNTRL outside the EEPROM lines, set to something a real bridge might hold.
    static constexpr uint32_t kCntrl = 0x00786A5C;
    static constexpr uint16_t kBase = 0xE000;
    simpc::Plx9050Card* card = nullptr;
};

TEST_F(EepromTest, ReadSendsReadCommandForWord38AndCosts106Accesses) {
    uint16_t word = 0;
    slotscan::EepromReadWord(kBase, 0, 0x70, &word);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(accesses(), testing_support::kEepromReadAccesses);
    EXPECT_EQ(pauseCount(), 1U);
    ASSERT_EQ(card->eeprom().instructions().size(), 1U);
    EXPECT_EQ(card->eeprom().instructions()[0].op, Op::Read);
    EXPECT_EQ(card->eeprom().instructions()[0].address, 0x38);
    EXPECT_EQ(card->cntrl(), kCntrl) << "lines low and every other bit kept";
}

TEST_F(EepromTest, PauseGivesTheCallersTimerSlackBack) {
    prctl(PR_SET_TIMERSLACK, 123456UL, 0, 0, 0);
    uint16_t word = 0;
    slotscan::EepromReadWord(kBase, 0, 0x70, &word);
    slotscan::EepromWriteWord(kBase, 0, 0x70, word);
    EXPECT_EQ(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 123456);
    EXPECT_EQ(pauseCount(), 2U);
    EXPECT_EQ(testing_support::pausedFor(), slotscan::kWordFetchWait + slotscan::kProgrammingWait);
    EXPECT_EQ(slotscan::kWordFetchWait + slotscan::kProgrammingWait, std::chrono::milliseconds(2))
        << "each wait is the part's millisecond";
}

TEST_F(EepromTest, OddByteAddressReadsTheSameWord) {
    uint16_t even = 0, odd = 0;
    slotscan::EepromReadWord(kBase, 0, 0x70, &even);
    slotscan::EepromReadWord(kBase, 0, 0x71, &odd);
    EXPECT_EQ(even, odd);
    slotscan::EepromReadWord(kBase, 0, 0x02, &even);
    EXPECT_EQ(even, 0xA501);
}

TEST_F(EepromTest, UnknownTypeTouchesNoPort) {
    uint16_t word = 0x1111;
    slotscan::EepromReadWord(kBase, 3, 0x70, &word);
    EXPECT_EQ(word, 0xFFFF);
    slotscan::EepromWriteWord(kBase, 7, 0x70, 5);
    EXPECT_EQ(accesses(), 0U);
    EXPECT_EQ(pauseCount(), 0U);
    EXPECT_EQ(card->eeprom().word(0x38), 0x1234);
}

TEST_F(EepromTest, WriteStoresOnlyItsWordAndKeepsOtherCntrlBits) {
    const auto before = card->eeprom().words();
    slotscan::EepromWriteWord(kBase, 0, 0x70, 5);
    auto expected = before;
    expected[0x38] = 5;
    EXPECT_EQ(card->eeprom().words(), expected);
    EXPECT_FALSE(card->eeprom().writeEnabled()) << "EWDS must follow the write";
    EXPECT_EQ(card->cntrl(), kCntrl);
    EXPECT_EQ(card->resetOrReloadWrites(), 0U);
    EXPECT_EQ(pauseCount(), 1U);
    // EWEN, WRITE, ready poll (7 busy reads and the ready one), EWDS.
    EXPECT_EQ(accesses(), testing_support::kEepromWriteAccesses + 8U);
    const auto& log = card->eeprom().instructions();
    ASSERT_EQ(log.size(), 3U);
    EXPECT_EQ(log[0].op, Op::Ewen);
    EXPECT_EQ(log[1].op, Op::Write);
    EXPECT_EQ(log[1].address, 0x38);
    EXPECT_EQ(log[1].data, 5);
    EXPECT_EQ(log[2].op, Op::Ewds);
}

TEST_F(EepromTest, WriteStoresTheLow16BitsMostSignificantFirst) {
    slotscan::EepromWriteWord(kBase, 0, 0x70, 0x7ABCD);
    EXPECT_EQ(card->eeprom().word(0x38), 0xABCD);
    slotscan::EepromWriteWord(kBase, 0, 0x70, 0x8001);
    EXPECT_EQ(card->eeprom().word(0x38), 0x8001);
}

TEST_F(EepromTest, ReadAllCostsSixtyFourLookupReadsAndSeesAPartThatAnswers) {
    slotscan::EepromContents contents{};
    slotscan::EepromReadAll(kBase, &contents);
    for (unsigned i = 0; i < slotscan::kEepromWords; ++i)
        EXPECT_EQ(contents.words[i], card->eeprom().word(i)) << "word " << i;
    EXPECT_FALSE(contents.deselectedLow);
    EXPECT_FALSE(contents.dummyHigh);
    EXPECT_EQ(accesses(), 64U * testing_support::kEepromReadAccesses);
    EXPECT_EQ(pauseCount(), 64U);
    EXPECT_EQ(card->cntrl(), kCntrl);
    const auto& log = card->eeprom().instructions();
    ASSERT_EQ(log.size(), 64U);
    for (unsigned i = 0; i < 64; ++i) EXPECT_EQ(log[i].op, Op::Read);
}

class StuckEepromTest : public MachineTest {};

// What DO shows outside the data tells a part that answers from a line nothing drives.
TEST_F(StuckEepromTest, ReadAllTellsLinesNoPartDrives) {
    struct Case {
        simpc::EepromFaults faults;
        uint16_t words;
        bool deselectedLow, dummyHigh;
    };
    const Case cases[] = {{{.doStuck = true}, 0xFFFF, false, true},
                          {{.doStuck = false}, 0x0000, true, false},
                          {{.absent = true}, 0xFFFF, false, true}};
    uint8_t slot = 1;
    for (const Case& c : cases) {
        const auto base = static_cast<uint16_t>(0xE000 + 0x80 * slot);
        auto config = testing_support::card(1, base, static_cast<uint16_t>(0x300 + 0x20 * slot), 5);
        config.faults = c.faults;
        machine->addCard({0, slot++, 0}, config);
        slotscan::EepromContents contents{};
        slotscan::EepromReadAll(base, &contents);
        EXPECT_EQ(contents.words[0], c.words);
        EXPECT_EQ(contents.words[63], c.words);
        EXPECT_EQ(contents.deselectedLow, c.deselectedLow) << "slot " << int(slot - 1);
        EXPECT_EQ(contents.dummyHigh, c.dummyHigh) << "slot " << int(slot - 1);
    }
}

TEST_F(StuckEepromTest, SamplesAllHighReadFFFFAndAllLowRead0000) {
    auto high = testing_support::card(1, 0xE000, 0x300, 5);
    high.faults.doStuck = true;
    auto low = testing_support::card(1, 0xE080, 0x320, 5);
    low.faults.doStuck = false;
    machine->addCard({0, 1, 0}, high);
    machine->addCard({0, 2, 0}, low);
    uint16_t word = 0;
    slotscan::EepromReadWord(0xE000, 0, 0x70, &word);
    EXPECT_EQ(word, 0xFFFF);
    slotscan::EepromReadWord(0xE080, 0, 0x70, &word);
    EXPECT_EQ(word, 0x0000);
}

TEST_F(StuckEepromTest, NeverReadyWriteGivesUpAfter10000Polls) {
    auto config = testing_support::card(1, 0xE000, 0x300, 5);
    config.faults.neverReady = true;
    auto& c = machine->addCard({0, 1, 0}, config);
    resetCounts();
    slotscan::EepromWriteWord(0xE000, 0, 0x70, 2);
    // The count includes the EWDS cycle, which a part still programming ignores.
    EXPECT_EQ(accesses(), testing_support::kEepromWriteAccesses + 10000U);
    EXPECT_EQ(pauseCount(), 1U);
    EXPECT_EQ(c.cntrl() & 0x0F000000U, 0U);
}

}  // namespace
