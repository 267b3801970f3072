// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The library's exported operations. The plain forms use the built-in filter.
#include <slotscan.h>

#include <cstring>

#include "cards/cards.h"

namespace {

using slotscan::kDefaultFilter;
constexpr char kCardName[PCI_CARD_NAME_SIZE] = "PCIQVN";

}  // namespace

extern "C" {

SLOTSCAN_API int32_t SLOTSCAN_CALL ChangeCardNo_0(const PCIID* filter, int32_t oldNo,
                                                  int32_t newNo) {
    return slotscan::RenumberByCardNo(filter, oldNo, newNo);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL ChangeCardNo(int32_t oldNo, int32_t newNo) {
    return ChangeCardNo_0(&kDefaultFilter, oldNo, newNo);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL FindPCICard_0(const PCIID* filter, int16_t* cardNos) {
    return slotscan::FindCards(filter, cardNos);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL FindPCICard(int16_t* cardNos) {
    return FindPCICard_0(&kDefaultFilter, cardNos);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByCardNo_0(const PCIID* filter, int32_t cardNo,
                                                       uint16_t* ioBase, uint16_t* irq) {
    return slotscan::IOBaseByCardNo(filter, cardNo, ioBase, irq);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByCardNo(int32_t cardNo, uint16_t* ioBase,
                                                     uint16_t* irq) {
    return GetIOBaseByCardNo_0(&kDefaultFilter, cardNo, ioBase, irq);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByOrder_0(const PCIID* filter, int32_t index,
                                                      uint16_t* ioBase, uint16_t* irq) {
    return slotscan::IOBaseByOrder(filter, index, ioBase, irq);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL GetIOBaseByOrder(int32_t index, uint16_t* ioBase,
                                                    uint16_t* irq) {
    return GetIOBaseByOrder_0(&kDefaultFilter, index, ioBase, irq);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL PCICardName(char* buffer) {
    std::memcpy(buffer, kCardName, sizeof kCardName);
    return static_cast<int32_t>(sizeof kCardName);
}

SLOTSCAN_API void SLOTSCAN_CALL ReturnPCIID(uint16_t* vendor, uint16_t* device,
                                            uint16_t* subsystemId, uint16_t* subsystemVendor) {
    *vendor = kDefaultFilter.VendorID;
    *device = kDefaultFilter.DeviceID;
    *subsystemId = kDefaultFilter.SubsystemID;
    *subsystemVendor = kDefaultFilter.SubsystemVendorID;
}

SLOTSCAN_API int32_t SLOTSCAN_CALL SetCardNoByOrder_0(const PCIID* filter, int32_t index,
                                                      int32_t newNo) {
    return slotscan::RenumberByOrder(filter, index, newNo);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL SetCardNoByOrder(int32_t index, int32_t newNo) {
    return SetCardNoByOrder_0(&kDefaultFilter, index, newNo);
}

// Extension of the twelve operations: in every build, exported where the export table
// lists it (slotscan/CMakeLists.txt).

SLOTSCAN_API int32_t SLOTSCAN_CALL ScanPCICards_0(const PCIID* filter, PCICardEntry* cards,
                                                  int32_t capacity) {
    return slotscan::Snapshot(filter, cards, capacity);
}

SLOTSCAN_API int32_t SLOTSCAN_CALL ScanPCICards(PCICardEntry* cards, int32_t capacity) {
    return ScanPCICards_0(&kDefaultFilter, cards, capacity);
}

}  // extern "C"
