/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/*
 * slotscan.h - find PCI 9050 add-in cards by the card number kept in their EEPROM.
 *
 * Every operation except PCICardName and ReturnPCIID rescans PCI buses 0-3 first,
 * so a card added or renumbered since the last call is always seen. Calls must not
 * overlap: the library keeps one process-wide card table and takes no lock.
 *
 * Results are 1 (success) or 0 (failure); FindPCICard and FindPCICard_0 return the
 * number of cards found. Card numbers and table indexes count by their low 16 bits.
 *
 * The twelve operations come first. On Linux the library adds the operations of the
 * section "Extension of the twelve operations" at the end (since version 1.1.0); the
 * Windows DLLs export the twelve only, so there the extension cannot be linked or bound.
 */
#ifndef SLOTSCAN_H
#define SLOTSCAN_H

#include <stdint.h>

#if defined(_WIN32)
#define SLOTSCAN_CALL __stdcall
#define SLOTSCAN_API /* the module definition file decides the export table */
#else
#define SLOTSCAN_CALL
#if defined(SLOTSCAN_BUILDING_LIBRARY)
#define SLOTSCAN_API __attribute__((visibility("default")))
#else
#define SLOTSCAN_API
#endif
#endif

/* Most cards the library keeps: the size of the array given to FindPCICard. */
#define MAX_CARDS 9
/* Bytes PCICardName writes, terminating NUL included. */
#define PCI_CARD_NAME_SIZE 7

/* Identity of the cards sought. A word of 0 matches any value. */
typedef struct PCIID {
    uint16_t DeviceID, VendorID, SubsystemID, SubsystemVendorID;
} PCIID;

#ifdef __cplusplus
extern "C" {
#endif

/* Renumber the first card numbered oldNo. 1 only when the card reads back newNo. */
SLOTSCAN_API int32_t SLOTSCAN_CALL ChangeCardNo(int32_t oldNo, int32_t newNo);
SLOTSCAN_API int32_t SLOTSCAN_CALL ChangeCardNo_0(const PCIID* filter, int32_t oldNo,
                                                  int32_t newNo);

/* Store the card numbers in scan order into cardNos[MAX_CARDS]; returns the count. */
SLOTSCAN_API int32_t SLOTSCAN_CALL FindPCICard(int16_t* cardNos);
SLOTSCAN_API int32_t SLOTSCAN_CALL FindPCICard_0(const PCIID* filter, int16_t* cardNos);

/* I/O base (BAR4) and IRQ of the first card numbered cardNo; outputs untouched on 0. */
SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByCardNo(int32_t cardNo, uint16_t* ioBase,
                                                     uint16_t* irq);
SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByCardNo_0(const PCIID* filter, int32_t cardNo,
                                                       uint16_t* ioBase, uint16_t* irq);

/* I/O base and IRQ of the card at a zero-based position in scan order. */
SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByOrder(int32_t index, uint16_t* ioBase, uint16_t* irq);
SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByOrder_0(const PCIID* filter, int32_t index,
                                                      uint16_t* ioBase, uint16_t* irq);

/* Copy the card name and its NUL (PCI_CARD_NAME_SIZE bytes) into buffer; returns 7. */
SLOTSCAN_API int32_t SLOTSCAN_CALL PCICardName(char* buffer);

/* The built-in filter: vendor 0x10B5, device 0x9050, any subsystem. Touches no port. */
SLOTSCAN_API void SLOTSCAN_CALL ReturnPCIID(uint16_t* vendor, uint16_t* device,
                                            uint16_t* subsystemId, uint16_t* subsystemVendor);

/* Renumber the card at a position in scan order. 1 only when the card reads back newNo. */
SLOTSCAN_API int32_t SLOTSCAN_CALL SetCardNoByOrder(int32_t index, int32_t newNo);
SLOTSCAN_API int32_t SLOTSCAN_CALL SetCardNoByOrder_0(const PCIID* filter, int32_t index,
                                                      int32_t newNo);

/*
 * Extension of the twelve operations (Linux library 1.1.0 and later; not in the Windows
 * DLLs' export tables).
 */

/* One card as a snapshot reports it. */
typedef struct PCICardEntry {
    uint16_t CardNo; /* EEPROM word at byte address 0x70; 0xFFFF on a card never numbered */
    uint16_t IOBase; /* BAR4 & 0xFFFC: the card's own I/O registers */
    uint16_t IRQ;    /* interrupt line, configuration offset 0x3C */
    uint8_t Bus;     /* the card's slot: bus and device (function 0) */
    uint8_t Device;
} PCICardEntry;

/* Every card of one scan, in table order (the index of GetIOBaseByOrder): stores the
 * first `capacity` of them into cards[] and returns how many the scan found (at most
 * MAX_CARDS), so a buffer of MAX_CARDS entries always holds them all. Nothing is stored
 * beyond `capacity`; cards may be NULL when capacity is 0. One scan answers every card,
 * so a number and an index read from the same snapshot always belong together. */
SLOTSCAN_API int32_t SLOTSCAN_CALL ScanPCICards(PCICardEntry* cards, int32_t capacity);
SLOTSCAN_API int32_t SLOTSCAN_CALL ScanPCICards_0(const PCIID* filter, PCICardEntry* cards,
                                                  int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* SLOTSCAN_H */
