/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/* A C program that links with Slotscan.dll through slotscan.h and its import library
 * instead of binding at run time. It is only built, never run: dll_tables_check.sh reads
 * its import table to see that every prototype reaches the export of the same name. */
#include <slotscan.h>
#include <stdio.h>

int main(int argc, char** argv) {
    PCIID filter = {0x9050, 0x10B5, 0, 0};
    int16_t numbers[MAX_CARDS];
    char name[PCI_CARD_NAME_SIZE];
    uint16_t base = 0, irq = 0, vendor = 0, device = 0, subsystem = 0, subsystemVendor = 0;
    int32_t found = 0;
    (void)argv;
    if (argc > 1) { /* reached only when asked: these touch ports */
        found += ChangeCardNo(1, 2) + ChangeCardNo_0(&filter, 1, 2);
        found += FindPCICard(numbers) + FindPCICard_0(&filter, numbers);
        found += GetIOBaseByCardNo(1, &base, &irq) + GetIOBaseByCardNo_0(&filter, 1, &base, &irq);
        found += GetIOBaseByOrder(0, &base, &irq) + GetIOBaseByOrder_0(&filter, 0, &base, &irq);
        found += SetCardNoByOrder(0, 1) + SetCardNoByOrder_0(&filter, 0, 1);
    }
    found += PCICardName(name);
    ReturnPCIID(&vendor, &device, &subsystem, &subsystemVendor);
    printf("%s %04X:%04X %d\n", name, vendor, device, (int)found);
    return 0;
}
