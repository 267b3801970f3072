// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Card models in code for the simulated PC: the C callbacks of portvex/simulated.h as a
// model of the machine's card.
#include <simpc/machine.h>

#include <charconv>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "backend.h"

namespace portvex {
namespace {

// A model made of the C callbacks and their context.
class CallbackModelOfCard final : public simpc::CardModel {
  public:
    explicit CallbackModelOfCard(CallbackModel callbacks) : callbacks_(callbacks) {}
    uint32_t read(uint32_t offset) override { return callbacks_.read(callbacks_.context, offset); }
    void write(uint32_t offset, uint32_t value) override {
        callbacks_.write(callbacks_.context, offset, value);
    }

  private:
    CallbackModel callbacks_;
};

// The card a slot ("00:0b.0") or an I/O base ("0x340") names; throws std::invalid_argument.
simpc::PciAddress cardNamed(simpc::Machine& machine, std::string_view card) {
    if (card.find(':') != std::string_view::npos) return simpc::parseSlot(card);
    std::string_view digits = card;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint32_t ioBase = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), ioBase, base);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size()) {
        throw std::invalid_argument("'" + std::string(card) +
                                    "' is neither a slot (00:0b.0) nor an I/O base (0x340)");
    }
    for (simpc::Plx9050Card* c : machine.cards()) {
        if (c->ioRangeBase() == ioBase) return c->address();
    }
    throw std::invalid_argument("no card of the simulated PC has its I/O range (BAR4) at " +
                                std::string(card));
}

}  // namespace

std::optional<std::string> setCardModel(simpc::Machine& machine, const char* card,
                                        std::optional<CallbackModel> model) {
    if (card == nullptr) return "no card named";
    if (model && (model->read == nullptr || model->write == nullptr)) {
        return "a model needs both a read and a write callback";
    }
    try {
        machine.attachModel(cardNamed(machine, card),
                            model ? std::make_shared<CallbackModelOfCard>(*model) : nullptr);
        return std::nullopt;
    } catch (const std::exception& e) {
        return e.what();
    }
}

}  // namespace portvex
