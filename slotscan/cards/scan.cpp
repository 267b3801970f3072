// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "cards.h"
#include "eeprom/eeprom.h"
#include "portio/portio.h"

namespace slotscan {
namespace {

PCICardInfo CardTable[MAX_CARDS];

// Configuration header of the device being examined.
uint32_t Header[pci::kHeaderBytes / 4];

uint32_t HeaderDword(uint32_t offset) {
    return Header[offset / 4];
}

uint16_t HeaderWord(uint32_t offset) {
    return static_cast<uint16_t>(HeaderDword(offset) >> ((offset % 4) * 8));
}

bool Matches(uint16_t wanted, uint16_t actual) {
    return wanted == 0 || wanted == actual;
}

bool IsCard(const PCIID& filter) {
    return Matches(filter.VendorID, HeaderWord(pci::kVendorIdOffset)) &&
           Matches(filter.DeviceID, HeaderWord(pci::kDeviceIdOffset)) &&
           Matches(filter.SubsystemID, HeaderWord(pci::kSubsystemIdOffset)) &&
           Matches(filter.SubsystemVendorID, HeaderWord(pci::kSubsystemVendorIdOffset)) &&
           (HeaderDword(pci::kBar4Offset) & pci::kBarIoSpace) != 0 &&
           (HeaderDword(pci::kBar1Offset) & pci::kBarIoSpace) != 0;
}

uint32_t ReadConfigDword(uint32_t address) {
    PortWrite(pci::kConfigAddressPort, address);
    return PortRead(pci::kConfigDataPort);
}

}  // namespace

CardTableView ScanCards(const PCIID* filter) {
    int32_t count = 0;
    for (uint32_t bus = 0; bus <= kLastBus; ++bus) {
        for (uint32_t device = 0; device < pci::kDevicesPerBus; ++device) {
            const uint32_t a = pci::ConfigAddress(bus, device, 0);
            const uint32_t d = ReadConfigDword(a);
            if ((d & 0xFFFF) == pci::kNoDevice) continue;

            Header[0] = d;
            for (uint32_t offset = 4; offset < pci::kHeaderBytes; offset += 4) {
                Header[offset / 4] = ReadConfigDword(a | offset);
            }
            if (!IsCard(*filter) || count >= MAX_CARDS) continue;

            PCICardInfo& card = CardTable[count];
            for (unsigned i = 0; i < 6; ++i) card.Bar[i] = HeaderDword(pci::kBar0Offset + 4 * i);
            card.ConfigAddress = a;
            card.IOBase =
                static_cast<uint16_t>(HeaderDword(pci::kBar4Offset) & pci::kBarIoBaseMask);
            card.LocalRegBase =
                static_cast<uint16_t>(HeaderDword(pci::kBar1Offset) & pci::kBarIoBaseMask);
            card.IRQ = static_cast<uint8_t>(HeaderDword(pci::kInterruptLineOffset) & 0xFF);
            card.Bus = static_cast<uint8_t>(bus);
            card.Device = static_cast<uint8_t>(device);
            EepromReadWord(card.LocalRegBase, 0, kCardNoByteAddress, &card.CardNo);
            ++count;
        }
    }
    return CardTableView{CardTable, count};
}

const PCICardInfo* FirstWithNumber(CardTableView table, int32_t cardNo) {
    const auto wanted = static_cast<uint16_t>(cardNo);
    for (const PCICardInfo& card : table) {
        if (card.CardNo == wanted) return &card;
    }
    return nullptr;
}

const PCICardInfo* AtIndex(CardTableView table, int32_t index) {
    const auto i = static_cast<uint16_t>(index);
    return i < table.count ? &table.cards[i] : nullptr;
}

}  // namespace slotscan
