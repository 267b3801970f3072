// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The registers of a card's own I/O range (BAR4), declared in the rack file or given by a
// model in code.
#include <chrono>
#include <thread>

#include "test_support.h"

namespace simpc {
namespace {

constexpr uint32_t kBase = 0x300;

// One card at 00:0a.0 with its I/O range at 0x300 and the registers given.
std::string rackWith(const std::string& registers, const std::string& size = "bar4_size = 32\n") {
    return R"([[card]]
slot = "00:0a.0"
bar1 = 0xe001
bar4 = 0x0301
)" + size + registers;
}

constexpr const char* kAllKinds = R"(
[[card.register]]
name = "ID"
offset = 0x00
reset = 0xd1032001
writable = 0
[[card.register]]
name = "OUT"
offset = 0x04
reset = 0x0000ff00
writable = 0x0000ffff
[[card.register]]
name = "IN"
offset = 0x08
reset = 0xabcd0000
loopback = { from = "OUT", mask = 0x000000ff }
[[card.register]]
name = "STATUS"
offset = 0x0c
reset = 0x8000000f
writable = 0x00ff0000
w1c = 0x0000000f
[[card.register]]
name = "TICKS"
offset = 0x10
reset = 0xfffffffe
counter = { step = 1 }
[[card.register]]
name = "CLOCK"
offset = 0x14
writable = 0
counter = { rate = 1000000000 }
[[card.register]]
name = "ADC"
offset = 0x18
samples = { values = [10, 20, 30] }
busy = { bit = 0x80000000, reads = 2, after = "CMD" }
[[card.register]]
name = "CMD"
offset = 0x1c
write_only = true
)";

class Registers : public ::testing::Test {
  protected:
    void SetUp() override { m = loadRack(dir.write("r.toml", rackWith(kAllKinds))); }
    uint32_t in(uint32_t offset) { return m->in(kBase + offset); }
    void out(uint32_t offset, uint32_t value) { m->out(kBase + offset, value); }

    test::ScratchDir dir;
    std::unique_ptr<Machine> m;
};

TEST_F(Registers, StorageKeepsResetValueWritableBitsAndClearsWriteOneBits) {
    EXPECT_EQ(in(0x00), 0xd1032001u);
    out(0x00, 0);
    EXPECT_EQ(in(0x00), 0xd1032001u) << "read-only";
    EXPECT_EQ(in(0x04), 0x0000ff00u);
    out(0x04, 0x12345678);
    EXPECT_EQ(in(0x04), 0x00005678u) << "only the writable bits are stored";
    // Status: bits 0-3 clear where a 1 is written, 16-23 are plain storage, 31 stays.
    out(0x0c, 0x00aa0005);
    EXPECT_EQ(in(0x0c), 0x80aa000au);
    out(0x0c, 0x00aa0000);
    EXPECT_EQ(in(0x0c), 0x80aa000au) << "a 0 leaves a flag set";
    out(0x0c, 0x00aa000f);
    EXPECT_EQ(in(0x0c), 0x80aa0000u);
    // Write-only: reads give 0, the value is still there for those that depend on it.
    out(0x1c, 0x55);
    EXPECT_EQ(in(0x1c), 0u);
}

TEST_F(Registers, LoopbackReadsTheOtherRegisterUnderItsMask) {
    EXPECT_EQ(in(0x08), 0xabcd0000u) << "OUT's reset value has no bits under the mask";
    out(0x04, 0x000012a5);
    EXPECT_EQ(in(0x08), 0xabcd00a5u);
    out(0x08, 0x00000011);  // its own bits outside the mask are storage
    EXPECT_EQ(in(0x08), 0x000000a5u);
    out(0x04, 0);
    EXPECT_EQ(in(0x08), 0u);
}

TEST_F(Registers, CounterStepsOnEachReadOrRunsAtItsRate) {
    EXPECT_EQ(in(0x10), 0xfffffffeu);
    EXPECT_EQ(in(0x10), 0xffffffffu);
    EXPECT_EQ(in(0x10), 0u) << "wraps at 32 bits";
    out(0x10, 100);
    EXPECT_EQ(in(0x10), 100u) << "a write loads the count";
    EXPECT_EQ(in(0x10), 101u);

    // 1 GHz: a pause of 2 ms counts at least 2,000,000 ticks, and the count keeps moving.
    uint32_t first = in(0x14);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    uint32_t second = in(0x14);
    EXPECT_GE(second - first, 2'000'000u);
    out(0x14, 0);
    EXPECT_GE(in(0x14), second - first) << "read-only: a write does not reset it";
}

TEST_F(Registers, SamplesComeInTurnAndBusyShowsForNReadsAfterAWrite) {
    std::vector<uint32_t> seen;
    for (int i = 0; i < 4; ++i) seen.push_back(in(0x18));
    EXPECT_EQ(seen, (std::vector<uint32_t>{10, 20, 30, 10})) << "repeats";
    out(0x18, 0);
    EXPECT_EQ(in(0x18), 10u) << "a write starts the list again";

    out(0x1c, 1);  // starts the conversion: 2 busy reads, then ready
    EXPECT_EQ(in(0x18), 0x80000014u);
    EXPECT_EQ(in(0x18), 0x8000001eu);
    EXPECT_EQ(in(0x18), 10u);

    auto hold = loadRack(dir.write("hold.toml", rackWith(R"(
[[card.register]]
name = "ADC"
offset = 0
samples = { values = [1, 2], then = "hold" }
)")));
    for (uint32_t expected : {1u, 2u, 2u, 2u}) EXPECT_EQ(hold->in(kBase), expected);
}

TEST_F(Registers, UnclaimedOffsetsAndPortsBeyondTheRangeReadAllOnes) {
    auto sparse = loadRack(dir.write("sparse.toml", rackWith(R"(
[[card.register]]
name = "ONLY"
offset = 0x10
)")));
    for (uint32_t offset : {0u, 0x0cu, 0x14u, 0x1cu, 0x20u}) {
        sparse->out(kBase + offset, 0);
        EXPECT_EQ(sparse->in(kBase + offset), 0xFFFFFFFFu) << offset;
    }
    EXPECT_EQ(sparse->in(kBase + 0x10), 0u);
    // A card without registers decodes nothing at BAR4, as before.
    auto bare = loadRack(dir.write("bare.toml", rackWith("")));
    bare->out(kBase, 0);
    EXPECT_EQ(bare->in(kBase), 0xFFFFFFFFu);
}

TEST_F(Registers, TraceNamesTheSlotAndTheRegister) {
    std::ostringstream trace;
    m->setTrace(&trace);
    out(0x04, 0x5a);
    in(0x08);
    m->in(0xe000);
    auto sparse = loadRack(dir.write("sparse.toml", rackWith(R"(
[[card.register]]
name = "ONLY"
offset = 0x10
)")));
    sparse->setTrace(&trace);
    sparse->in(kBase + 0x0c);
    EXPECT_EQ(trace.str(),
              "W 0304 <- 0000005a 00:0a.0 OUT\n"
              "R 0308 -> abcd005a 00:0a.0 IN\n"
              "R e000 -> 00000000\n"
              "R 030c -> ffffffff 00:0a.0 +0x0c (no register)\n");
}

TEST_F(Registers, MovingBar4MovesTheRegisters) {
    test::configWrite(*m, {0, 0x0a, 0}, 0x20, 0x0501);
    EXPECT_EQ(m->in(0x500), 0xd1032001u);
    EXPECT_EQ(in(0), 0xFFFFFFFFu);
    // Sizing answers the declared size.
    test::configWrite(*m, {0, 0x0a, 0}, 0x20, 0xFFFFFFFF);
    EXPECT_EQ(test::configRead(*m, {0, 0x0a, 0}, 0x20), 0xFFFFFFE1u);
}

// A model in code takes the whole range in place of the rack's registers, until detached.
TEST_F(Registers, ModelTakesTheRangeUntilDetached) {
    struct Echo final : CardModel {
        std::vector<std::pair<uint32_t, uint32_t>> writes;
        uint32_t read(uint32_t offset) override { return 0xC0DE0000 | offset; }
        void write(uint32_t offset, uint32_t value) override { writes.emplace_back(offset, value); }
    };
    auto model = std::make_shared<Echo>();
    m->attachModel({0, 0x0a, 0}, model);
    std::ostringstream trace;
    m->setTrace(&trace);
    EXPECT_EQ(in(0x1c), 0xC0DE001Cu);
    out(0x04, 7);
    EXPECT_EQ(model->writes, (std::vector<std::pair<uint32_t, uint32_t>>{{4, 7}}));
    EXPECT_NE(trace.str().find("R 031c -> c0de001c 00:0a.0 +0x1c (model)\n"), std::string::npos);
    m->attachModel({0, 0x0a, 0}, nullptr);
    EXPECT_EQ(in(0x00), 0xd1032001u);
    EXPECT_EQ(in(0x04), 0x0000ff00u) << "the model's writes never reached the registers";

    // A card without registers gets its range decoded for the model, and freed after.
    auto bare = loadRack(dir.write("bare.toml", rackWith("")));
    bare->attachModel({0, 0x0a, 0}, model);
    EXPECT_EQ(bare->in(kBase + 8), 0xC0DE0008u);
    bare->attachModel({0, 0x0a, 0}, nullptr);
    EXPECT_EQ(bare->in(kBase + 8), 0xFFFFFFFFu);
    EXPECT_THROW(bare->attachModel({0, 0x0b, 0}, model), std::invalid_argument);
}

struct BadRack {
    const char* name;
    std::string text;
    unsigned line;
    const char* message;
};

class RegisterErrors : public ::testing::TestWithParam<BadRack> {};

TEST_P(RegisterErrors, NameTheFileLineAndWhatIsWrong) {
    test::ScratchDir dir;
    const auto file = dir.write("bad.toml", GetParam().text);
    try {
        loadRack(file);
        FAIL() << "loaded";
    } catch (const RackError& e) {
        const std::string where = file.string() + ":" + std::to_string(GetParam().line) + ":";
        EXPECT_EQ(std::string(e.what()).rfind(where, 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rack, RegisterErrors,
    ::testing::Values(
        BadRack{"OutsideTheRange", rackWith("[[card.register]]\nname = \"A\"\noffset = 0x20\n"), 8,
                "card #1 (00:0a.0): register 'A': 'offset' 0x20 is outside the card's I/O "
                "range 0x0300-0x031f (32 bytes"},
        BadRack{"NotADword", rackWith("[[card.register]]\nname = \"A\"\noffset = 2\n"), 8,
                "'offset' 0x2 is not a multiple of 4"},
        BadRack{"Overlapping",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 4\n"
                         "[[card.register]]\nname = \"B\"\noffset = 4\n"),
                11, "register 'B': 'offset' 0x4 overlaps register 'A' at line 6"},
        BadRack{"UnknownLoopbackSource",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\n"
                         "[[card.register]]\nname = \"B\"\noffset = 4\nloopback = { from = "
                         "\"OUTPUT\" }\n"),
                12, "register 'B': 'loopback': unknown register 'OUTPUT' (this card has: A, B)"},
        BadRack{"UnknownBusyTrigger",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\n"
                         "busy = { bit = 1, reads = 2, after = \"GO\" }\n"),
                9, "register 'A': 'busy': unknown register 'GO'"},
        BadRack{"NameTwice",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\n"
                         "[[card.register]]\nname = \"A\"\noffset = 4\n"),
                10, "register 'A': the name is already used by the register at line 6"},
        BadRack{"NoIoBar",
                "[[card]]\nslot = \"00:0a.0\"\nbar1 = 0xe001\n"
                "[[card.register]]\nname = \"A\"\noffset = 0\n",
                4, "registers need the card's I/O range, but 'bar4' (0x0) is not an I/O BAR"},
        BadRack{"TwoSources",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\ncounter = { step = 1 "
                         "}\nsamples = { values = [1] }\n"),
                10, "'loopback', 'counter' and 'samples' exclude each other"},
        BadRack{"CounterWithoutStepOrRate",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\ncounter = {}\n"), 9,
                "give either 'step' (counts a read) or 'rate'"},
        BadRack{"SamplesEndingOddly",
                rackWith("[[card.register]]\nname = \"A\"\noffset = 0\nsamples = { values = "
                         "[1], then = \"stop\" }\n"),
                9, "'then' must be \"repeat\" or \"hold\", got 'stop'"},
        BadRack{"UnknownKey", rackWith("[[card.register]]\nname = \"A\"\noffset = 0\nmaks = 1\n"),
                9, "register #1: unknown key 'maks'"},
        BadRack{"SizeNotAPowerOfTwo", rackWith("", "bar4_size = 48\n"), 5,
                "'bar4_size' must be a power of two from 4 to 256 bytes, got 48"},
        BadRack{"RangeOverlapsAnotherCard",
                "[[card]]\nslot = \"00:0b.0\"\nbar1 = 0x0301\n" +
                    rackWith("[[card.register]]\nname = \"A\"\noffset = 0\n"),
                4,
                "its I/O range at 0x0300-0x031f would overlap the local registers of card "
                "00:0b.0"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ExampleRacks, Dio32DeclaresTheDioCardsRegisters) {
    test::ScratchDir dir;
    auto m = loadRack(dir.write("dio32.toml", test::slurp(test::exampleRack("dio32.toml"))));
    EXPECT_EQ(m->in(0x300), 0xd1032001u);
    m->out(0x304, 0xA5A5A5A5);
    EXPECT_EQ(m->in(0x308), 0xA5A5A5A5u);
    EXPECT_EQ(m->cardAt({0, 0x0a, 0})->ioRegisters().registers().size(), 7u);
}

}  // namespace
}  // namespace simpc
