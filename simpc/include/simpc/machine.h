// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simpc/device.h"
#include "simpc/eeprom_store.h"
#include "simpc/export.h"
#include "simpc/generic_device.h"
#include "simpc/io_handler.h"
#include "simpc/pci_address.h"
#include "simpc/plx9050_card.h"

namespace simpc {

class HostBridge;

struct PortCounters {
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint64_t total() const { return reads + writes; }
};

// A PC as seen through 32-bit port accesses: the configuration mechanism at 0xCF8/0xCFC,
// the PCI functions behind it, and the I/O ranges the cards decode.
// Not thread-safe: one thread drives a machine at a time.
//
// The simulated PC writes down its own register layout (here, in plx9050_card.h and in
// eeprom93c46.h) instead of including hw/pci_config.h and the library's eeprom/plx9050.h,
// on purpose: a reference model that shared the constants of the code it checks would
// agree with that code's mistakes.
class SIMPC_API Machine {
  public:
    static constexpr uint32_t kPortCount = 0x10000;
    static constexpr uint32_t kConfigAddress = 0xCF8;
    static constexpr uint32_t kConfigData = 0xCFC;

    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // 32-bit read; 0xFFFFFFFF where nothing decodes.
    uint32_t in(uint32_t port);
    // 32-bit write; dropped where nothing decodes.
    void out(uint32_t port, uint32_t value);

    // Both throw std::invalid_argument for a bad or taken slot; addCard also when the card's
    // local registers would overlap ports something else decodes.
    GenericDevice& addGeneric(PciAddress at, const GenericConfig& cfg);
    Plx9050Card& addCard(PciAddress at, const CardConfig& cfg);

    // Puts `model` behind the whole I/O range (BAR4) of the card at `at`, in place of its
    // rack registers; nullptr gives the registers back. Throws std::invalid_argument when
    // there is no such card, its BAR4 is not an I/O range, or the range would overlap ports
    // something else decodes.
    void attachModel(PciAddress at, std::shared_ptr<CardModel> model);

    const PortCounters& counters() const { return counters_; }
    void resetCounters() { counters_ = {}; }

    std::vector<Plx9050Card*> cards();  // in (bus, device, function) order
    std::vector<Device*> devices();     // likewise
    Plx9050Card* cardAt(PciAddress at);
    Device* deviceAt(PciAddress at);

    // One line per access ("R 0cfc -> 10b59050"), with "P 1.062 ms" before an access that
    // follows a pause of 0.5 ms or more. An access to a card's own I/O range names the card's
    // slot and the register ("R 0344 -> 000000a5 00:0b.0 DIN"). nullptr turns tracing off.
    void setTrace(std::ostream* out);

    // Loads the image over the cards' contents (throws StoreError) and saves every later
    // change of a card's EEPROM through the store; a change the store cannot save is undone.
    // Each configuration scan (0xCF8 pointed at register 0 of 00:00.0 after anywhere else)
    // reads the image again, so the cards hold what it holds at that moment, or their rack
    // contents when it is gone.
    void attachStore(std::unique_ptr<EepromStore> store);
    EepromStore* store() { return store_.get(); }
    // Last problem the store reported, empty if none.
    std::string storeError() const;

    // One line per device.
    std::string describe() const;

  private:
    friend class HostBridge;
    friend class Plx9050Card;

    using Clock = std::chrono::steady_clock;

    Device& place(PciAddress at, std::unique_ptr<Device> device);
    void checkSlotFree(PciAddress at) const;
    void mapLocalRegisters(Plx9050Card& card, bool mustBeFree);
    void unmapLocalRegisters(Plx9050Card& card);
    void localBaseChanged(Plx9050Card& card);
    void mapIoRange(Plx9050Card& card, bool mustBeFree);
    void unmapIoRange(Plx9050Card& card);
    void ioRangeChanged(Plx9050Card& card);
    void configScanStarted();
    void applyImage(const EepromStore::Image& image);
    void watchCard(Plx9050Card& card);
    uint32_t decodeRead(uint32_t port);
    void decodeWrite(uint32_t port, uint32_t value);
    uint32_t tracedIn(uint32_t port);
    void tracedOut(uint32_t port, uint32_t value);
    void traceAccess(Clock::time_point start, char kind, uint32_t port, uint32_t value);

    Device* configTarget(uint32_t index) const { return config_[index]; }

    std::unique_ptr<IoHandler*[]> io_;   // port -> handler
    std::unique_ptr<Device*[]> config_;  // configIndex -> function
    std::unique_ptr<HostBridge> bridge_;
    std::map<uint16_t, std::unique_ptr<Device>> owned_;  // keyed by configIndex, so sorted
    PortCounters counters_;

    std::ostream* trace_ = nullptr;
    Clock::time_point lastAccess_{};
    bool haveLastAccess_ = false;

    std::unique_ptr<EepromStore> store_;
    std::map<std::string, EepromWords> rackContents_;  // slot -> contents before any image
};

}  // namespace simpc
