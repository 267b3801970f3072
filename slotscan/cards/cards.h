// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The bus scan, the card table it fills and the rules that pick a card from it.
//
// Every operation rescans PCI buses 0-3 (function 0 only) through configuration
// mechanism #1 and answers from the table that scan filled. ScanCards hands the table out
// as a view, so that tools built on the same scan can show where each card sits; the
// table itself is static and is refilled by the next scan.
#pragma once

#include <hw/pci_config.h>
#include <slotscan.h>

#include <cstdint>

#include "eeprom/plx9050.h"

namespace slotscan {

struct PCICardInfo {
    uint32_t Bar[6];         // raw BAR0..BAR5
    uint32_t ConfigAddress;  // configuration address of the card's register 0
    uint16_t IOBase;         // BAR4 & 0xFFFC: the card's own I/O registers
    uint16_t LocalRegBase;   // BAR1 & 0xFFFC: the bridge's local registers
    uint16_t CardNo;         // EEPROM word at byte address 0x70
    uint8_t IRQ;             // interrupt line, configuration offset 0x3C
    uint8_t Bus;
    uint8_t Device;
};

// The cards one scan found, in scan order (bus, then device, ascending).
struct CardTableView {
    const PCICardInfo* cards;
    int32_t count;

    const PCICardInfo* begin() const { return cards; }
    const PCICardInfo* end() const { return cards + count; }
};

// The plain operations look for vendor 0x10B5, device 0x9050, any subsystem.
inline constexpr PCIID kDefaultFilter = {kPci9050DeviceId, kPlxVendorId, 0, 0};

inline constexpr uint16_t kCardNoByteAddress = 0x70;  // word 0x38
inline constexpr uint32_t kLastBus = 3;

// Empties the table, scans buses 0-3 for cards matching `filter` (at most MAX_CARDS),
// reads each one's card number and returns the table.
CardTableView ScanCards(const PCIID* filter);

// The lookup rules. By number: the first card in the table whose number equals the low
// 16 bits of `cardNo`. By index: the card at the low 16 bits of `index`, taken unsigned.
// nullptr when there is none.
const PCICardInfo* FirstWithNumber(CardTableView table, int32_t cardNo);
const PCICardInfo* AtIndex(CardTableView table, int32_t index);

int32_t FindCards(const PCIID* filter, int16_t* cardNos);
int32_t IOBaseByCardNo(const PCIID* filter, int32_t cardNo, uint16_t* ioBase, uint16_t* irq);
int32_t IOBaseByOrder(const PCIID* filter, int32_t index, uint16_t* ioBase, uint16_t* irq);
int32_t RenumberByCardNo(const PCIID* filter, int32_t oldNo, int32_t newNo);
int32_t RenumberByOrder(const PCIID* filter, int32_t index, int32_t newNo);
int32_t Snapshot(const PCIID* filter, PCICardEntry* cards, int32_t capacity);

}  // namespace slotscan
