// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The operations that report fixed information, and loading the library.
#include <dlfcn.h>
#include <slotscan.h>

#include <cstring>

#include "support/machines.h"

namespace {

using testing_support::MachineTest;

class InterfaceTest : public MachineTest {};

TEST_F(InterfaceTest, CardNameIsSevenBytesAndNothingMore) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(PCICardName(buffer), 7);
    EXPECT_EQ(std::memcmp(buffer, "PCIQVN\0", 7), 0);
    for (size_t i = 7; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "byte " << i;
    EXPECT_EQ(accesses(), 0U);
}

TEST_F(InterfaceTest, ReturnPciIdGivesVendorFirstAndTouchesNoPort) {
    uint16_t vendor = 1, device = 1, subsystem = 1, subsystemVendor = 1;
    ReturnPCIID(&vendor, &device, &subsystem, &subsystemVendor);
    EXPECT_EQ(vendor, 0x10B5);
    EXPECT_EQ(device, 0x9050);
    EXPECT_EQ(subsystem, 0);
    EXPECT_EQ(subsystemVendor, 0);
    EXPECT_EQ(accesses(), 0U);
}

TEST_F(InterfaceTest, LoadingAndUnloadingTouchesNoPort) {
    // A second, private copy of the library: its load and unload run no code of ours
    // that reaches a port.
    void* handle = dlopen("libslotscan.so.1", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(dlsym(handle, "GetIOBaseByCardNo"), nullptr);
    EXPECT_EQ(dlclose(handle), 0);
    EXPECT_EQ(accesses(), 0U);
}

}  // namespace
