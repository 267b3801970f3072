#include "cards.h"

namespace slotscan {
namespace {

const PCICardInfo* FirstWithNumber(int32_t cardNo) {
    const auto wanted = static_cast<uint16_t>(cardNo);
    for (int32_t i = 0; i < CardCount; ++i) {
        if (CardTable[i].CardNo == wanted) return &CardTable[i];
    }
    return nullptr;
}

const PCICardInfo* AtOrder(int32_t index) {
    const auto i = static_cast<uint16_t>(index);
    if (CardCount == 0 || i >= CardCount) return nullptr;
    return &CardTable[i];
}

int32_t Answer(const PCICardInfo* card, uint16_t* ioBase, uint16_t* irq) {
    if (card == nullptr) return 0;
    *ioBase = card->IOBase;
    *irq = card->IRQ;
    return 1;
}

}  // namespace

int32_t FindCards(const PCIID* filter, int16_t* cardNos) {
    ScanCards(filter);
    for (int32_t i = 0; i < CardCount; ++i) cardNos[i] = static_cast<int16_t>(CardTable[i].CardNo);
    return CardCount;
}

int32_t IOBaseByCardNo(const PCIID* filter, int32_t cardNo, uint16_t* ioBase, uint16_t* irq) {
    ScanCards(filter);
    return Answer(FirstWithNumber(cardNo), ioBase, irq);
}

int32_t IOBaseByOrder(const PCIID* filter, int32_t index, uint16_t* ioBase, uint16_t* irq) {
    ScanCards(filter);
    return Answer(AtOrder(index), ioBase, irq);
}

}  // namespace slotscan
