// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "test_support.h"

namespace simpc {
namespace {

using test::configRead;
using test::configWrite;

constexpr PciAddress kCardSlot{0x12, 0x1f, 7};
constexpr PciAddress kHostSlot{0, 0, 0};

class ConfigSpace : public ::testing::Test {
  protected:
    ConfigSpace() {
        CardConfig c;
        c.subsystemVendorId = 0x10B5;
        c.subsystemId = 0x2001;
        c.bars = {0xfebff000, 0xe001, 0, 0, 0x0301, 0};
        c.interruptLine = 5;
        card = &m.addCard(kCardSlot, c);
        m.addGeneric(kHostSlot,
                     {.vendorId = 0x8086, .deviceId = 0x1237, .classRevision = 0x06000002});
    }
    Machine m;
    Plx9050Card* card = nullptr;
};

TEST_F(ConfigSpace, AddressRegisterReadsBackAndDataNeedsEnableBit) {
    m.out(0xCF8, 0x7fffff03);
    EXPECT_EQ(m.in(0xCF8), 0x7fffff03u);

    m.out(0xCF8, uint32_t{configIndex(kHostSlot)} << 8);  // bit 31 clear
    EXPECT_EQ(m.in(0xCFC), 0xFFFFFFFFu);
    m.out(0xCFC, 0x12345678);  // dropped
    EXPECT_EQ(configRead(m, kHostSlot, 0x00), 0x12378086u);
}

TEST_F(ConfigSpace, DecodesBusDeviceFunctionAndRegister) {
    EXPECT_EQ(configRead(m, kCardSlot, 0x00), 0x905010B5u);
    EXPECT_EQ(configRead(m, kCardSlot, 0x08), 0x06800001u);
    EXPECT_EQ(configRead(m, kCardSlot, 0x14), 0xe001u);
    EXPECT_EQ(configRead(m, kCardSlot, 0x20), 0x0301u);
    EXPECT_EQ(configRead(m, kCardSlot, 0x2C), 0x200110B5u);
    EXPECT_EQ(configRead(m, kCardSlot, 0x3C) & 0xFFFF, 0x0105u);  // pin A, line 5
    EXPECT_EQ(configRead(m, kCardSlot, 0x03), 0x905010B5u);       // low two bits ignored
    EXPECT_EQ(configRead(m, kHostSlot, 0x08), 0x06000002u);
    // Each neighbour in each field is empty.
    for (PciAddress other : {PciAddress{0x13, 0x1f, 7}, PciAddress{0x11, 0x1f, 7},
                             PciAddress{0x12, 0x1e, 7}, PciAddress{0x12, 0x1f, 6}}) {
        EXPECT_EQ(configRead(m, other, 0x00), 0xFFFFFFFFu) << formatSlot(other);
    }
}

TEST_F(ConfigSpace, IdentificationIsReadOnlyOtherRegistersStore) {
    for (uint8_t reg : {uint8_t{0x00}, uint8_t{0x08}, uint8_t{0x2C}}) {
        uint32_t before = configRead(m, kCardSlot, reg);
        configWrite(m, kCardSlot, reg, ~before);
        EXPECT_EQ(configRead(m, kCardSlot, reg), before) << "register " << int{reg};
    }
    configWrite(m, kCardSlot, 0x3C, 0xFFFF000B);  // line writable, pin not
    EXPECT_EQ(configRead(m, kCardSlot, 0x3C), 0x0000010Bu);
    configWrite(m, kCardSlot, 0x40, 0xCAFEF00D);
    EXPECT_EQ(configRead(m, kCardSlot, 0x40), 0xCAFEF00Du);
}

TEST_F(ConfigSpace, BarSizingAndMovingBar1MovesTheLocalRegisters) {
    configWrite(m, kCardSlot, 0x14, 0xFFFFFFFF);
    EXPECT_EQ(configRead(m, kCardSlot, 0x14), 0xFFFFFF81u);  // 128 bytes of I/O
    EXPECT_EQ(m.in(0xe050), 0xFFFFFFFFu);                    // decodes nowhere meanwhile
    configWrite(m, kCardSlot, 0x18, 0xFFFFFFFF);             // BAR2 not implemented
    EXPECT_EQ(configRead(m, kCardSlot, 0x18), 0u);

    configWrite(m, kCardSlot, 0x14, 0xd001);
    EXPECT_EQ(card->localRegBase(), 0xd000);
    EXPECT_EQ(m.in(0xd050) & cntrl::kPresent, cntrl::kPresent);
    EXPECT_EQ(m.in(0xe050), 0xFFFFFFFFu);
}

TEST(Machine, RejectsBadOrTakenSlotsAndMarksMultiFunctionDevices) {
    Machine m;
    GenericConfig g{.vendorId = 0x8086, .deviceId = 0x7000};
    m.addGeneric({0, 1, 0}, g);
    EXPECT_EQ(configRead(m, {0, 1, 0}, 0x0C) >> 16 & 0xFF, 0u);
    m.addGeneric({0, 1, 1}, g);
    EXPECT_EQ(configRead(m, {0, 1, 0}, 0x0C) >> 16 & 0xFF, 0x80u);

    EXPECT_THROW(m.addGeneric({0, 1, 1}, g), std::invalid_argument);
    EXPECT_THROW(m.addGeneric({0, 32, 0}, g), std::invalid_argument);
    EXPECT_THROW(m.addCard({0, 2, 8}, CardConfig{}), std::invalid_argument);
    EXPECT_EQ(m.devices().size(), 2u);
}

TEST(Machine, UndecodedPortsReadAllOnesAndEveryAccessIsCounted) {
    Machine m;
    for (uint32_t port : {0x80u, 0xCF9u, 0xCFDu, 0xFFFFu, 0x10CF8u, 0xFFFFFFFFu}) {
        EXPECT_EQ(m.in(port), 0xFFFFFFFFu) << port;
        m.out(port, 0);
    }
    EXPECT_EQ(m.counters().reads + 10 * m.counters().writes, 66u);
}

}  // namespace
}  // namespace simpc
