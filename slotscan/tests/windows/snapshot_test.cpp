// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The snapshot is built on Windows as everywhere, and only the export tables keep it out
// of Slotscan.dll: the library's own scan code, linked into this program over the
// simulated Portvex.dll, gives every card of one scan with its slot, as the lookups see
// them, while Slotscan.dll exports no ScanPCICards.
// usage: snapshot_test.exe RACK_FILE WORK_FOLDER  (Windows paths; the rack is rack3.toml)
#include <slotscan.h>
#include <stdlib.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cards/cards.h"
#include "check.h"

using wine_check::check;

int main(int argc, char** argv) {
    // Before the first port access, which chooses the backend.
    if (!wine_check::simulatedRack(argc, argv)) return 2;

    PCICardEntry entries[MAX_CARDS + 1];
    std::memset(entries, 0xAB, sizeof entries);
    const int32_t count = slotscan::Snapshot(&slotscan::kDefaultFilter, entries, MAX_CARDS);
    check(count == 3, "one scan finds rack3's three cards", std::to_string(count));
    struct Slot {
        uint8_t bus, device;
    };
    const Slot slots[] = {{0x00, 0x0a}, {0x00, 0x0b}, {0x01, 0x04}};
    for (int32_t i = 0; i < count && i < 3; ++i) {
        uint16_t ioBase = 0, irq = 0;
        const bool found = slotscan::IOBaseByOrder(&slotscan::kDefaultFilter, i, &ioBase, &irq);
        const PCICardEntry& e = entries[i];
        check(found && e.IOBase == ioBase && e.IRQ == irq && e.Bus == slots[i].bus &&
                  e.Device == slots[i].device,
              "card " + std::to_string(i) + " as the lookup by index sees it, in its slot",
              std::to_string(e.Bus) + ":" + std::to_string(e.Device));
    }
    check(entries[count > 0 ? count : 0].CardNo == 0xABAB, "nothing stored beyond the cards");

    HMODULE dll = LoadLibraryA("Slotscan.dll");
    check(dll != nullptr, "Slotscan.dll loads");
    if (dll != nullptr) {
        check(GetProcAddress(dll, "ScanPCICards") == nullptr &&
                  GetProcAddress(dll, "_ScanPCICards@8") == nullptr &&
                  GetProcAddress(dll, "ScanPCICards_0") == nullptr &&
                  GetProcAddress(dll, "_ScanPCICards_0@12") == nullptr,
              "Slotscan.dll exports no snapshot: its export table holds the twelve");
    }
    return wine_check::summary();
}
