// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Giving cards new numbers, and reporting a write the EEPROM did not keep.
#include <slotscan.h>

#include "support/access_costs.h"
#include "support/machines.h"

namespace {

using namespace testing_support;

class RenumberTest : public MachineTest {};

TEST_F(RenumberTest, ChangeByNumberIsSeenByTheNextLookup) {
    auto& c = addCard(0, 3);
    const auto before = c.eeprom().words();
    ASSERT_EQ(ChangeCardNo(3, 7), 1);
    uint16_t base = 0, irq = 0;
    EXPECT_EQ(GetIOBaseByCardNo(3, &base, &irq), 0);
    ASSERT_EQ(GetIOBaseByCardNo(7, &base, &irq), 1);
    EXPECT_EQ(base, 0x300);
    auto expected = before;
    expected[0x38] = 7;
    EXPECT_EQ(c.eeprom().words(), expected) << "no other EEPROM word may change";
}

TEST_F(RenumberTest, AccessCountIsScanWriteAndReadBack) {
    addCard(0, 3);
    const uint64_t busyReads = simpc::CardConfig{}.busyReads;
    ASSERT_EQ(ChangeCardNo(3, 4), 1);
    const Cost cost = renumberCost(1, 1, busyReads + 1U);
    EXPECT_EQ(accesses(), cost.accesses);
    EXPECT_EQ(testing_support::pauseCount(), cost.pauses);
}

TEST_F(RenumberTest, DuplicatesAreRenumberedOneAtATimeInScanOrder) {
    auto& first = addCard(0, 4);
    auto& second = addCard(1, 4);
    ASSERT_EQ(ChangeCardNo(4, 5), 1);
    EXPECT_EQ(first.eeprom().word(0x38), 5);
    EXPECT_EQ(second.eeprom().word(0x38), 4);
    ASSERT_EQ(ChangeCardNo(4, 6), 1);
    EXPECT_EQ(second.eeprom().word(0x38), 6);
    EXPECT_EQ(ChangeCardNo(4, 7), 0);
}

TEST_F(RenumberTest, SameNumberIsRewrittenAndSucceeds) {
    auto& c = addCard(0, 3);
    ASSERT_EQ(ChangeCardNo(3, 3), 1);
    EXPECT_EQ(c.eeprom().word(0x38), 3);
}

TEST_F(RenumberTest, OnlyTheLow16BitsAreStoredAndCompared) {
    auto& c = addCard(0, 3);
    ASSERT_EQ(ChangeCardNo(0x10003, 0x7FFF0009), 1);
    EXPECT_EQ(c.eeprom().word(0x38), 9);
    ASSERT_EQ(SetCardNoByOrder(0, -2), 1);
    EXPECT_EQ(c.eeprom().word(0x38), 0xFFFE);
}

TEST_F(RenumberTest, ByOrderReachesEachCardAndRefusesIndexesBeyondTheTable) {
    auto& first = addCard(0, 1);
    auto& second = addCard(1, 1);
    ASSERT_EQ(SetCardNoByOrder(1, 2), 1);
    EXPECT_EQ(first.eeprom().word(0x38), 1);
    EXPECT_EQ(second.eeprom().word(0x38), 2);
    ASSERT_EQ(SetCardNoByOrder(65536, 10), 1);
    EXPECT_EQ(first.eeprom().word(0x38), 10);

    resetCounts();
    EXPECT_EQ(SetCardNoByOrder(2, 99), 0);
    EXPECT_EQ(accesses(), kEmptyScanAccesses + 2U * kPerDeviceAccesses + 2U * kEepromReadAccesses)
        << "a scan and nothing written";
}

TEST_F(RenumberTest, NoCardOrNoSuchNumberWritesNothing) {
    EXPECT_EQ(ChangeCardNo(1, 2), 0);
    EXPECT_EQ(SetCardNoByOrder(0, 2), 0);
    EXPECT_EQ(accesses(), 2U * kEmptyScanAccesses);
    auto& c = addCard(0, 1);
    EXPECT_EQ(ChangeCardNo(2, 3), 0);
    ASSERT_EQ(c.eeprom().instructions().size(), 1U) << "only the scan's READ, no write command";
    EXPECT_EQ(c.eeprom().instructions()[0].op, simpc::Eeprom93C46::Instruction::Op::Read);
}

TEST_F(RenumberTest, TenthCardIsNeverRenumbered) {
    std::vector<simpc::Plx9050Card*> cards;
    for (unsigned n = 0; n < 10; ++n) cards.push_back(&addCard(n, 1));
    for (int i = 0; i < 9; ++i) ASSERT_EQ(ChangeCardNo(1, 2), 1);
    EXPECT_EQ(ChangeCardNo(1, 2), 0);
    EXPECT_EQ(cards[9]->eeprom().word(0x38), 1);
}

// A write the EEPROM did not keep must not be reported as done.
struct FaultCase {
    const char* name;
    simpc::EepromFaults faults;
};

class UnconfirmedWriteTest : public MachineTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UnconfirmedWriteTest, ReportsFailure) {
    auto config = testing_support::card(3, 0xE000, 0x300, 5);
    config.eeprom[0x38] = 3;
    config.faults = GetParam().faults;
    auto& c = machine->addCard({1, 1, 0}, config);
    const int16_t seenAs = GetParam().faults.absent ? -1 : 3;
    EXPECT_EQ(ChangeCardNo(seenAs, 7), 0);
    EXPECT_EQ(SetCardNoByOrder(0, 7), 0);
    EXPECT_NE(c.eeprom().word(0x38), 7);
    EXPECT_EQ(c.cntrl() & 0x0F000000U, 0U);
}

INSTANTIATE_TEST_SUITE_P(Faults, UnconfirmedWriteTest,
                         ::testing::Values(FaultCase{"WriteProtected", {.writeProtected = true}},
                                           FaultCase{"NoEeprom", {.absent = true}},
                                           FaultCase{"NeverReady", {.neverReady = true}},
                                           FaultCase{"DropsWrites", {.dropWrites = true}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
