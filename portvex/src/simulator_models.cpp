// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Card models in code for the simulated PC module: the functions portvex/simulated.h finds.
#include <portvex/simulated.h>
#include <simpc/machine.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "backend.h"

static_assert(std::string_view(PORTVEX_SIMULATOR_SONAME) == PORTVEX_SIMULATOR_LINKED_SONAME,
              "portvex/simulated.h names the module by another soname than the build gives it");

namespace portvex {
namespace {

// A model made of the C callbacks and their context.
class CallbackModel final : public simpc::CardModel {
  public:
    CallbackModel(portvex_sim_read_fn onRead, portvex_sim_write_fn onWrite, void* context)
        : read_(onRead), write_(onWrite), context_(context) {}
    uint32_t read(uint32_t offset) override { return read_(context_, offset); }
    void write(uint32_t offset, uint32_t value) override { write_(context_, offset, value); }

  private:
    portvex_sim_read_fn read_;
    portvex_sim_write_fn write_;
    void* context_;
};

int failed(char* why, size_t whySize, const std::string& reason) {
    if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", reason.c_str());
    return 0;
}

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

int attach(const char* card, std::shared_ptr<simpc::CardModel> model, char* why, size_t whySize) {
    simpc::Machine* machine = moduleMachine();
    if (machine == nullptr) {
        return failed(why, whySize,
                      "the simulated PC is not running (its rack file could not "
                      "be loaded: see portvex_status())");
    }
    if (card == nullptr) return failed(why, whySize, "no card named");
    try {
        machine->attachModel(cardNamed(*machine, card), std::move(model));
        return 1;
    } catch (const std::exception& e) {
        return failed(why, whySize, e.what());
    }
}

}  // namespace
}  // namespace portvex

extern "C" __attribute__((visibility("default"))) int portvex_simulator_attach(
    const char* card, portvex_sim_read_fn read, portvex_sim_write_fn write, void* context,
    char* why, size_t whySize) {
    if (read == nullptr || write == nullptr) {
        return portvex::failed(why, whySize, "a model needs both a read and a write callback");
    }
    return portvex::attach(card, std::make_shared<portvex::CallbackModel>(read, write, context),
                           why, whySize);
}

extern "C" __attribute__((visibility("default"))) int portvex_simulator_detach(const char* card,
                                                                               char* why,
                                                                               size_t whySize) {
    return portvex::attach(card, nullptr, why, whySize);
}
