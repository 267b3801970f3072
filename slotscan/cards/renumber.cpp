// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "cards.h"
#include "eeprom/eeprom.h"

namespace slotscan {
namespace {

// Writes the card number and reads it back: an EEPROM that is absent, write-protected
// or still busy would otherwise let a lost write pass as done.
int32_t WriteCardNo(const PCICardInfo* card, int32_t newNo) {
    if (card == nullptr) return 0;
    EepromWriteWord(card->LocalRegBase, 0, kCardNoByteAddress, static_cast<uint32_t>(newNo));
    uint16_t stored = 0;
    EepromReadWord(card->LocalRegBase, 0, kCardNoByteAddress, &stored);
    return stored == static_cast<uint16_t>(newNo) ? 1 : 0;
}

}  // namespace

int32_t RenumberByCardNo(const PCIID* filter, int32_t oldNo, int32_t newNo) {
    return WriteCardNo(FirstWithNumber(ScanCards(filter), oldNo), newNo);
}

int32_t RenumberByOrder(const PCIID* filter, int32_t index, int32_t newNo) {
    return WriteCardNo(AtIndex(ScanCards(filter), index), newNo);
}

}  // namespace slotscan
