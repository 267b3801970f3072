// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Runs each of the library's twelve operations, and the snapshot, on the machine PORTVEX
// names and prints what each answered, one line each: what a replay of a captured machine
// must answer alike. Arguments: OLD NEW INDEX NEW2, the renumberings to make (each is
// made, then undone through the _0 form).
#include <slotscan.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

const PCIID kFilter = {0x9050, 0x10B5, 0, 0};

void cardNumbers(const char* name, int32_t count, const int16_t* numbers) {
    std::printf("%s -> %d:", name, count);
    for (int32_t i = 0; i < count && i < MAX_CARDS; ++i) std::printf(" %d", numbers[i]);
    std::printf("\n");
}

void lookup(const char* name, int32_t key, int32_t result, uint16_t base, uint16_t irq) {
    std::printf("%s(%d) -> %d base 0x%04x irq %u\n", name, key, result, result ? base : 0,
                result ? irq : 0);
}

void everyLookup() {
    int16_t numbers[MAX_CARDS] = {};
    cardNumbers("FindPCICard", FindPCICard(numbers), numbers);
    cardNumbers("FindPCICard_0", FindPCICard_0(&kFilter, numbers), numbers);
    for (int32_t no : {-1, 0, 1, 2, 3, 4, 5, 9, 10}) {
        uint16_t base = 0, irq = 0;
        lookup("GetIOBaseByCardNo", no, GetIOBaseByCardNo(no, &base, &irq), base, irq);
        lookup("GetIOBaseByCardNo_0", no, GetIOBaseByCardNo_0(&kFilter, no, &base, &irq), base,
               irq);
    }
    for (int32_t index = 0; index <= MAX_CARDS; ++index) {
        uint16_t base = 0, irq = 0;
        lookup("GetIOBaseByOrder", index, GetIOBaseByOrder(index, &base, &irq), base, irq);
        lookup("GetIOBaseByOrder_0", index, GetIOBaseByOrder_0(&kFilter, index, &base, &irq), base,
               irq);
    }
    PCICardEntry cards[MAX_CARDS] = {};
    const int32_t count = ScanPCICards(cards, MAX_CARDS);
    std::printf("ScanPCICards -> %d:", count);
    for (int32_t i = 0; i < count && i < MAX_CARDS; ++i) {
        std::printf(" %u@%02x:%02x/0x%04x/%u", cards[i].CardNo, cards[i].Bus, cards[i].Device,
                    cards[i].IOBase, cards[i].IRQ);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: replay_operations OLD NEW INDEX NEW2\n");
        return 2;
    }
    const int32_t oldNo = std::atoi(argv[1]), newNo = std::atoi(argv[2]);
    const int32_t index = std::atoi(argv[3]), newNo2 = std::atoi(argv[4]);

    char name[PCI_CARD_NAME_SIZE] = {};
    std::printf("PCICardName -> %d %s\n", PCICardName(name), name);
    uint16_t vendor = 0, device = 0, subsystem = 0, subsystemVendor = 0;
    ReturnPCIID(&vendor, &device, &subsystem, &subsystemVendor);
    std::printf("ReturnPCIID -> %04x %04x %04x %04x\n", vendor, device, subsystem, subsystemVendor);
    everyLookup();
    std::printf("ChangeCardNo(%d, %d) -> %d\n", oldNo, newNo, ChangeCardNo(oldNo, newNo));
    std::printf("ChangeCardNo_0(%d, %d) -> %d\n", newNo, oldNo,
                ChangeCardNo_0(&kFilter, newNo, oldNo));
    std::printf("SetCardNoByOrder(%d, %d) -> %d\n", index, newNo2, SetCardNoByOrder(index, newNo2));
    everyLookup();
    std::printf("SetCardNoByOrder_0(%d, %d) -> %d\n", index, newNo2,
                SetCardNoByOrder_0(&kFilter, index, newNo2));
    return 0;
}
