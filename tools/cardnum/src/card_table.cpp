#include "card_table.h"

#include <cards/cards.h>
#include <fmt/format.h>

#include <array>

namespace cardnum {
namespace {

Card fromTable(int index) {
    const slotscan::PCICardInfo& entry = slotscan::CardTable[index];
    return Card{index,     entry.CardNo, entry.IOBase,      entry.IRQ,
                entry.Bus, entry.Device, entry.LocalRegBase};
}

}  // namespace

std::string slotOf(const Card& card) {
    return fmt::format("{:02x}:{:02x}", card.bus, card.device);
}

std::vector<Card> scanCards(const PCIID& filter) {
    std::array<int16_t, MAX_CARDS> numbers{};
    const int32_t count = slotscan::FindCards(&filter, numbers.data());
    std::vector<Card> cards;
    for (int i = 0; i < count; ++i) cards.push_back(fromTable(i));
    return cards;
}

std::optional<Lookup> findCard(const PCIID& filter, uint16_t number) {
    uint16_t ioBase = 0;
    uint16_t irq = 0;
    if (slotscan::IOBaseByCardNo(&filter, number, &ioBase, &irq) == 0) return std::nullopt;
    // The lookup left the table of its scan behind: the first entry with the number is
    // the card it answered with.
    std::optional<Lookup> found;
    for (int i = 0; i < slotscan::CardCount; ++i) {
        if (slotscan::CardTable[i].CardNo != number) continue;
        if (!found) found = Lookup{fromTable(i), 0};
        ++found->carriers;
    }
    if (found) {
        found->card.ioBase = ioBase;
        found->card.irq = static_cast<uint8_t>(irq);
    }
    return found;
}

bool renumberByCardNo(const PCIID& filter, uint16_t oldNo, uint16_t newNo) {
    return slotscan::RenumberByCardNo(&filter, oldNo, newNo) == 1;
}

bool renumberByIndex(const PCIID& filter, int index, uint16_t newNo) {
    return slotscan::RenumberByOrder(&filter, index, newNo) == 1;
}

}  // namespace cardnum
