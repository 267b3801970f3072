// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <regex>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace simpc {
namespace {

CardConfig cardAt(uint32_t bar1) {
    CardConfig c;
    c.bars[1] = bar1;
    return c;
}

TEST(Cntrl, KeepsWrittenBitsAndComputesDoAndPresent) {
    Machine m;
    auto& card = m.addCard({0, 10, 0}, cardAt(0xe001));
    EXPECT_EQ(m.in(0xe050), cntrl::kDefault | cntrl::kPresent | cntrl::kDo);

    // Every writable bit pattern survives; 27 and 28 are ignored when written.
    for (uint32_t value : {0x00000000u, 0x81FFFFFFu, 0x18000000u, 0x807A4492u}) {
        m.out(0xe050, value);
        uint32_t stored = value & ~(cntrl::kDo | cntrl::kPresent);
        EXPECT_EQ(card.cntrl(), stored);
        EXPECT_EQ(m.in(0xe050), stored | cntrl::kPresent | cntrl::kDo) << std::hex << value;
    }
    EXPECT_EQ(card.resetOrReloadWrites(), 0u);
    m.out(0xe050, cntrl::kDefault | cntrl::kReload);
    m.out(0xe050, cntrl::kDefault | cntrl::kSoftReset);
    m.out(0xe050, cntrl::kDefault);
    EXPECT_EQ(card.resetOrReloadWrites(), 2u);
}

TEST(LocalRegisters, PlainStorageInA128ByteWindow) {
    Machine m;
    m.addCard({0, 10, 0}, cardAt(0xe001));
    m.out(0xe07c, 0xA000007C);
    EXPECT_EQ(m.in(0xe07c), 0xA000007Cu);
    EXPECT_EQ(m.in(0xe080), 0xFFFFFFFFu);
    EXPECT_EQ(m.in(0xe051), 0xFFFFFFFFu) << "only dword-aligned ports decode";
}

TEST(LocalRegisters, MemoryBar1DecodesNothingInIoSpace) {
    Machine m;
    auto& card = m.addCard({0, 10, 0}, cardAt(0xe000));
    EXPECT_EQ(card.localRegBase(), 0);
    EXPECT_EQ(m.in(0xe050), 0xFFFFFFFFu);
    // Its memory range does not reserve ports either.
    EXPECT_NO_THROW(m.addCard({0, 11, 0}, cardAt(0xe001)));
}

TEST(LocalRegisters, OverlappingRangesAreRefusedWithBothNamed) {
    Machine m;
    m.addCard({0, 10, 0}, cardAt(0xe001));
    try {
        m.addCard({0, 11, 0}, cardAt(0xe041));
        FAIL() << "overlap accepted";
    } catch (const std::invalid_argument& e) {
        std::string what = e.what();
        EXPECT_NE(what.find("00:0b.0"), std::string::npos) << what;
        EXPECT_NE(what.find("00:0a.0"), std::string::npos) << what;
    }
    EXPECT_THROW(m.addCard({0, 12, 0}, cardAt(0x0c81)), std::invalid_argument);  // 0xCF8
    EXPECT_EQ(m.cardAt({0, 11, 0}), nullptr) << "a refused card leaves nothing behind";
    EXPECT_NO_THROW(m.addCard({0, 11, 0}, cardAt(0xe081)));  // adjacent is fine
    EXPECT_EQ(m.cards().size(), 2u);
}

TEST(Trace, OneLinePerAccessAndPausesMarked) {
    Machine m;
    m.addGeneric({0, 10, 0}, {.vendorId = 0x10B5, .deviceId = 0x9050});
    std::ostringstream trace;
    m.setTrace(&trace);
    m.out(0xCF8, 0x80005000);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m.in(0xCFC);
    m.setTrace(nullptr);
    m.in(0xCFC);

    std::istringstream lines(trace.str());
    std::string write, pause, read, extra;
    std::getline(lines, write);
    std::getline(lines, pause);
    std::getline(lines, read);
    EXPECT_EQ(write, "W 0cf8 <- 80005000");
    EXPECT_TRUE(std::regex_match(pause, std::regex(R"(P \d+\.\d{3} ms)"))) << pause;
    EXPECT_GE(std::stod(pause.substr(2)), 2.0);
    EXPECT_EQ(read, "R 0cfc -> 905010b5");
    EXPECT_FALSE(std::getline(lines, extra)) << "tracing off writes nothing";
}

TEST(Trace, EachLineReachesTheFileAtOnce) {
    test::ScratchDir dir;
    std::ofstream file(dir.path() / "trace.log");
    Machine m;
    m.setTrace(&file);
    m.in(0x80);
    EXPECT_EQ(test::slurp(dir.path() / "trace.log"), "R 0080 -> ffffffff\n");
}

// Not a benchmark: a long mixed run must stay consistent and count every access.
TEST(Speed, MillionMixedAccessesAreCountedAndConsistent) {
    Machine m;
    m.addCard({0, 10, 0}, cardAt(0xe001));
    uint32_t sum = 0;
    constexpr uint32_t kRounds = 256'000;
    for (uint32_t i = 0; i < kRounds; ++i) {
        m.out(0xCF8, 0x80000000u | ((i & 31) << 11));
        sum += m.in(0xCFC) == 0x905010B5u ? 1u : 0u;
        m.out(0xe050, cntrl::kDefault | ((i & 1) ? cntrl::kSk : 0u));
        sum += (m.in(0xe050) & cntrl::kSk) ? 1u : 0u;
    }
    EXPECT_EQ(m.counters().reads, 2u * kRounds);
    EXPECT_EQ(m.counters().writes, 2u * kRounds);
    // Device 10 comes up once every 32 addresses; SK follows every other write.
    EXPECT_EQ(sum, kRounds / 32 + kRounds / 2);
}

}  // namespace
}  // namespace simpc
