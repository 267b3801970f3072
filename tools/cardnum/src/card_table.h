// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The cards as the library sees them: its own scan, its own table and its own rules for
// picking a card from it.
#pragma once

#include <cards/cards.h>
#include <slotscan.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cardnum {

struct Card {
    int index = 0;  // position in the library's table (scan order)
    uint16_t number = 0;
    uint16_t ioBase = 0;
    uint8_t irq = 0;
    uint8_t bus = 0;
    uint8_t device = 0;
    uint16_t localRegBase = 0;  // the bridge's registers, BAR1 & 0xFFFC
};

// "00:04", bus and device in hexadecimal as lspci shows them.
std::string slotOf(const Card& card);
// "00:04.0": the library reads function 0 only. The spelling of the wider scan and lspci.
std::string functionOf(const Card& card);

// One scan of the library, kept: the cards in table order, and the library's rules to
// pick one of them, so that cardnum picks the card a program would get.
class CardScan {
  public:
    explicit CardScan(const PCIID& filter);

    const std::vector<Card>& cards() const { return cards_; }
    // The card a lookup by number reaches: the first one carrying it.
    std::optional<Card> firstNumbered(uint16_t number) const;
    // The card at a table index.
    std::optional<Card> atIndex(int index) const;
    // How many cards carry `number`.
    int carriersOf(uint16_t number) const;

  private:
    std::optional<Card> cardFor(const slotscan::PCICardInfo* entry) const;

    std::vector<slotscan::PCICardInfo> entries_;
    std::vector<Card> cards_;
};

// Every card the library records for `filter`, in table order.
std::vector<Card> scanCards(const PCIID& filter);

struct Lookup {
    Card card;         // the card a lookup by its number reaches
    int carriers = 0;  // how many cards carry that number
};

// The library's lookup by number, with the slot of the card it answers with.
std::optional<Lookup> findCard(const PCIID& filter, uint16_t number);

// The library's renumbering: 1 from it means the card read the new number back.
bool renumberByCardNo(const PCIID& filter, uint16_t oldNo, uint16_t newNo);
bool renumberByIndex(const PCIID& filter, int index, uint16_t newNo);

}  // namespace cardnum
