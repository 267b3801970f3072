// The bus scan, the process-wide card table and the operations that answer from it.
//
// Every operation rescans PCI buses 0-3 (function 0 only) through configuration
// mechanism #1 and refills the table before it answers. The table and its count are
// visible here so that tools built on the same scan can show where each card sits.
#pragma once

#include <cstdint>

#include <slotscan.h>

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

// The plain operations look for vendor 0x10B5, device 0x9050, any subsystem.
inline constexpr PCIID kDefaultFilter = {0x9050, 0x10B5, 0, 0};

inline constexpr uint16_t kConfigAddressPort = 0xCF8;
inline constexpr uint16_t kConfigDataPort = 0xCFC;
inline constexpr uint16_t kCardNoByteAddress = 0x70;  // word 0x38
inline constexpr int kLastBus = 3;
inline constexpr int kDevicesPerBus = 32;

extern PCICardInfo CardTable[MAX_CARDS];
extern int32_t CardCount;

uint32_t ReadConfigDword(uint32_t address);
void ScanCards(const PCIID* filter);

int32_t FindCards(const PCIID* filter, int16_t* cardNos);
int32_t IOBaseByCardNo(const PCIID* filter, int32_t cardNo, uint16_t* ioBase, uint16_t* irq);
int32_t IOBaseByOrder(const PCIID* filter, int32_t index, uint16_t* ioBase, uint16_t* irq);
int32_t RenumberByCardNo(const PCIID* filter, int32_t oldNo, int32_t newNo);
int32_t RenumberByOrder(const PCIID* filter, int32_t index, int32_t newNo);

}  // namespace slotscan
