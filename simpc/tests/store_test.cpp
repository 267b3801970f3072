// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "test_support.h"

namespace simpc {
namespace {

namespace fs = std::filesystem;

const char* kRack = R"(
[[card]]
slot = "00:0a.0"
bar1 = 0xe001
card_no = 1

[[card]]
slot = "01:02.0"
bar1 = 0xe081
card_no = 2
)";
constexpr PciAddress kFirst{0, 10, 0};
constexpr PciAddress kSecond{1, 2, 0};

void program(Machine& m, PciAddress at, unsigned word, uint16_t value) {
    test::Microwire(m, m.cardAt(at)->localRegBase()).program(word, value);
}

uint16_t word(Machine& m, PciAddress at, unsigned index) {
    return m.cardAt(at)->eeprom().word(index);
}

// Runs `body` in a child process, which exits 0 if it returns and 2 if it throws.
pid_t spawn(const std::function<void()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(EepromStore, ChangesOutliveTheMachineAndReachOthersAtTheNextScan) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    auto reader = loadRack(rack);
    program(*loadRack(rack), kSecond, 0x38, 42);
    EXPECT_TRUE(fs::exists(dir.path() / "r.eeprom.json"));

    auto fresh = loadRack(rack);
    EXPECT_EQ(word(*fresh, kSecond, 0x38), 42);
    EXPECT_EQ(word(*fresh, kFirst, 0x38), 1);

    EXPECT_EQ(word(*reader, kSecond, 0x38), 2) << "only re-checked when a scan starts";
    test::configRead(*reader, kSecond, 0);
    test::configRead(*reader, {0, 0, 0}, 0);
    EXPECT_EQ(word(*reader, kSecond, 0x38), 42);
}

TEST(EepromStore, CorruptImageIsReportedAndNeverOverwritten) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    auto m = loadRack(rack);
    const std::string garbage = "{\"00:0a.0\": [1, 2";
    auto image = dir.write("r.eeprom.json", garbage);
    try {
        loadRack(rack);
        FAIL() << "corrupt image accepted";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(image.string()), std::string::npos) << e.what();
    }
    // A machine loaded before the damage keeps working but does not save over it, so the
    // card keeps its old number.
    program(*m, kFirst, 0x38, 9);
    EXPECT_EQ(word(*m, kFirst, 0x38), 1);
    EXPECT_NE(m->storeError().find(image.string()), std::string::npos) << m->storeError();
    EXPECT_EQ(test::slurp(image), garbage);

    for (const char* bad : {"[]", "{\"00:0a.0\": [1]}", "{\"zz\": []}", ""}) {
        EXPECT_THROW(EepromStore::parse(bad, "x"), StoreError) << bad;
    }
}

TEST(EepromStore, UnwritableImageIsReportedNotFatal) {
    test::ScratchDir dir;
    auto m =
        loadRack(dir.write("r.toml", std::string("eeprom_image = \"no/dir/i.json\"\n") + kRack));
    program(*m, kFirst, 0x38, 5);
    EXPECT_EQ(word(*m, kFirst, 0x38), 1) << "a write that cannot be saved did not happen";
    EXPECT_NE(m->storeError().find("no/dir/i.json"), std::string::npos) << m->storeError();
}

// Two processes renumbering different words of the same card at once lose nothing.
TEST(EepromStore, ConcurrentWritersLoseNothing) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    auto writer = [&](unsigned first) {
        return spawn([&rack, first] {
            auto m = loadRack(rack);
            for (unsigned w = first; w < first + 32; ++w) {
                program(*m, kFirst, w, static_cast<uint16_t>(0xC000 + w));
                if (!m->storeError().empty()) throw std::runtime_error(m->storeError());
            }
        });
    };
    pid_t a = writer(0), b = writer(32);
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);

    auto m = loadRack(rack);
    for (unsigned w = 0; w < 64; ++w) EXPECT_EQ(word(*m, kFirst, w), 0xC000 + w) << "word " << w;
    EXPECT_EQ(word(*m, kSecond, 0x38), 2);
}

// A writer killed at any moment leaves either the old or the new image, never a torn one.
TEST(EepromStore, KilledWriterNeverLeavesATornImage) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    const EepromWords initial = loadRack(rack)->cardAt(kFirst)->eeprom().words();
    auto image = dir.path() / "r.eeprom.json";
    std::mt19937 random(77);
    // At least 20 rounds, and on until a save has landed: a slow machine (a sanitizer
    // build, other jobs) gets longer before each kill while none has, up to 100 rounds.
    for (int round = 0; round < 100 && (round < 20 || !fs::exists(image)); ++round) {
        pid_t child = spawn([&rack, round] {
            auto m = loadRack(rack);
            for (unsigned i = 0;; ++i) {  // bit 15 marks every value written
                program(*m, kFirst, i % 64,
                        static_cast<uint16_t>(0x8000u | (i + 64u * static_cast<unsigned>(round))));
            }
        });
        const unsigned patience =
            fs::exists(image) ? 0u : static_cast<unsigned>(std::min(round, 20)) * 25000u;
        std::this_thread::sleep_for(std::chrono::microseconds(5000 + random() % 35000 + patience));
        ::kill(child, SIGKILL);
        ASSERT_TRUE(WIFSIGNALED(waitFor(child))) << "writer died early in round " << round;
        if (!fs::exists(image)) continue;

        auto words = EepromStore::parse(test::slurp(image), image.string()).at("00:0a.0");
        for (unsigned w = 0; w < 64; ++w) {
            EXPECT_TRUE(words[w] == initial[w] || (words[w] & 0x8000) != 0) << "word " << w;
        }
    }
    EXPECT_TRUE(fs::exists(image));
}

// Saves killed half-way, while writing their temporary file (a file size limit kills the
// writer with SIGXFSZ there), leave nothing behind once the next save has run. Where the
// file system makes unnamed temporary files they leave nothing at all.
TEST(EepromStore, SavesKilledHalfWayLeaveNoTemporaryFiles) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    for (int round = 0; round < 3; ++round) {
        pid_t child = spawn([&rack] {
            const rlimit small{64, 64}, none{0, 0};
            ::setrlimit(RLIMIT_CORE, &none);
            ::setrlimit(RLIMIT_FSIZE, &small);
            program(*loadRack(rack), kFirst, 0x38, 7);
        });
        const int status = waitFor(child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    }
    // A killed writer's temporary file, as one left where files cannot be unnamed.
    std::ofstream(dir.path() / ".r.eeprom.json.tmp-killed1") << "{";

    auto m = loadRack(rack);
    program(*m, kSecond, 0x38, 8);
    ASSERT_EQ(m->storeError(), "");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"r.toml", "r.eeprom.json", "r.eeprom.json.lock"}));
}

// A scan sees the image as it is on disk: gone (the rack's own numbers again), or rewritten
// in place by another program that kept its size and times.
TEST(EepromStore, EveryScanSeesTheImageAsItIsNow) {
    test::ScratchDir dir;
    auto rack = dir.write("r.toml", kRack);
    auto image = dir.path() / "r.eeprom.json";
    auto reader = loadRack(rack);
    auto scannedNumber = [&] {
        test::configRead(*reader, kSecond, 0);
        test::configRead(*reader, {0, 0, 0}, 0);
        return word(*reader, kSecond, 0x38);
    };
    program(*loadRack(rack), kSecond, 0x38, 42);
    ASSERT_EQ(scannedNumber(), 42);

    fs::remove(image);
    EXPECT_EQ(scannedNumber(), 2) << "deleting the image gives back the rack's numbers";

    program(*loadRack(rack), kSecond, 0x38, 42);
    ASSERT_EQ(scannedNumber(), 42);
    struct stat before {};
    ASSERT_EQ(::stat(image.c_str(), &before), 0);
    std::string text = test::slurp(image);
    const auto at = text.find(",42,");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, 4, ",43,");
    std::ofstream(image, std::ios::binary | std::ios::in | std::ios::out) << text;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, image.c_str(), times, 0), 0);
    EXPECT_EQ(scannedNumber(), 43) << "a rewrite keeping size and times is still seen";
}

}  // namespace
}  // namespace simpc
