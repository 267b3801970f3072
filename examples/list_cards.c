/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/* Lists the cards the library finds, from one scan, then looks one up by its card number.
 *
 *   PORTVEX=sim:examples/racks/rack3.toml ./list_cards 2
 */
#include <slotscan.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    /* One scan gives every card with its number, I/O base, IRQ and slot (the Linux
     * library's snapshot; on Windows, FindPCICard then GetIOBaseByOrder for each index). */
    PCICardEntry cards[MAX_CARDS];
    int32_t count = ScanPCICards(cards, MAX_CARDS);
    printf("%d card(s) found\n", (int)count);
    for (int32_t i = 0; i < count; ++i) {
        printf("  #%d  card %u  I/O base 0x%04X  IRQ %u  slot %02x:%02x\n", (int)i,
               (unsigned)cards[i].CardNo, (unsigned)cards[i].IOBase, (unsigned)cards[i].IRQ,
               (unsigned)cards[i].Bus, (unsigned)cards[i].Device);
    }
    if (argc > 1) {
        long wanted = strtol(argv[1], NULL, 0);
        uint16_t ioBase = 0, irq = 0;
        if (!GetIOBaseByCardNo((int32_t)wanted, &ioBase, &irq)) {
            printf("card %ld: not found\n", wanted);
            return 1;
        }
        printf("card %ld: I/O base 0x%04X, IRQ %u\n", wanted, (unsigned)ioBase, (unsigned)irq);
    }
    return 0;
}
