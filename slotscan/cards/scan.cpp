#include "cards.h"

#include "eeprom/eeprom.h"
#include "portio/portio.h"

namespace slotscan {

PCICardInfo CardTable[MAX_CARDS];
int32_t CardCount = 0;

namespace {

// Configuration header (offsets 0x00-0x3F) of the device being examined.
uint32_t Header[16];

uint16_t HeaderWord(unsigned offset) {
    return static_cast<uint16_t>(Header[offset / 4] >> ((offset % 4) * 8));
}

bool Matches(uint16_t wanted, uint16_t actual) { return wanted == 0 || wanted == actual; }

bool IsCard(const PCIID& filter) {
    return Matches(filter.VendorID, HeaderWord(0x00)) &&
           Matches(filter.DeviceID, HeaderWord(0x02)) &&
           Matches(filter.SubsystemID, HeaderWord(0x2E)) &&
           Matches(filter.SubsystemVendorID, HeaderWord(0x2C)) &&
           (Header[0x20 / 4] & 1U) != 0 &&  // BAR4 in I/O space
           (Header[0x14 / 4] & 1U) != 0;    // BAR1 in I/O space
}

}  // namespace

uint32_t ReadConfigDword(uint32_t address) {
    PortWrite(kConfigAddressPort, address);
    return PortRead(kConfigDataPort);
}

void ScanCards(const PCIID* filter) {
    CardCount = 0;
    for (uint32_t bus = 0; bus <= kLastBus; ++bus) {
        for (uint32_t device = 0; device < kDevicesPerBus; ++device) {
            const uint32_t function = 0;
            const uint32_t a = 0x80000000U | bus << 16 | device << 11 | function << 8;
            const uint32_t d = ReadConfigDword(a);
            if ((d & 0xFFFF) == 0xFFFF) continue;

            Header[0] = d;
            for (uint32_t offset = 4; offset < 64; offset += 4) {
                Header[offset / 4] = ReadConfigDword(a | (offset & 0xFC));
            }
            if (!IsCard(*filter) || CardCount >= MAX_CARDS) continue;

            PCICardInfo& card = CardTable[CardCount];
            for (unsigned i = 0; i < 6; ++i) card.Bar[i] = Header[0x10 / 4 + i];
            card.ConfigAddress = a;
            card.IOBase = static_cast<uint16_t>(Header[0x20 / 4] & 0xFFFC);
            card.LocalRegBase = static_cast<uint16_t>(Header[0x14 / 4] & 0xFFFC);
            card.IRQ = static_cast<uint8_t>(Header[0x3C / 4] & 0xFF);
            card.Bus = static_cast<uint8_t>(bus);
            card.Device = static_cast<uint8_t>(device);
            EepromReadWord(card.LocalRegBase, 0, kCardNoByteAddress, &card.CardNo);
            ++CardCount;
        }
    }
}

}  // namespace slotscan
