// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include <sys/stat.h>
#include <sys/wait.h>

#include <functional>
#include <random>

#include "test_support.h"

namespace simpc {
namespace {

namespace fs = std::filesystem;

// Loads an example rack from a private copy, so its image lands in the scratch folder.
std::unique_ptr<Machine> loadExample(const test::ScratchDir& dir, const std::string& name) {
    return loadRack(dir.write(name, test::slurp(test::exampleRack(name))));
}

uint16_t cardNumber(const Plx9050Card* card) {
    return card->eeprom().word(0x38);
}

TEST(ExampleRacks, Rack3HasThreeCardsNumberedInScanOrder) {
    test::ScratchDir dir;
    auto m = loadExample(dir, "rack3.toml");
    auto cards = m->cards();
    ASSERT_EQ(cards.size(), 3u);
    for (uint16_t i = 0; i < 3; ++i) EXPECT_EQ(cardNumber(cards[i]), i + 1);
    EXPECT_EQ(cards[0]->bar(4), 0x301u);
    EXPECT_EQ(cards[0]->interruptLine(), 5);
    EXPECT_EQ(cards[2]->address().bus, 1);
    EXPECT_GE(m->devices().size(), 9u);
    // The bridge's IDs reach configuration space and the EEPROM header words.
    EXPECT_EQ(test::configRead(*m, cards[0]->address(), 0), 0x905010B5u);
    EXPECT_EQ(cards[0]->eeprom().word(1), 0x10B5);
}

TEST(ExampleRacks, Rack10NumbersEachOfOneToTen) {
    test::ScratchDir dir;
    auto m = loadExample(dir, "rack10.toml");
    std::vector<uint16_t> numbers;
    for (auto* card : m->cards()) numbers.push_back(cardNumber(card));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(ExampleRacks, FaultsRackHasEveryAwkwardCase) {
    test::ScratchDir dir;
    auto m = loadExample(dir, "faults.toml");
    auto card = [&](const char* slot) { return m->cardAt(parseSlot(slot)); };
    auto faults = [&](const char* slot) { return card(slot)->eeprom().faults(); };
    EXPECT_TRUE(faults("00:08.0").neverReady);
    EXPECT_TRUE(faults("00:09.0").dropWrites);
    EXPECT_TRUE(faults("00:0a.0").writeProtected);
    EXPECT_EQ(faults("00:0b.0").doStuck, false);
    EXPECT_EQ(faults("00:0c.0").doStuck, true);
    EXPECT_TRUE(faults("00:0d.0").absent);
    ASSERT_NE(card("00:0e.1"), nullptr);
    EXPECT_EQ(test::configRead(*m, {0, 0x0e, 0}, 0x0C) >> 16 & 0x80, 0x80u) << "multi-function";
    EXPECT_EQ(card("00:0f.0")->localRegBase(), 0);
    EXPECT_EQ(cardNumber(card("00:10.0")), cardNumber(card("00:11.0")));
    EXPECT_EQ(cardNumber(card("00:12.0")), 0xFFFF);
    ASSERT_NE(card("05:00.0"), nullptr);
}

TEST(RackFile, CardNumberAndEepromWordsReachTheEeprom) {
    test::ScratchDir dir;
    auto m = loadRack(dir.write("r.toml", R"(
[[card]]
slot = "0000:00:0A.0"
bar1 = 0xe001
card_no = -1
eeprom = { 0x10 = 0xabcd, 63 = 7 }
[[card]]
slot = "00:0b.0"
bar1 = 0xe081
card_no = -32768
eeprom = [1, 2, 3]
)"));
    auto cards = m->cards();
    EXPECT_EQ(cardNumber(cards[0]), 0xFFFF);
    EXPECT_EQ(cards[0]->eeprom().word(0x10), 0xabcd);
    EXPECT_EQ(cards[0]->eeprom().word(63), 7);
    EXPECT_EQ(cardNumber(cards[1]), 0x8000);
    EXPECT_EQ(cards[1]->eeprom().word(2), 3);
}

// "what" of a parameter, as a test name.
template <class Param>
std::string caseName(const ::testing::TestParamInfo<Param>& info) {
    std::string name = info.param.what;
    for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

struct BadRack {
    const char* what;
    std::string text;
    std::vector<std::string> mentions;  // besides the file name
};
void PrintTo(const BadRack& rack, std::ostream* out) {
    *out << rack.what;
}

const std::string kCard = "[[card]]\nslot = \"00:0a.0\"\nbar1 = 0xe001\n";

class RackErrors : public ::testing::TestWithParam<BadRack> {};

TEST_P(RackErrors, NameFileLineAndKey) {
    test::ScratchDir dir;
    auto file = dir.write("bad-rack.toml", GetParam().text);
    try {
        loadRack(file);
        FAIL() << "accepted";
    } catch (const RackError& e) {
        std::string what = e.what();
        EXPECT_EQ(what.rfind(file.string(), 0), 0u) << what;
        for (const auto& word : GetParam().mentions) {
            EXPECT_NE(what.find(word), std::string::npos) << "no '" << word << "' in: " << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RackErrors,
    ::testing::Values(
        BadRack{"syntax", "[[card]\nslot = 1", {":1:", "TOML"}},
        BadRack{"unknown top key", "cards = 1\n", {":1:", "'cards'"}},
        BadRack{"unknown card key", kCard + "bar6 = 1\n", {":4:", "card #1", "'bar6'"}},
        BadRack{"wrong type", kCard + "irq = \"5\"\n", {":4:", "'irq'", "a string"}},
        BadRack{"16-bit range", kCard + "vendor = 0x10000\n", {":4:", "'vendor'", "0xffff"}},
        BadRack{"card_no range", kCard + "card_no = 65536\n", {":4:", "'card_no'"}},
        BadRack{"device > 31", "[[card]]\nslot = \"00:20.0\"\nbar1 = 1\n", {":2:", "device"}},
        BadRack{"function > 7", "[[card]]\nslot = \"00:01.8\"\nbar1 = 1\n", {":2:", "function"}},
        BadRack{"missing slot", "[[device]]\nvendor = 1\ndevice = 2\n", {":1:", "'slot'"}},
        BadRack{"missing bar1", "[[card]]\nslot = \"00:0a.0\"\n", {":1:", "'bar1'"}},
        BadRack{"missing vendor", "[[device]]\nslot = \"00:00.0\"\ndevice = 2\n", {"'vendor'"}},
        BadRack{"duplicate slot",
                kCard + "[[device]]\nslot = \"00:0a.0\"\nvendor = 1\ndevice = 2\n",
                {":5:", "device #1", "already used by card #1", "line 1"}},
        BadRack{"overlap",
                kCard + "[[card]]\nslot = \"00:0b.0\"\nbar1 = 0xe041\n",
                {":4:", "card #2", "overlap", "00:0a.0"}},
        BadRack{"unknown fault",
                kCard + "faults = [\"no-eeprom\", \"on-fire\"]\n",
                {":4:", "'on-fire'", "never-ready"}},
        BadRack{"eeprom index", kCard + "eeprom = { 0x40 = 1 }\n", {":4:", "0x40"}},
        BadRack{"card_no vs eeprom", kCard + "eeprom = { 0x38 = 1 }\ncard_no = 2\n", {":5:"}},
        BadRack{"card as table", "[card]\nslot = \"00:0a.0\"\n", {"[[card]]"}}),
    caseName<BadRack>);

// Nesting the TOML parser would recurse through until the stack runs out.
std::string deep(const std::string& open, const std::string& middle, const std::string& close) {
    std::string text = "description = \"deep\"\n\n";
    for (int i = 0; i < 50000; ++i) text += open;
    text += middle;
    for (int i = 0; i < 50000; ++i) text += close;
    return text + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    NestedTooDeep, RackErrors,
    ::testing::Values(
        BadRack{"dotted key", deep("a.", "b = 1", ""), {":3: nested too deep"}},
        BadRack{"table header", deep("[", "x", "]"), {":3: nested too deep"}},
        BadRack{"dotted header", "[" + deep("a.", "b]", ""), {":3: nested too deep"}},
        BadRack{"arrays", "x = " + deep("[", "1", "]"), {":3: nested too deep"}},
        BadRack{"inline tables", "x = " + deep("{a=", "1", "}"), {":3: nested too deep"}}),
    caseName<BadRack>);

// A NUL quoted from the rack must not end the message.
INSTANTIATE_TEST_SUITE_P(
    ControlCharacters, RackErrors,
    ::testing::Values(BadRack{"nul in key", "\"na\\u0000me\" = 1\n", {"'na\\x00me'", "known keys"}},
                      BadRack{"nul in slot",
                              "[[card]]\nslot = \"00:0a\\u0000.0\"\nbar1 = 1\n",
                              {"'00:0a\\x00.0'", "is not a hex number"}}),
    caseName<BadRack>);

// Rack files and images that are no plain file of a sensible size, or cannot be read.
struct Unreadable {
    const char* what;
    // Sets the case up in the folder; gives the rack to load and the file to be named.
    std::function<std::pair<fs::path, fs::path>(const test::ScratchDir&)> make;
    const char* reason;
};
void PrintTo(const Unreadable& input, std::ostream* out) {
    *out << input.what;
}

fs::path fifo(const test::ScratchDir& dir, const char* name) {
    const fs::path path = dir.path() / name;
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    return path;
}

std::pair<fs::path, fs::path> imageAt(const test::ScratchDir& dir, const fs::path& image) {
    return {dir.write("r.toml", "eeprom_image = \"" + image.string() + "\"\n" + kCard),
            image.is_absolute() ? image : dir.path() / image};
}

class UnreadableInputs : public ::testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableInputs, AreRefusedAtOnceNamingTheFile) {
    test::ScratchDir dir;
    const auto [rack, named] = GetParam().make(dir);
    const fs::path report = dir.path() / "report.txt";
    // In a child, so that a read that blocks or never ends fails the test instead of hanging.
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(5);
        try {
            loadRack(rack);
        } catch (const std::exception& e) {
            std::ofstream(report) << e.what();
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not refused: " << status;
    const std::string message = test::slurp(report);
    EXPECT_NE(message.find(named.string()), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableInputs,
    ::testing::Values(
        Unreadable{"fifo rack",
                   [](const test::ScratchDir& d) {
                       auto f = fifo(d, "r.toml");
                       return std::pair{f, f};
                   },
                   "a FIFO"},
        Unreadable{"endless rack",
                   [](auto&) {
                       return std::pair{fs::path("/dev/zero"), fs::path("/dev/zero")};
                   },
                   "a character device"},
        Unreadable{"oversized rack",
                   [](const test::ScratchDir& d) {
                       auto f = d.write("r.toml", kCard);
                       fs::resize_file(f, kMaxFileBytes + 1);
                       return std::pair{f, f};
                   },
                   "larger than the limit"},
        Unreadable{"read error on rack",
                   [](auto&) {
                       return std::pair{fs::path("/proc/self/mem"), fs::path("/proc/self/mem")};
                   },
                   "cannot read rack file"},
        Unreadable{"fifo image",
                   [](const test::ScratchDir& d) { return imageAt(d, fifo(d, "i.json")); },
                   "a FIFO"},
        Unreadable{"endless image",
                   [](const test::ScratchDir& d) { return imageAt(d, "/dev/urandom"); },
                   "a character device"}),
    caseName<Unreadable>);

TEST(RackFile, MissingFileIsARackError) {
    test::ScratchDir dir;
    EXPECT_THROW(loadRack(dir.path() / "none.toml"), RackError);
    EXPECT_THROW(loadRack(dir.path()), RackError);
}

// Damaged racks must fail cleanly: random truncations and byte flips of a real rack.
TEST(RackFile, DamagedRacksNeverCrash) {
    test::ScratchDir dir;
    const std::string good = test::slurp(test::exampleRack("faults.toml"));
    std::mt19937 random(20240611);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = good.substr(0, random() % good.size());
        if (round % 2 == 0) {
            text = good;
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
                text[random() % text.size()] = static_cast<char>(random() % 256);
            }
        }
        try {
            loadRack(dir.write("fuzz.toml", text));
            ++loaded;
        } catch (const RackError&) {
            ++refused;
        } catch (const StoreError&) {
            ++refused;  // a flipped image name can point somewhere unreadable
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace simpc
