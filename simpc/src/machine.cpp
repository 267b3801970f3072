// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/machine.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <stdexcept>

#include "host_bridge.h"

namespace simpc {

Machine::Machine()
    : io_(std::make_unique<IoHandler*[]>(kPortCount)),
      config_(std::make_unique<Device*[]>(0x10000)),
      bridge_(std::make_unique<HostBridge>(*this)) {
    io_[kConfigAddress] = bridge_.get();
    io_[kConfigData] = bridge_.get();
}

Machine::~Machine() = default;

inline uint32_t Machine::decodeRead(uint32_t port) {
    ++counters_.reads;
    if (port < kPortCount) {
        if (IoHandler* h = io_[port]) return h->ioRead(port);
    }
    return 0xFFFFFFFF;
}

inline void Machine::decodeWrite(uint32_t port, uint32_t value) {
    ++counters_.writes;
    if (port < kPortCount) {
        if (IoHandler* h = io_[port]) h->ioWrite(port, value);
    }
}

uint32_t Machine::in(uint32_t port) {
    if (trace_ != nullptr) [[unlikely]]
        return tracedIn(port);
    return decodeRead(port);
}

void Machine::out(uint32_t port, uint32_t value) {
    if (trace_ != nullptr) [[unlikely]]
        return tracedOut(port, value);
    decodeWrite(port, value);
}

void Machine::checkSlotFree(PciAddress at) const {
    if (!isValid(at)) {
        throw std::invalid_argument(fmt::format(
            "slot {:02x}:{:02x}.{:x} does not exist: device must be 0-1f and function 0-7", at.bus,
            at.device, at.function));
    }
    if (config_[configIndex(at)] != nullptr) {
        throw std::invalid_argument(fmt::format("slot {} is already taken by {}", formatSlot(at),
                                                config_[configIndex(at)]->describe()));
    }
}

Device& Machine::place(PciAddress at, std::unique_ptr<Device> device) {
    Device& d = *device;
    owned_[configIndex(at)] = std::move(device);
    config_[configIndex(at)] = &d;

    // Function 0 of a device with several functions says so in its header type.
    Device* first = config_[configIndex(PciAddress{at.bus, at.device, 0})];
    if (first != nullptr) {
        for (uint8_t fn = 1; fn <= kMaxFunction; ++fn) {
            if (config_[configIndex(PciAddress{at.bus, at.device, fn})] != nullptr) {
                first->setMultiFunction(true);
                break;
            }
        }
    }
    return d;
}

GenericDevice& Machine::addGeneric(PciAddress at, const GenericConfig& cfg) {
    checkSlotFree(at);
    return static_cast<GenericDevice&>(place(at, std::make_unique<GenericDevice>(at, cfg)));
}

Plx9050Card& Machine::addCard(PciAddress at, const CardConfig& cfg) {
    checkSlotFree(at);
    auto owned = std::make_unique<Plx9050Card>(at, cfg);
    Plx9050Card& card = *owned;
    try {
        mapLocalRegisters(card, true);  // throws before anything changed
        if (card.ioRegisters().hasRegisters()) {
            try {
                mapIoRange(card, true);
            } catch (const std::invalid_argument&) {
                unmapLocalRegisters(card);
                throw;
            }
        }
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(fmt::format("card {}: {}", formatSlot(at), e.what()));
    }
    place(at, std::move(owned));
    card.machine_ = this;
    if (store_) watchCard(card);
    return card;
}

namespace {

std::string rangeOwner(IoHandler* h, uint32_t port) {
    if (auto* card = dynamic_cast<Plx9050Card*>(h)) {
        return fmt::format("the local registers of card {} at {:#06x}-{:#06x}",
                           formatSlot(card->address()), card->localRegBase(),
                           card->localRegBase() + Plx9050Card::kLocalSize - 1);
    }
    if (dynamic_cast<CardRegisters*>(h) != nullptr) {
        return fmt::format("the I/O range of card {}", h->portName(port));
    }
    return fmt::format("the configuration ports {:#x}-{:#x}", HostBridge::kFirstPort,
                       HostBridge::kLastPort);
}

}  // namespace

void Machine::mapLocalRegisters(Plx9050Card& card, bool mustBeFree) {
    auto base = card.ioBase();
    if (!base) return;
    uint32_t end = std::min(*base + Plx9050Card::kLocalSize, kPortCount);
    if (mustBeFree) {
        for (uint32_t port = *base; port < end; port += 4) {
            if (io_[port] != nullptr) {
                throw std::invalid_argument(
                    fmt::format("its local registers at {:#06x}-{:#06x} would overlap {}", *base,
                                *base + Plx9050Card::kLocalSize - 1, rangeOwner(io_[port], port)));
            }
        }
    }
    // When firmware-like code moves BAR1 onto something else, the ports already taken stay
    // with their owner.
    for (uint32_t port = *base; port < end; port += 4) {
        if (io_[port] == nullptr) io_[port] = &card;
    }
    card.decodedBase_ = *base;
    card.decoding_ = true;
}

void Machine::unmapLocalRegisters(Plx9050Card& card) {
    if (!card.decoding_) return;
    uint32_t end = std::min(card.decodedBase_ + Plx9050Card::kLocalSize, kPortCount);
    for (uint32_t port = card.decodedBase_; port < end; port += 4) {
        if (io_[port] == &card) io_[port] = nullptr;
    }
    card.decoding_ = false;
}

void Machine::localBaseChanged(Plx9050Card& card) {
    unmapLocalRegisters(card);
    mapLocalRegisters(card, false);
}

void Machine::mapIoRange(Plx9050Card& card, bool mustBeFree) {
    CardRegisters& regs = card.ioRegisters();
    auto base = card.ioRangeBase();
    if (!base) {
        if (mustBeFree) {
            throw std::invalid_argument(
                fmt::format("its BAR4 ({:#x}) is not an I/O range, so its registers have no ports",
                            card.bar(4)));
        }
        return;
    }
    uint32_t end = std::min(*base + regs.size(), kPortCount);
    if (mustBeFree) {
        if (*base + regs.size() > kPortCount) {
            throw std::invalid_argument(
                fmt::format("its I/O range at {:#06x} ({} bytes) runs past the 64K port space",
                            *base, regs.size()));
        }
        for (uint32_t port = *base; port < end; port += 4) {
            if (io_[port] != nullptr && io_[port] != &regs) {
                throw std::invalid_argument(
                    fmt::format("its I/O range at {:#06x}-{:#06x} would overlap {}", *base,
                                *base + regs.size() - 1, rangeOwner(io_[port], port)));
            }
        }
    }
    for (uint32_t port = *base; port < end; port += 4) {
        if (io_[port] == nullptr) io_[port] = &regs;
    }
    regs.setBase(*base);
    card.ioDecodedBase_ = *base;
    card.ioDecoding_ = true;
}

void Machine::unmapIoRange(Plx9050Card& card) {
    if (!card.ioDecoding_) return;
    CardRegisters& regs = card.ioRegisters();
    uint32_t end = std::min(card.ioDecodedBase_ + regs.size(), kPortCount);
    for (uint32_t port = card.ioDecodedBase_; port < end; port += 4) {
        if (io_[port] == &regs) io_[port] = nullptr;
    }
    card.ioDecoding_ = false;
}

void Machine::ioRangeChanged(Plx9050Card& card) {
    if (!card.ioDecoding_) return;
    unmapIoRange(card);
    mapIoRange(card, false);
}

void Machine::attachModel(PciAddress at, std::shared_ptr<CardModel> model) {
    Plx9050Card* card = cardAt(at);
    if (card == nullptr) {
        throw std::invalid_argument(fmt::format("no card at slot {}", formatSlot(at)));
    }
    CardRegisters& regs = card->ioRegisters();
    if (model != nullptr && !card->ioDecoding_) {
        try {
            mapIoRange(*card, true);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(fmt::format("card {}: {}", formatSlot(at), e.what()));
        }
    }
    regs.setModel(std::move(model));
    if (!regs.hasModel() && !regs.hasRegisters()) unmapIoRange(*card);
}

std::vector<Plx9050Card*> Machine::cards() {
    std::vector<Plx9050Card*> result;
    for (auto& [index, device] : owned_) {
        if (auto* card = dynamic_cast<Plx9050Card*>(device.get())) result.push_back(card);
    }
    return result;
}

std::vector<Device*> Machine::devices() {
    std::vector<Device*> result;
    result.reserve(owned_.size());
    for (auto& [index, device] : owned_) result.push_back(device.get());
    return result;
}

Plx9050Card* Machine::cardAt(PciAddress at) {
    return dynamic_cast<Plx9050Card*>(deviceAt(at));
}

Device* Machine::deviceAt(PciAddress at) {
    return isValid(at) ? config_[configIndex(at)] : nullptr;
}

std::string Machine::describe() const {
    std::string text;
    for (const auto& [index, device] : owned_) {
        text += device->describe();
        text += '\n';
    }
    return text;
}

// ---- tracing ----

void Machine::setTrace(std::ostream* out) {
    trace_ = out;
    haveLastAccess_ = false;
}

uint32_t Machine::tracedIn(uint32_t port) {
    auto start = Clock::now();
    uint32_t value = decodeRead(port);
    traceAccess(start, 'R', port, value);
    return value;
}

void Machine::tracedOut(uint32_t port, uint32_t value) {
    auto start = Clock::now();
    decodeWrite(port, value);
    traceAccess(start, 'W', port, value);
}

void Machine::traceAccess(Clock::time_point start, char kind, uint32_t port, uint32_t value) {
    using namespace std::chrono_literals;
    char line[64];
    // The pause is the caller's: from the end of the previous access (and its trace line) to
    // the start of this one, so time spent inside an access (saving an image) does not count.
    if (haveLastAccess_ && start - lastAccess_ >= 500us) {
        double ms = std::chrono::duration<double, std::milli>(start - lastAccess_).count();
        int n = std::snprintf(line, sizeof line, "P %.3f ms\n", ms);
        trace_->write(line, n);
    }
    int n = kind == 'R' ? std::snprintf(line, sizeof line, "R %04x -> %08x", port, value)
                        : std::snprintf(line, sizeof line, "W %04x <- %08x", port, value);
    trace_->write(line, n);
    if (port < kPortCount && io_[port] != nullptr) {
        if (std::string name = io_[port]->portName(port); !name.empty()) *trace_ << ' ' << name;
    }
    trace_->put('\n');
    // A trace matters most when the program dies: leave nothing in the stream's buffer.
    trace_->flush();
    lastAccess_ = Clock::now();
    haveLastAccess_ = true;
}

// ---- EEPROM image ----

void Machine::attachStore(std::unique_ptr<EepromStore> store) {
    EepromStore::Image image = store ? store->load() : EepromStore::Image{};
    store_ = std::move(store);
    for (Plx9050Card* card : cards()) watchCard(*card);
    applyImage(image);
}

std::string Machine::storeError() const {
    return store_ ? store_->lastError() : std::string();
}

void Machine::applyImage(const EepromStore::Image& image) {
    // A card the image does not list has the contents its rack gives it.
    for (Plx9050Card* card : cards()) {
        const std::string slot = formatSlot(card->address());
        auto it = image.find(slot);
        if (it != image.end()) {
            card->eeprom().setWords(it->second);
        } else if (auto initial = rackContents_.find(slot); initial != rackContents_.end()) {
            card->eeprom().setWords(initial->second);
        }
    }
}

void Machine::watchCard(Plx9050Card& card) {
    std::string slot = formatSlot(card.address());
    rackContents_.try_emplace(slot, card.eeprom().words());
    card.eeprom().onChange([this, slot](const EepromWords& words, uint64_t touched) {
        if (!store_ || store_->save(slot, words, touched)) return true;
        std::cerr << "simpc: " << store_->lastError() << "; the EEPROM of card " << slot
                  << " keeps its old contents\n";
        return false;
    });
}

void Machine::configScanStarted() {
    if (!store_) return;
    try {
        if (auto image = store_->reload()) applyImage(*image);
    } catch (const StoreError& e) {
        std::cerr << "simpc: " << e.what() << '\n';
    }
}

}  // namespace simpc
