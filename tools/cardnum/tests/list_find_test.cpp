// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Listing the cards and finding one by its number.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "cardnum_process.h"

namespace {

using cardnum_test::Workspace;
using nlohmann::json;

std::vector<int> numbersOf(const json& list) {
    std::vector<int> numbers;
    for (const auto& card : list.at("cards")) numbers.push_back(card.at("card_no").get<int>());
    return numbers;
}

TEST(List, ShowsEachCardWithItsSlotInTableOrder) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");

    const auto text = ws.cardnum(rack, {"list"});
    ASSERT_EQ(text.exitCode, 0) << text;
    EXPECT_NE(text.out.find("    1  2                0x0320     10  00:0b"), std::string::npos)
        << text;
    EXPECT_TRUE(text.err.empty()) << text;

    const auto run = ws.cardnum(rack, {"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run;
    const json list = run.json();
    ASSERT_EQ(list.at("cards").size(), 3U);
    EXPECT_EQ(numbersOf(list), (std::vector<int>{1, 2, 3}));
    const json& third = list.at("cards").at(2);
    EXPECT_EQ(third.at("index"), 2);
    EXPECT_EQ(third.at("io_base"), 0x340);
    EXPECT_EQ(third.at("irq"), 11);
    EXPECT_EQ(third.at("bus"), 1);
    EXPECT_EQ(third.at("device"), 4);
    EXPECT_EQ(third.at("slot"), "01:04");
    EXPECT_EQ(list.at("filter").at("text"), "10b5:9050");
}

TEST(List, EmptyMachineListsNothingAndPointsToDoctor) {
    Workspace ws;
    const auto rack = ws.rack("empty.toml");
    const auto text = ws.cardnum(rack, {"list"});
    EXPECT_EQ(text.exitCode, 0) << text;
    EXPECT_NE(text.out.find("cardnum doctor"), std::string::npos) << text;
    const auto run = ws.cardnum(rack, {"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_TRUE(run.json().at("cards").empty());
}

TEST(List, TenCardsShowOnlyTheNineTheLibraryKeeps) {
    Workspace ws;
    const auto run = ws.cardnum(ws.rack("ten.toml"), {"list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run;
    const json list = run.json();
    EXPECT_EQ(numbersOf(list), (std::vector<int>{4, 1, 7, 10, 2, 9, 3, 5, 8}));
    EXPECT_EQ(list.at("cards").back().at("slot"), "02:05");
}

TEST(List, UnnumberedCardShowsTheWordInHex) {
    Workspace ws;
    const auto run = ws.cardnum(ws.rack("unprogrammed.toml"), {"list"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_NE(run.out.find("65535 (0xFFFF)"), std::string::npos) << run;
}

// --pci takes IDs as lspci writes them, empty fields for any; --id the same IDs in the
// record's order.
TEST(List, PciAndIdOptionsSelectCardsWithOtherIds) {
    Workspace ws;
    const auto rack = ws.rack("otherid.toml");
    auto slots = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"list", "--json"});
        const auto run = ws.cardnum(rack, args);
        EXPECT_EQ(run.exitCode, 0) << run;
        const json list = run.json();
        std::vector<std::string> found;
        for (const auto& card : list.at("cards")) found.push_back(card.at("slot"));
        return found;
    };
    using Slots = std::vector<std::string>;
    EXPECT_EQ(slots({}), Slots{"00:0a"}) << "the library's own IDs by default";
    EXPECT_EQ(slots({"--pci", "10b5:9050"}), Slots{"00:0a"});
    EXPECT_EQ(slots({"--pci", "5678:1234"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--pci", "0x5678:0X1234:1234:0001"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--pci", ":1234"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--pci", "*:*:1234:"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--pci", "5678:1234:1234:0002"}), Slots{});
    EXPECT_EQ(slots({"--pci", ":"}), (Slots{"00:0a", "00:0b"}));
    EXPECT_EQ(slots({"--id", "9050:10b5"}), Slots{"00:0a"});
    EXPECT_EQ(slots({"--id", "1234:5678"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--id", "0x1234:0x5678:0001:1234"}), Slots{"00:0b"});
    EXPECT_EQ(slots({"--id", "1234:5678:0002:1234"}), Slots{});
    EXPECT_EQ(slots({"--id", "0:0"}), (Slots{"00:0a", "00:0b"}));
}

// IDs copied in the other order find nothing; each command then says so and names the IDs
// to give, and exits as it does for IDs that match nothing at all.
class SwappedIds : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(SwappedIds, AreNamedWithTheRightSpelling) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const std::string hint = "--pci 10b5:9050 selects them";
    auto run = [&](std::vector<std::string> ids) {
        std::vector<std::string> args = GetParam();
        args.insert(args.end(), ids.begin(), ids.end());
        return ws.cardnum(rack, args);
    };
    const auto unknown = run({"--pci", "1234:5678"});
    EXPECT_EQ(unknown.err.find("warning"), std::string::npos) << unknown;
    for (const auto& ids :
         {std::vector<std::string>{"--pci", "9050:10b5"}, {"--id", "10b5:9050"}}) {
        const auto swapped = run(ids);
        EXPECT_EQ(swapped.exitCode, unknown.exitCode) << swapped;
        EXPECT_NE(swapped.err.find("cardnum: warning: no card has IDs 9050:10b5 (vendor 9050, "
                                   "device 10b5), but 3 cards have 10b5:9050 (vendor 10b5, "
                                   "device 9050)"),
                  std::string::npos)
            << swapped;
        EXPECT_NE(swapped.err.find(hint), std::string::npos) << swapped;
    }
    const auto right = run({"--pci", "10b5:9050"});
    EXPECT_EQ(right.err.find("warning"), std::string::npos) << right;
}

INSTANTIATE_TEST_SUITE_P(Commands, SwappedIds,
                         ::testing::Values(std::vector<std::string>{"list"},
                                           std::vector<std::string>{"list", "--json"},
                                           std::vector<std::string>{"find", "9"},
                                           std::vector<std::string>{"set", "--card", "9", "4"},
                                           std::vector<std::string>{"doctor"}));

TEST(Find, ReportsIoBaseIrqAndSlotOfTheCard) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const auto text = ws.cardnum(rack, {"find", "2"});
    ASSERT_EQ(text.exitCode, 0) << text;
    EXPECT_EQ(text.out, "Card 2: I/O base 0x0320, IRQ 10 (index 1, slot 00:0b)\n");

    const auto run = ws.cardnum(rack, {"find", "0x3", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run;
    const json found = run.json();
    EXPECT_EQ(found.at("found"), true);
    EXPECT_EQ(found.at("card").at("io_base"), 0x340);
    EXPECT_EQ(found.at("card").at("irq"), 11);
    EXPECT_EQ(found.at("card").at("slot"), "01:04");
}

TEST(Find, MissingCardExitsOneWithAMessage) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const auto text = ws.cardnum(rack, {"find", "9"});
    EXPECT_EQ(text.exitCode, 1) << text;
    EXPECT_TRUE(text.out.empty()) << text;
    EXPECT_NE(text.err.find("no card numbered 9"), std::string::npos) << text;

    const auto run = ws.cardnum(rack, {"find", "9", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run;
    EXPECT_EQ(run.json().at("found"), false);
}

TEST(Find, MinusOneAnd65535NameTheSameNumber) {
    Workspace ws;
    const auto rack = ws.rack("unprogrammed.toml");
    for (const char* number : {"-1", "65535", "0xFFFF"}) {
        const auto run = ws.cardnum(rack, {"find", number, "--json"});
        ASSERT_EQ(run.exitCode, 0) << number << '\n' << run;
        EXPECT_EQ(run.json().at("card").at("slot"), "00:0b") << number;
    }
}

TEST(Find, SharedNumberReachesTheFirstCardAndWarns) {
    Workspace ws;
    const auto run = ws.cardnum(ws.rack("shared.toml"), {"find", "5"});
    ASSERT_EQ(run.exitCode, 0) << run;
    EXPECT_NE(run.out.find("slot 00:0a"), std::string::npos) << run;
    EXPECT_NE(run.err.find("2 cards carry number 5"), std::string::npos) << run;
}

// The command the README shows, on the rack bundled with the project.
TEST(BundledRack, ListAndFindOnTheThreeCardRack) {
    Workspace ws;
    const auto rack = ws.rack(CARDNUM_EXAMPLE_RACKS "/rack3.toml");
    const auto list = ws.cardnum(rack, {"list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list;
    EXPECT_EQ(numbersOf(list.json()), (std::vector<int>{1, 2, 3}));
    const auto find = ws.cardnum(rack, {"find", "2"});
    EXPECT_EQ(find.exitCode, 0) << find;
}

// PORTVEX_TRACE naming a file that cannot be written is said once, whatever the command.
TEST(Trace, UnwritableTraceFileIsSaidOnce) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const std::string trace = (ws.dir() / "no-such-folder" / "trace.log").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, {"find", "1"}, {"set", "--index", "0", "4"}}) {
        const auto run = ws.cardnum(rack, args, {"PORTVEX_TRACE=" + trace});
        EXPECT_EQ(run.exitCode, 0) << run;
        const auto first = run.err.find(trace);
        EXPECT_NE(first, std::string::npos) << run;
        EXPECT_EQ(run.err.find(trace, first + 1), std::string::npos) << run;
    }
}

// --json prints exactly one object in every outcome, with an error member on failure.
struct JsonCase {
    const char* what;
    std::string rack;  // a test rack, "none", or "broken" for a rack that is not TOML
    std::vector<std::string> args;
    int exitCode;
    std::string reason;  // part of error.reason
};
void PrintTo(const JsonCase& c, std::ostream* out) {
    *out << c.what;
}

class JsonOutcomes : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonOutcomes, AreOneObjectWithTheErrorOnFailure) {
    const JsonCase& c = GetParam();
    Workspace ws;
    std::string portvex = c.rack;
    if (c.rack == "broken") {
        std::ofstream(ws.dir() / "broken.toml") << "[[card]\n";
        portvex = "sim:" + (ws.dir() / "broken.toml").string();
    } else if (c.rack != "none") {
        portvex = ws.rack(c.rack);
    }
    const auto run = ws.cardnum(portvex, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run;
    json doc;
    ASSERT_NO_THROW(doc = run.json()) << run;
    ASSERT_TRUE(doc.is_object()) << run;
    if (c.exitCode == 0) {
        EXPECT_FALSE(doc.contains("error")) << run;
        return;
    }
    ASSERT_TRUE(doc.contains("error")) << run;
    EXPECT_EQ(doc.at("error").at("exit_status"), c.exitCode) << run;
    EXPECT_NE(doc.at("error").at("reason").get<std::string>().find(c.reason), std::string::npos)
        << run;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonOutcomes,
    ::testing::Values(
        JsonCase{"ListWithoutPorts", "none", {"list", "--json"}, 3, "no port access"},
        JsonCase{"FindWithoutPorts", "none", {"find", "1", "--json"}, 3, "no port access"},
        JsonCase{"ListOnBrokenRack", "broken", {"list", "--json"}, 3, "broken.toml:1"},
        JsonCase{"FindOnBrokenRack", "broken", {"find", "1", "--json"}, 3, "broken.toml:1"},
        JsonCase{"DoctorOnBrokenRack", "broken", {"doctor", "--json"}, 3, "no port access"},
        JsonCase{"NoSuchCard", "three.toml", {"find", "9", "--json"}, 1, "no card numbered 9"},
        JsonCase{"BadNumber", "three.toml", {"find", "x", "--json"}, 2, "NUMBER"},
        JsonCase{"Listed", "three.toml", {"list", "--json"}, 0, ""}),
    [](const auto& param) { return std::string(param.param.what); });

// While another process holds the image lock, a command waits a bounded time, then says
// which lock file is held and by which process, and exits 3.
TEST(ImageLock, HeldLockEndsTheWaitNamingFileAndHolder) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    const auto lockFile = ws.dir() / "three.eeprom.json.lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const auto started = std::chrono::steady_clock::now();
    const auto run = ws.cardnum(rack, {"list"});
    const auto waited = std::chrono::steady_clock::now() - started;
    ::close(fd);
    EXPECT_EQ(run.exitCode, 3) << run;
    EXPECT_NE(run.err.find(lockFile.string()), std::string::npos) << run;
    EXPECT_NE(run.err.find("process " + std::to_string(::getpid())), std::string::npos) << run;
    EXPECT_LT(waited, std::chrono::seconds(60));
}

// A result that cannot be written is an error, as with any command that prints.
TEST(Output, WriteErrorOnStandardOutputIsReported) {
    Workspace ws;
    const auto rack = ws.rack("three.toml");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, {"list", "--json"}, {"find", "1"}}) {
        const auto run = ws.cardnum(rack, args, {}, "/dev/full");
        EXPECT_EQ(run.exitCode, 4) << args[0] << '\n' << run;
        EXPECT_NE(run.err.find("cannot write standard output"), std::string::npos) << run;
    }
}

}  // namespace
