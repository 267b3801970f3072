// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "cards.h"

namespace slotscan {
namespace {

int32_t Answer(const PCICardInfo* card, uint16_t* ioBase, uint16_t* irq) {
    if (card == nullptr) return 0;
    *ioBase = card->IOBase;
    *irq = card->IRQ;
    return 1;
}

}  // namespace

int32_t FindCards(const PCIID* filter, int16_t* cardNos) {
    const CardTableView table = ScanCards(filter);
    for (int32_t i = 0; i < table.count; ++i)
        cardNos[i] = static_cast<int16_t>(table.cards[i].CardNo);
    return table.count;
}

int32_t IOBaseByCardNo(const PCIID* filter, int32_t cardNo, uint16_t* ioBase, uint16_t* irq) {
    return Answer(FirstWithNumber(ScanCards(filter), cardNo), ioBase, irq);
}

int32_t IOBaseByOrder(const PCIID* filter, int32_t index, uint16_t* ioBase, uint16_t* irq) {
    return Answer(AtIndex(ScanCards(filter), index), ioBase, irq);
}

int32_t Snapshot(const PCIID* filter, PCICardEntry* cards, int32_t capacity) {
    const CardTableView table = ScanCards(filter);
    const int32_t stored = capacity < table.count ? (capacity > 0 ? capacity : 0) : table.count;
    for (int32_t i = 0; i < stored; ++i) {
        const PCICardInfo& card = table.cards[i];
        cards[i] = PCICardEntry{card.CardNo, card.IOBase, card.IRQ, card.Bus, card.Device};
    }
    return table.count;
}

}  // namespace slotscan
