// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "card_table.h"

#include <fmt/format.h>

#include <algorithm>

namespace cardnum {
namespace {

Card fromEntry(const slotscan::PCICardInfo& entry, int index) {
    return Card{index,     entry.CardNo, entry.IOBase,      entry.IRQ,
                entry.Bus, entry.Device, entry.LocalRegBase};
}

}  // namespace

std::string slotOf(const Card& card) {
    return fmt::format("{:02x}:{:02x}", card.bus, card.device);
}

std::string functionOf(const Card& card) {
    return slotOf(card) + ".0";
}

CardScan::CardScan(const PCIID& filter) {
    const slotscan::CardTableView table = slotscan::ScanCards(&filter);
    entries_.assign(table.begin(), table.end());
    for (size_t i = 0; i < entries_.size(); ++i) {
        cards_.push_back(fromEntry(entries_[i], static_cast<int>(i)));
    }
}

std::optional<Card> CardScan::cardFor(const slotscan::PCICardInfo* entry) const {
    if (entry == nullptr) return std::nullopt;
    return cards_[static_cast<size_t>(entry - entries_.data())];
}

std::optional<Card> CardScan::firstNumbered(uint16_t number) const {
    const slotscan::CardTableView table{entries_.data(), static_cast<int32_t>(entries_.size())};
    return cardFor(slotscan::FirstWithNumber(table, number));
}

std::optional<Card> CardScan::atIndex(int index) const {
    const slotscan::CardTableView table{entries_.data(), static_cast<int32_t>(entries_.size())};
    return cardFor(slotscan::AtIndex(table, index));
}

int CardScan::carriersOf(uint16_t number) const {
    return static_cast<int>(std::count_if(cards_.begin(), cards_.end(),
                                          [&](const Card& card) { return card.number == number; }));
}

std::vector<Card> scanCards(const PCIID& filter) {
    return CardScan(filter).cards();
}

std::optional<Lookup> findCard(const PCIID& filter, uint16_t number) {
    const CardScan scan(filter);
    const auto card = scan.firstNumbered(number);
    if (!card) return std::nullopt;
    return Lookup{*card, scan.carriersOf(number)};
}

bool renumberByCardNo(const PCIID& filter, uint16_t oldNo, uint16_t newNo) {
    return slotscan::RenumberByCardNo(&filter, oldNo, newNo) == 1;
}

bool renumberByIndex(const PCIID& filter, int index, uint16_t newNo) {
    return slotscan::RenumberByOrder(&filter, index, newNo) == 1;
}

}  // namespace cardnum
