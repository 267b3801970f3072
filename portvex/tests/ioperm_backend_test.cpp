// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The ioperm backend with stand-in port instructions: which ports are granted to which
// thread, and what a refusal does. No test here runs a real ioperm, in or out.
#include <gtest/gtest.h>
#include <hw/pci_config.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "backend.h"
#include "fake_sysfs.h"
#include "port_instructions.h"

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFF;

struct Grant {
    std::thread::id thread;
    uint32_t from;
    uint32_t count;
};

// Records grants and accesses; answers `in` from a table of port values.
struct Recorder {
    std::mutex mutex;
    int refuseWith = 0;  // errno for every grant, 0 to grant
    std::vector<Grant> grants;
    std::vector<std::pair<uint16_t, uint32_t>> writes;
    std::vector<uint16_t> reads;
    std::map<uint16_t, uint32_t> values;
};

class FakePorts final : public portvex::PortInstructions {
  public:
    explicit FakePorts(Recorder& recorder) : r_(recorder) {}
    int grant(uint32_t from, uint32_t count) override {
        const std::lock_guard lock(r_.mutex);
        r_.grants.push_back(Grant{std::this_thread::get_id(), from, count});
        return r_.refuseWith;
    }
    uint32_t in(uint16_t port) override {
        const std::lock_guard lock(r_.mutex);
        r_.reads.push_back(port);
        return r_.values.count(port) != 0 ? r_.values[port] : 0;
    }
    void out(uint16_t port, uint32_t value) override {
        const std::lock_guard lock(r_.mutex);
        r_.writes.emplace_back(port, value);
    }

  private:
    Recorder& r_;
};

class IopermBackendTest : public ::testing::Test {
  protected:
    std::unique_ptr<portvex::Backend> backend() {
        return portvex::makeIopermBackend(std::make_unique<FakePorts>(recorder), sys.root());
    }
    static bool contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    Recorder recorder;
    portvex::testing::FakeSysfs sys;
};

TEST_F(IopermBackendTest, ConfigurationPortsAreGrantedUpFrontAndAccessesPassThrough) {
    recorder.values[pci::kConfigDataPort] = 0x905010B5;
    auto b = backend();
    EXPECT_STREQ(b->name(), "ioperm");
    EXPECT_TRUE(b->ready()) << b->status();
    ASSERT_EQ(recorder.grants.size(), 1U);
    EXPECT_EQ(recorder.grants[0].from, pci::kConfigAddressPort);
    EXPECT_EQ(recorder.grants[0].count, 8U);

    b->write(pci::kConfigAddressPort, 0x80000800);
    EXPECT_EQ(b->read(pci::kConfigDataPort), 0x905010B5U);
    EXPECT_EQ(recorder.grants.size(), 1U) << "0xCF8-0xCFF need no second grant";
    ASSERT_EQ(recorder.writes.size(), 1U);
    EXPECT_EQ(recorder.writes[0], std::make_pair(pci::kConfigAddressPort, 0x80000800U));
}

TEST_F(IopermBackendTest, OtherPortsAreGrantedOnceEachAsAWholeDword) {
    auto b = backend();
    b->write(0xE050, 1);
    b->write(0xE050, 2);
    (void)b->read(0xE050);
    (void)b->read(0xD00C);
    ASSERT_EQ(recorder.grants.size(), 3U);
    EXPECT_EQ(recorder.grants[1].from, 0xE050U);
    EXPECT_EQ(recorder.grants[1].count, 4U);
    EXPECT_EQ(recorder.grants[2].from, 0xD00CU);
    EXPECT_EQ(recorder.writes.size(), 2U) << "repeated writes are all carried";
    EXPECT_EQ(recorder.reads.size(), 2U);
}

TEST_F(IopermBackendTest, EachThreadIsGrantedItsOwnPorts) {
    auto b = backend();
    const auto mainThread = std::this_thread::get_id();
    std::thread::id otherThread;
    std::thread worker([&] {
        otherThread = std::this_thread::get_id();
        b->write(pci::kConfigAddressPort, pci::ConfigAddress(0, 0, 0));
        (void)b->read(pci::kConfigDataPort);
    });
    worker.join();
    std::set<std::thread::id> threadsGrantedCf8;
    for (const Grant& g : recorder.grants) {
        if (g.from <= pci::kConfigAddressPort && g.from + g.count >= pci::kConfigDataPort)
            threadsGrantedCf8.insert(g.thread);
    }
    EXPECT_EQ(threadsGrantedCf8, (std::set<std::thread::id>{mainThread, otherThread}));
    EXPECT_EQ(recorder.writes.size(), 1U);
    EXPECT_EQ(recorder.reads.size(), 1U);
}

TEST_F(IopermBackendTest, RefusalWithoutRootReadsAllOnesTouchesNothingAndSaysWhy) {
    recorder.refuseWith = EPERM;
    recorder.values[pci::kConfigDataPort] = 0;
    auto b = backend();
    EXPECT_FALSE(b->ready());
    b->write(pci::kConfigAddressPort, pci::ConfigAddress(0, 0, 0));
    EXPECT_EQ(b->read(pci::kConfigDataPort), kAllOnes);
    EXPECT_EQ(b->read(0xE050), kAllOnes);
    b->write(0xE050, 0);
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_TRUE(recorder.reads.empty());
    EXPECT_EQ(recorder.grants.size(), 1U) << "a refused thread does not ask again";
    EXPECT_TRUE(contains(b->status(), "root")) << b->status();
    EXPECT_TRUE(contains(b->status(), "unset PORTVEX")) << b->status();
    EXPECT_FALSE(contains(b->status(), "locked down")) << b->status();
}

TEST_F(IopermBackendTest, RefusalUnderLockdownNamesIt) {
    sys.setLockdown("none integrity [confidentiality]");
    recorder.refuseWith = EPERM;
    auto b = backend();
    EXPECT_FALSE(b->ready());
    EXPECT_TRUE(contains(b->status(), "locked down (confidentiality)")) << b->status();
}

TEST_F(IopermBackendTest, KernelWithoutPortAccessIsExplained) {
    recorder.refuseWith = ENOSYS;
    auto b = backend();
    EXPECT_FALSE(b->ready());
    EXPECT_TRUE(contains(b->status(), "no port instructions")) << b->status();
    EXPECT_EQ(b->read(pci::kConfigDataPort), kAllOnes);
}

TEST_F(IopermBackendTest, LaterRefusalOfAnotherPortKeepsThatPortUntouched) {
    auto b = backend();
    recorder.refuseWith = EINVAL;
    b->write(0xE050, 7);
    EXPECT_EQ(b->read(0xE050), kAllOnes);
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_FALSE(b->ready());
    EXPECT_TRUE(contains(b->status(), "ioperm(0xE050, 4)")) << b->status();
}

TEST_F(IopermBackendTest, PortsWhoseDwordLeavesThe16BitSpaceAreNotTouched) {
    auto b = backend();
    for (const uint32_t port : {0xFFFDU, 0xFFFFU, 0x10000U, 0x1E050U}) {
        EXPECT_EQ(b->read(port), kAllOnes);
        b->write(port, 0);
    }
    EXPECT_EQ(recorder.grants.size(), 1U);
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_TRUE(recorder.reads.empty());
    EXPECT_EQ(b->read(0xFFFC), 0U) << "the last whole dword is a port like any other";
}

}  // namespace
