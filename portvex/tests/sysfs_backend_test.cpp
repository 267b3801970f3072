// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The sysfs backend against a stand-in /sys: configuration mechanism #1 over `config`
// files, ports inside I/O BARs over `resourceN` files, and what happens without access.
#include <gtest/gtest.h>
#include <hw/pci_config.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "backend.h"
#include "fake_sysfs.h"

namespace fs = std::filesystem;
using portvex::testing::ConfigSpace;
using portvex::testing::FakeBar;
using portvex::testing::FakeSysfs;
using portvex::testing::kIoFlags;
using portvex::testing::kMemoryFlags;

namespace {

using namespace pci;  // the configuration registers
constexpr uint32_t kAddress = kConfigAddressPort;
constexpr uint32_t kData = kConfigDataPort;
constexpr uint32_t kAllOnes = 0xFFFFFFFF;
constexpr uint32_t kRegister = 0x50;  // a register in the card's BAR1 range (0xE050)
// What the default rule covers, which select.cpp hands the backend to check at its start.
const portvex::RangeToCheck kCheckBar1{0x10B5, 0x9050, 1};

constexpr uint32_t configAddress(uint32_t bus, uint32_t device, uint32_t function,
                                 uint32_t offset) {
    return ConfigAddress(bus, device, function, offset);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class SysfsBackendTest : public ::testing::Test {
  protected:
    // A host bridge at 00:00.0; a card on bus 1 (device 2) with BAR1 I/O at 0xE000-0xE07F,
    // BAR4 I/O at 0xD000-0xD00F, BAR0 memory; a second function 01:02.3; and a device in
    // another PCI domain, which mechanism #1 cannot reach.
    void SetUp() override {
        sys.addDevice("0000:00:00.0", ConfigSpace(0x8086, 0x1237).set(0x08, 0x06000002));
        ConfigSpace card(0x10B5, 0x9050);
        card.set(pci::kBar1Offset, 0xE001)
            .set(pci::kBar4Offset, 0xD001)
            .set(pci::kInterruptLineOffset, 0x0109)
            .set(0xFC, 0xCAFEF00D);
        sys.addDevice("0000:01:02.0", card,
                      {FakeBar{0, 0xFEB00000, 0xFEB0007F, kMemoryFlags},
                       FakeBar{1, 0xE000, 0xE07F, kIoFlags}, FakeBar{4, 0xD000, 0xD00F, kIoFlags}});
        sys.addDevice("0000:01:02.3", ConfigSpace(0x10B5, 0x1234));
        sys.addDevice("0001:00:00.0", ConfigSpace(0x1AF4, 0x1000));
        bar1 = sys.deviceDir("0000:01:02.0") / "resource1";
        bar4 = sys.deviceDir("0000:01:02.0") / "resource4";
    }

    std::unique_ptr<portvex::Backend> backend() { return portvex::makeSysfsBackend(sys.root()); }

    static uint32_t readConfig(portvex::Backend& b, uint32_t address) {
        b.write(kAddress, address);
        return b.read(kData);
    }

    FakeSysfs sys;
    fs::path bar1;
    fs::path bar4;
};

TEST_F(SysfsBackendTest, ConfigurationDwordsComeFromTheAddressedDevicesFile) {
    auto b = backend();
    EXPECT_STREQ(b->name(), "sysfs");
    EXPECT_TRUE(b->ready()) << b->status();
    EXPECT_EQ(readConfig(*b, configAddress(0, 0, 0, pci::kVendorIdOffset)), 0x12378086U);
    EXPECT_EQ(readConfig(*b, configAddress(0, 0, 0, 0x08)), 0x06000002U);
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kVendorIdOffset)), 0x905010B5U);
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kBar1Offset)), 0xE001U);
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kInterruptLineOffset)), 0x0109U);
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, 0xFC)), 0xCAFEF00DU) << "last register";
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 3, pci::kVendorIdOffset)), 0x123410B5U)
        << "function 3";
    // The two low bits of the address select no byte: the dword is read whole.
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kBar1Offset) | 3U), 0xE001U);
}

TEST_F(SysfsBackendTest, AbsentDevicesAndAClearedEnableBitReadAllOnes) {
    auto b = backend();
    EXPECT_EQ(readConfig(*b, configAddress(0, 1, 0, pci::kVendorIdOffset)), kAllOnes)
        << "empty slot";
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 1, pci::kVendorIdOffset)), kAllOnes)
        << "absent function";
    EXPECT_EQ(readConfig(*b, configAddress(2, 2, 0, pci::kVendorIdOffset)), kAllOnes)
        << "absent bus";
    EXPECT_EQ(readConfig(*b, configAddress(255, 31, 7, 0xFC)), kAllOnes);
    EXPECT_EQ(readConfig(*b, configAddress(0, 0, 0, pci::kVendorIdOffset) & ~pci::kConfigEnable),
              kAllOnes)
        << "enable bit clear";
    // 0001:00:00.0 lies in another domain: bus 0, device 0 means domain 0's host bridge.
    EXPECT_EQ(readConfig(*b, configAddress(0, 0, 0, pci::kVendorIdOffset)), 0x12378086U);
}

TEST_F(SysfsBackendTest, AddressPortReadsBackAndConfigurationWritesAreNotCarried) {
    auto b = backend();
    b->write(kAddress, configAddress(1, 2, 0, pci::kInterruptLineOffset));
    EXPECT_EQ(b->read(kAddress), configAddress(1, 2, 0, pci::kInterruptLineOffset));
    b->write(kData, 0x0000010A);
    EXPECT_EQ(b->read(kData), 0x0109U);
    const auto configFile = sys.deviceDir("0000:01:02.0") / "config";
    EXPECT_EQ(sys.fileDword(configFile, 0x3C), 0x0109U);
}

TEST_F(SysfsBackendTest, PortsInsideAnIoBarAreOneDwordAtTheirOffsetInTheResourceFile) {
    sys.setFileDword(bar1, kRegister, 0x18007000);
    sys.setFileDword(bar4, 0x0C, 0x11223344);
    auto b = backend();
    EXPECT_EQ(b->read(0xE050), 0x18007000U);
    EXPECT_EQ(b->read(0xD00C), 0x11223344U);
    b->write(0xE050, 0x12345678);
    b->write(0xE000, 0xA5A5A5A5);
    b->write(0xE07C, 0x0BADCAFE);  // the last whole dword of the range
    EXPECT_EQ(sys.fileDword(bar1, kRegister), 0x12345678U);
    EXPECT_EQ(sys.fileDword(bar1, 0x00), 0xA5A5A5A5U);
    EXPECT_EQ(sys.fileDword(bar1, 0x7C), 0x0BADCAFEU);
    EXPECT_EQ(b->read(0xE050), 0x12345678U);
    EXPECT_EQ(sys.fileDword(bar4, 0x0C), 0x11223344U) << "other BAR untouched";
    EXPECT_TRUE(b->ready()) << b->status();
}

TEST_F(SysfsBackendTest, PortsOutsideEveryIoBarReadAllOnesAndDropWrites) {
    auto b = backend();
    const auto before1 = fs::file_size(bar1);
    for (const uint32_t port : {0xDFFCU, 0xE07EU, 0xE080U, 0xD010U, 0x10050U, 0xCF9U, 0xCFDU,
                                0xFEB00000U /* memory BAR, not ports */}) {
        EXPECT_EQ(b->read(port), kAllOnes) << std::hex << port;
        b->write(port, 0);
    }
    EXPECT_EQ(fs::file_size(bar1), before1);
    for (uint64_t offset = 0; offset < before1; offset += 4) {
        EXPECT_EQ(sys.fileDword(bar1, offset), 0U) << offset;
    }
    EXPECT_TRUE(b->ready()) << "no file was refused";
}

TEST_F(SysfsBackendTest, UnassignedAndDisabledBarsAreNotPorts) {
    ConfigSpace other(0x1234, 0x5678);
    sys.addDevice("0000:00:05.0", other,
                  {FakeBar{0, 0x0, 0x1F, kIoFlags},                      // not placed
                   FakeBar{2, 0xC000, 0xC01F, kIoFlags | 0x20000000}});  // IORESOURCE_UNSET
    auto b = backend();
    EXPECT_EQ(b->read(0x0010), kAllOnes);
    EXPECT_EQ(b->read(0xC000), kAllOnes);
}

TEST_F(SysfsBackendTest, CardWithoutAccessIsReportedBeforeAnyScan) {
    sys.setFileDword(bar1, kRegister, 0x18007000);
    ASSERT_EQ(chmod(bar1.c_str(), 0), 0);
    const std::string path = bar1.string();
    const int result = portvex::testing::inChildAsOrdinaryUser([&] {
        auto b =
            portvex::makeSysfsBackend(sys.root(), std::chrono::seconds(1), "/proc", {kCheckBar1});
        // Known before the first access: the range to check is out of reach.
        if (b->ready()) return 10;
        const std::string status = b->status();
        if (!contains(status, path) || !contains(status, "portvex group") ||
            !contains(status, "root")) {
            return 11;
        }
        if (readConfig(*b, configAddress(1, 2, 0, pci::kVendorIdOffset)) != 0x905010B5U)
            return 12;  // still scans
        if (b->read(0xE050) != kAllOnes) return 13;
        b->write(0xE050, 0);
        if (b->status() != status) return 14;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sys.fileDword(bar1, kRegister), 0x18007000U);
}

TEST_F(SysfsBackendTest, OtherDeviceWithoutAccessIsReportedWhenFirstUsed) {
    ConfigSpace other(0x8086, 0x100E);
    other.set(pci::kBar1Offset, 0xC001);
    sys.addDevice("0000:00:07.0", other, {FakeBar{1, 0xC000, 0xC03F, kIoFlags}});
    const auto resource = sys.deviceDir("0000:00:07.0") / "resource1";
    ASSERT_EQ(chmod(resource.c_str(), 0), 0);
    ASSERT_EQ(chmod(bar1.c_str(), 0666), 0);  // as the udev rule and the portvex group allow
    const std::string path = resource.string();
    const int result = portvex::testing::inChildAsOrdinaryUser([&] {
        auto b = portvex::makeSysfsBackend(sys.root());
        if (!b->ready()) return 10;  // the card's own BAR1 is reachable
        if (b->read(0xE050) != 0) return 11;
        if (b->read(0xC000) != kAllOnes) return 12;
        if (b->ready() || !contains(b->status(), path)) return 13;
        if (b->read(0xE050) != 0) return 14;  // the card is not affected
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST_F(SysfsBackendTest, ReadOnlyResourceFileStopsAnsweringOnceAWriteIsRefused) {
    sys.setFileDword(bar1, kRegister, 0x18007000);
    ASSERT_EQ(chmod(bar1.c_str(), 0444), 0);
    const int result = portvex::testing::inChildAsOrdinaryUser([&] {
        auto b =
            portvex::makeSysfsBackend(sys.root(), std::chrono::seconds(1), "/proc", {kCheckBar1});
        if (b->ready()) return 9;  // told before the first access
        if (b->read(0xE050) != 0x18007000U) return 10;
        b->write(0xE050, 0x19000000);
        // The EEPROM protocol is clocked by writes: with them lost, later reads would
        // show frozen pin levels, so they read as an absent part instead.
        if (b->read(0xE050) != kAllOnes) return 11;
        if (!contains(b->status(), "write access")) return 12;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sys.fileDword(bar1, kRegister), 0x18007000U);
}

TEST_F(SysfsBackendTest, LockdownIsExplainedFromTheStart) {
    sys.setLockdown("none [integrity] confidentiality");
    auto b = backend();
    EXPECT_FALSE(b->ready()) << "every write will be lost";
    EXPECT_TRUE(contains(b->status(), "locked down (integrity)")) << b->status();
    EXPECT_TRUE(contains(
        b->status(), "configuration space, with every device's I/O ranges and IRQ, is still read"))
        << b->status();
    EXPECT_TRUE(contains(b->status(), "Secure Boot")) << b->status();
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kVendorIdOffset)), 0x905010B5U)
        << "the scan still works";
}

TEST_F(SysfsBackendTest, UnlockedKernelIsNotCalledLockedDown) {
    sys.setLockdown("[none] integrity confidentiality");
    EXPECT_FALSE(contains(backend()->status(), "locked down"));
}

TEST_F(SysfsBackendTest, NoPciFolderMeansNotReadyAndAllOnes) {
    sys.removeDevicesFolder();
    auto b = backend();
    EXPECT_FALSE(b->ready());
    EXPECT_TRUE(contains(b->status(), sys.root() + "/bus/pci/devices")) << b->status();
    EXPECT_EQ(readConfig(*b, configAddress(0, 0, 0, 0)), kAllOnes);
    EXPECT_EQ(b->read(0xE050), kAllOnes);
}

TEST_F(SysfsBackendTest, ShortConfigFileAsOrdinaryUsersSeeItReadsAllOnesPastItsEnd) {
    // The kernel shows ordinary users only the first 64 bytes.
    fs::resize_file(sys.deviceDir("0000:01:02.0") / "config", 64);
    auto b = backend();
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, pci::kInterruptLineOffset)), 0x0109U);
    EXPECT_EQ(readConfig(*b, configAddress(1, 2, 0, 0x40)), kAllOnes);
    EXPECT_TRUE(b->ready());
}

TEST_F(SysfsBackendTest, DeviceAddedLaterIsFoundOnceTheListIsStale) {
    auto fresh = portvex::makeSysfsBackend(sys.root(), std::chrono::hours(1));
    auto stale = portvex::makeSysfsBackend(sys.root(), std::chrono::seconds(0));
    ConfigSpace late(0x10B5, 0x9050);
    late.set(pci::kBar1Offset, 0xB001);
    sys.addDevice("0000:02:00.0", late, {FakeBar{1, 0xB000, 0xB07F, kIoFlags}});
    sys.setFileDword(sys.deviceDir("0000:02:00.0") / "resource1", kRegister, 0x10000000U);

    EXPECT_EQ(readConfig(*fresh, configAddress(2, 0, 0, 0)), kAllOnes) << "list kept for an hour";
    EXPECT_EQ(readConfig(*stale, configAddress(2, 0, 0, 0)), 0x905010B5U);
    EXPECT_EQ(stale->read(0xB000 + kRegister), 0x10000000U);
    EXPECT_EQ(readConfig(*stale, configAddress(1, 2, 0, 0)), 0x905010B5U) << "others still there";
}

}  // namespace
