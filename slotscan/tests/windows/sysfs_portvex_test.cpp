// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Slotscan.dll over the Windows Portvex.dll's sysfs backend under Wine, against a stand-in
// for the kernel's /sys written by the same code as the Linux tests' (fake_sysfs.h): one
// 9050 card on bus 1 with BAR1 0xE000, BAR4 0xD000, IRQ 9. PORTVEX is unset and
// PORTVEX_SYSFS_ROOT names the tree, so no case reaches the machine. A process chooses its
// backend once, so each case is its own run.
// usage: sysfs_portvex_test.exe scan|number|renumber|refused TREE  (TREE as a Windows path)
#include <eeprom/plx9050.h>
#include <hw/pci_config.h>
#include <slotscan.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "check.h"
#include "fake_sysfs.h"

namespace {

using portvex::testing::ConfigSpace;
using portvex::testing::FakeBar;
using portvex::testing::kIoFlags;
using wine_check::check;

template <typename Function>
Function statusCall(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Portvex.dll"), name)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: sysfs_portvex_test scan|number|renumber|refused TREE\n");
        return 2;
    }
    const std::string mode = argv[1];
    portvex::testing::FakeSysfs sys{std::filesystem::path(argv[2])};
    sys.addDevice("0000:00:00.0", ConfigSpace(0x8086, 0x1237));
    ConfigSpace card(slotscan::kPlxVendorId, slotscan::kPci9050DeviceId);
    card.set(pci::kBar1Offset, 0xE001)
        .set(pci::kBar4Offset, 0xD001)
        .set(pci::kInterruptLineOffset, 0x0109);
    sys.addDevice("0000:01:04.0", card,
                  {FakeBar{1, 0xE000, 0xE07F, kIoFlags}, FakeBar{4, 0xD000, 0xD00F, kIoFlags}});
    const std::filesystem::path bar1 = sys.deviceDir("0000:01:04.0") / "resource1";
    sys.setFileDword(bar1, slotscan::kCntrlOffset, slotscan::kEepromPresent);
    if (mode == "refused") {
        // As root every file opens; Windows (and Wine) refuse to open a folder as a file
        // with "access denied", which stands in for a resource1 this user may not open.
        std::filesystem::remove(bar1);
        std::filesystem::create_directory(bar1);
    }
    const auto cntrlLines = [&] {
        return sys.fileDword(bar1, slotscan::kCntrlOffset).value_or(0xFFFFFFFF) &
               slotscan::kEepromLines;
    };

    const auto backend = statusCall<const char* (*)()>("portvex_backend");
    const auto ready = statusCall<int (*)()>("portvex_ready");
    const auto status = statusCall<const char* (*)()>("portvex_status");
    int16_t numbers[MAX_CARDS] = {};
    const int32_t found = FindPCICard(numbers);
    std::printf("status: %s\n", status());
    check(std::string(backend()) == "sysfs", "PORTVEX unset chooses sysfs under Wine");
    check(std::string(status()).find("/bus/pci/devices") != std::string::npos,
          "the status names the devices folder");
    check(found == 1, "the scan finds the one card");
    uint16_t base = 0, irq = 0;
    check(GetIOBaseByOrder(0, &base, &irq) == 1 && base == 0xD000 && irq == 9,
          "the card's I/O base 0xD000 and IRQ 9 come from its config file");

    if (mode == "scan") {
        check(ready() == 1, "the backend is ready");
    } else if (mode == "number") {
        // The card number was read by clocking the control register through resource1,
        // whose last write left the four EEPROM lines low.
        check(cntrlLines() == 0, "the EEPROM was clocked through resource1");
        check(GetIOBaseByCardNo(numbers[0], &base, &irq) == 1 && base == 0xD000,
              "the card is found by the number it read (" + std::to_string(numbers[0]) + ")");
    } else if (mode == "renumber") {
        sys.setFileDword(bar1, slotscan::kCntrlOffset,
                         slotscan::kEepromPresent | slotscan::kEepromLines);
        // A plain file keeps no EEPROM, so the new number cannot read back: not confirmed.
        check(ChangeCardNo(numbers[0], 5) == 0,
              "the renumbering reports that it was not confirmed");
        check(cntrlLines() == 0, "its writes reached resource1");
        check(ready() == 1, "the backend is still ready");
    } else if (mode == "refused") {
        check(numbers[0] == -1, "the card number reads as -1 (65535)");
        check(ready() == 0, "the backend is not ready");
        const std::string text = status();
        check(text.find("resource1") != std::string::npos &&
                  text.find("portvex group") != std::string::npos,
              "the status names resource1 and the portvex group");
    }
    return wine_check::summary();
}
