// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Scanning buses 0-3 and answering lookups from the card table.
#include <slotscan.h>

#include <cstring>

#include "support/access_costs.h"
#include "support/machines.h"

namespace {

using namespace testing_support;

class ScanTest : public MachineTest {};

TEST_F(ScanTest, EmptyMachineCostsTwoAccessesPerSlotAndFindsNothing) {
    int16_t numbers[MAX_CARDS] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(FindPCICard(numbers), 0);
    EXPECT_EQ(accesses(), kEmptyScanAccesses);
    EXPECT_EQ(pauseCount(), 0U);
    for (int16_t n : numbers) EXPECT_EQ(n, 7) << "array must be left untouched";

    uint16_t base = 0xAAAA, irq = 0xBBBB;
    EXPECT_EQ(GetIOBaseByCardNo(1, &base, &irq), 0);
    EXPECT_EQ(GetIOBaseByOrder(0, &base, &irq), 0);
    EXPECT_EQ(base, 0xAAAA);
    EXPECT_EQ(irq, 0xBBBB);
}

TEST_F(ScanTest, AccessCountsFollowDevicesAndCards) {
    testing_support::addOrdinaryDevices(*machine, 5);
    addCard(0, 1);
    addCard(1, 2);
    addCard(2, 3);
    int16_t numbers[MAX_CARDS] = {};
    ASSERT_EQ(FindPCICard(numbers), 3);
    EXPECT_EQ(accesses(), scanCost(8, 3).accesses);
    EXPECT_EQ(pauseCount(), scanCost(8, 3).pauses);
    EXPECT_EQ(pausedFor(), std::chrono::milliseconds(3)) << "a millisecond per card number read";
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[1], 2);
    EXPECT_EQ(numbers[2], 3);
}

TEST_F(ScanTest, FindsCardsByNumberAndByOrder) {
    addCard(0, 10);
    addCard(1, 20);
    uint16_t base = 0, irq = 0;
    ASSERT_EQ(GetIOBaseByCardNo(20, &base, &irq), 1);
    EXPECT_EQ(base, 0x320);
    EXPECT_EQ(irq, 6);
    ASSERT_EQ(GetIOBaseByOrder(0, &base, &irq), 1);
    EXPECT_EQ(base, 0x300);
    EXPECT_EQ(irq, 5);
    EXPECT_EQ(GetIOBaseByCardNo(30, &base, &irq), 0);
    EXPECT_EQ(GetIOBaseByOrder(2, &base, &irq), 0) << "an index equal to the count";
}

TEST_F(ScanTest, NumbersAndIndexesCountByTheirLow16Bits) {
    addCard(0, -1);  // an unprogrammed EEPROM reads 0xFFFF
    uint16_t base = 0, irq = 0;
    EXPECT_EQ(GetIOBaseByCardNo(-1, &base, &irq), 1);
    EXPECT_EQ(GetIOBaseByCardNo(0xFFFF, &base, &irq), 1);
    EXPECT_EQ(GetIOBaseByCardNo(0x7FFFFFFF, &base, &irq), 1);
    EXPECT_EQ(GetIOBaseByOrder(65536, &base, &irq), 1) << "65536 is index 0";
    EXPECT_EQ(GetIOBaseByOrder(-1, &base, &irq), 0) << "-1 is index 65535";
}

TEST_F(ScanTest, DuplicateNumbersReachTheFirstCardByNumberAndBothByOrder) {
    addCard(0, 4);
    addCard(1, 4);
    uint16_t base = 0, irq = 0;
    ASSERT_EQ(GetIOBaseByCardNo(4, &base, &irq), 1);
    EXPECT_EQ(base, 0x300);
    ASSERT_EQ(GetIOBaseByOrder(1, &base, &irq), 1);
    EXPECT_EQ(base, 0x320);
}

TEST_F(ScanTest, TableHoldsNineCardsAndLaterOnesCostNoEepromRead) {
    for (unsigned n = 0; n < 10; ++n) addCard(n, static_cast<int16_t>(n + 1));
    int16_t numbers[MAX_CARDS + 1] = {};
    numbers[MAX_CARDS] = 99;
    ASSERT_EQ(FindPCICard(numbers), 9);
    EXPECT_EQ(numbers[8], 9);
    EXPECT_EQ(numbers[MAX_CARDS], 99) << "nothing written beyond MAX_CARDS";
    EXPECT_EQ(accesses(), kEmptyScanAccesses + 10 * kPerDeviceAccesses + 9 * kEepromReadAccesses);
    uint16_t base = 0, irq = 0;
    EXPECT_EQ(GetIOBaseByCardNo(10, &base, &irq), 0);
    EXPECT_EQ(GetIOBaseByOrder(9, &base, &irq), 0);
}

TEST_F(ScanTest, CardsTheScanCannotSeeAreNeverFound) {
    // Bus 4, function 1, and BAR1 or BAR4 in memory space.
    machine->addCard({4, 0, 0}, testing_support::card(1, 0xE000, 0x300, 5));
    machine->addCard({0, 3, 1}, testing_support::card(2, 0xE080, 0x320, 5));
    auto memoryBar1 = testing_support::card(3, 0xE100, 0x340, 5);
    memoryBar1.bars[1] = 0xFEA00000;
    machine->addCard({0, 4, 0}, memoryBar1);
    auto memoryBar4 = testing_support::card(4, 0xE180, 0x360, 5);
    memoryBar4.bars[4] = 0xFE900000;
    machine->addCard({0, 5, 0}, memoryBar4);
    int16_t numbers[MAX_CARDS] = {};
    EXPECT_EQ(FindPCICard(numbers), 0);
    EXPECT_EQ(pauseCount(), 0U);
}

TEST_F(ScanTest, OrderIsBusThenDevice) {
    machine->addCard({3, 0, 0}, testing_support::card(30, 0xE000, 0x300, 5));
    machine->addCard({0, 31, 0}, testing_support::card(31, 0xE080, 0x320, 5));
    machine->addCard({0, 2, 0}, testing_support::card(2, 0xE100, 0x340, 5));
    int16_t numbers[MAX_CARDS] = {};
    ASSERT_EQ(FindPCICard(numbers), 3);
    EXPECT_EQ(numbers[0], 2);
    EXPECT_EQ(numbers[1], 31);
    EXPECT_EQ(numbers[2], 30);
}

TEST_F(ScanTest, InterruptLine255IsNotNegative) {
    machine->addCard({0, 1, 0}, testing_support::card(1, 0xE000, 0x300, 0xFF));
    uint16_t base = 0, irq = 0;
    ASSERT_EQ(GetIOBaseByCardNo(1, &base, &irq), 1);
    EXPECT_EQ(irq, 255);
}

TEST_F(ScanTest, FiltersMatchEachIdWordAndZeroMatchesAny) {
    auto other = testing_support::card(5, 0xE800, 0x380, 5);
    other.vendorId = 0x1234;
    other.deviceId = 0x5678;
    other.subsystemVendorId = 0x1111;
    other.subsystemId = 0x2222;
    machine->addCard({0, 1, 0}, other);
    addCard(0, 6);  // the default 10B5:9050 card

    int16_t numbers[MAX_CARDS] = {};
    EXPECT_EQ(FindPCICard(numbers), 1);
    EXPECT_EQ(numbers[0], 6);

    const PCIID exact{0x5678, 0x1234, 0x2222, 0x1111};
    ASSERT_EQ(FindPCICard_0(&exact, numbers), 1);
    EXPECT_EQ(numbers[0], 5);
    for (const PCIID wrong : {PCIID{0x5679, 0x1234, 0, 0}, PCIID{0x5678, 0x1235, 0, 0},
                              PCIID{0, 0x1234, 0x2223, 0}, PCIID{0, 0x1234, 0, 0x1112}}) {
        EXPECT_EQ(FindPCICard_0(&wrong, numbers), 0);
    }
    const PCIID anything{0, 0, 0, 0};
    EXPECT_EQ(FindPCICard_0(&anything, numbers), 2);
}

TEST_F(ScanTest, AllZeroFilterReadsTheEepromOfEveryDeviceWithIoBars) {
    testing_support::addOrdinaryDevices(*machine, 3);  // I/O BAR1 and BAR4, no EEPROM
    const PCIID anything{0, 0, 0, 0};
    int16_t numbers[MAX_CARDS] = {};
    ASSERT_EQ(FindPCICard_0(&anything, numbers), 3);
    EXPECT_EQ(accesses(), kEmptyScanAccesses + 3 * kPerDeviceAccesses + 3 * kEepromReadAccesses);
    EXPECT_EQ(numbers[0], -1) << "nothing answers at BAR1 + 0x50: every DO sample reads high";
}

TEST_F(ScanTest, EveryCallRescansAndSeesChanges) {
    addCard(0, 1);
    uint16_t base = 0, irq = 0;
    ASSERT_EQ(GetIOBaseByCardNo(1, &base, &irq), 1);
    machine->cards()[0]->eeprom().setWord(0x38, 8);
    EXPECT_EQ(GetIOBaseByCardNo(1, &base, &irq), 0);
    EXPECT_EQ(GetIOBaseByCardNo(8, &base, &irq), 1);
    addCard(1, 9);
    EXPECT_EQ(GetIOBaseByCardNo(9, &base, &irq), 1);
}

TEST_F(ScanTest, PlainFormsEqualTheDefaultFilter) {
    addCard(0, 3);
    const PCIID defaults{0x9050, 0x10B5, 0, 0};
    uint16_t b1 = 0, i1 = 0, b2 = 0, i2 = 0;
    EXPECT_EQ(GetIOBaseByCardNo(3, &b1, &i1), GetIOBaseByCardNo_0(&defaults, 3, &b2, &i2));
    EXPECT_EQ(b1, b2);
    EXPECT_EQ(i1, i2);
    EXPECT_EQ(GetIOBaseByOrder(0, &b1, &i1), GetIOBaseByOrder_0(&defaults, 0, &b2, &i2));
    EXPECT_EQ(b1, b2);
}

TEST_F(ScanTest, ScanWritesNothingButConfigAddressesAndEepromLines) {
    addCard(0, 3);
    auto& c = *machine->cards()[0];
    const auto before = c.eeprom().words();
    const uint32_t cntrl = c.cntrl();
    int16_t numbers[MAX_CARDS] = {};
    ASSERT_EQ(FindPCICard(numbers), 1);
    EXPECT_EQ(c.eeprom().words(), before);
    EXPECT_EQ(c.cntrl() & ~0x0F000000U, cntrl & ~0x0F000000U);
    EXPECT_EQ(c.cntrl() & 0x0F000000U, 0U) << "all EEPROM lines low afterwards";
}

// The snapshot: every card of one scan, whatever their number, at the cost of one scan.
class SnapshotTest : public MachineTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(SnapshotTest, OneScanGivesEveryCardWithItsSlot) {
    const unsigned cards = GetParam();
    addOrdinaryDevices(*machine, 4);
    for (unsigned n = 0; n < cards; ++n) addCard(n, static_cast<int16_t>(100 + n));
    const unsigned listed = cards < MAX_CARDS ? cards : MAX_CARDS;
    resetCounts();

    PCICardEntry entries[MAX_CARDS + 1];
    std::memset(entries, 0xAB, sizeof entries);
    ASSERT_EQ(ScanPCICards(entries, MAX_CARDS), static_cast<int32_t>(listed));
    EXPECT_EQ(accesses(),
              kEmptyScanAccesses + (4 + cards) * kPerDeviceAccesses + listed * kEepromReadAccesses)
        << "exactly one scan";
    EXPECT_EQ(pauseCount(), listed);
    for (unsigned i = 0; i < listed; ++i) {
        EXPECT_EQ(entries[i].CardNo, 100 + i);
        EXPECT_EQ(entries[i].IOBase, 0x300 + 0x20 * i);
        EXPECT_EQ(entries[i].IRQ, 5 + i);
        EXPECT_EQ(entries[i].Bus, 1);
        EXPECT_EQ(entries[i].Device, 2 * i + 1);
    }
    EXPECT_EQ(entries[listed].CardNo, 0xABAB) << "nothing written beyond the cards found";

    // The same table through a filter, and into a buffer too small for it: the count stays
    // that of the scan, and nothing is written beyond the buffer.
    const PCIID defaults{0x9050, 0x10B5, 0, 0};
    PCICardEntry two[3];
    std::memset(two, 0xAB, sizeof two);
    resetCounts();
    ASSERT_EQ(ScanPCICards_0(&defaults, two, 2), static_cast<int32_t>(listed));
    EXPECT_EQ(accesses(),
              kEmptyScanAccesses + (4 + cards) * kPerDeviceAccesses + listed * kEepromReadAccesses);
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(two[i].CardNo, i < listed && i < 2 ? 100 + i : 0xABAB) << "entry " << i;
    }
    EXPECT_EQ(ScanPCICards(nullptr, 0), static_cast<int32_t>(listed)) << "counting only";
    EXPECT_EQ(ScanPCICards(two, -1), static_cast<int32_t>(listed));
    EXPECT_EQ(two[0].CardNo, cards > 0 ? 100 : 0xABAB) << "a negative capacity stores nothing";
}

INSTANTIATE_TEST_SUITE_P(Cards, SnapshotTest, ::testing::Values(0U, 1U, 3U, 9U, 10U));

TEST_F(ScanTest, SnapshotAgreesWithLookupsAndFilters) {
    auto other = testing_support::card(5, 0xE800, 0x380, 0xFF);
    other.vendorId = 0x1234;
    other.deviceId = 0x5678;
    machine->addCard({0, 7, 0}, other);
    addCard(0, -1);
    addCard(1, 4);
    PCICardEntry entries[MAX_CARDS];
    ASSERT_EQ(ScanPCICards(entries, MAX_CARDS), 2);
    EXPECT_EQ(entries[0].CardNo, 0xFFFF) << "never numbered";
    for (int32_t i = 0; i < 2; ++i) {
        uint16_t base = 0, irq = 0;
        ASSERT_EQ(GetIOBaseByOrder(i, &base, &irq), 1);
        EXPECT_EQ(entries[i].IOBase, base);
        EXPECT_EQ(entries[i].IRQ, irq);
    }
    const PCIID otherIds{0x5678, 0x1234, 0, 0};
    ASSERT_EQ(ScanPCICards_0(&otherIds, entries, MAX_CARDS), 1);
    EXPECT_EQ(entries[0].CardNo, 5);
    EXPECT_EQ(entries[0].IRQ, 255);
    EXPECT_EQ(entries[0].Bus, 0);
    EXPECT_EQ(entries[0].Device, 7);
}

}  // namespace
