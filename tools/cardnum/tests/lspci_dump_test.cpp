// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Reading lspci's bus dumps, and writing what a capture holds as a rack. This machine's
// own dumps are read, and replayed, in capture_test.cpp.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <lspci_dump.h>
#include <toml++/toml.h>

#include <string>

namespace {

using namespace cardnum::capture;

LspciDump read(std::string_view text) {
    auto result = readLspciDump(text);
    if (auto* error = std::get_if<DumpError>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message;
        return {};
    }
    return std::get<LspciDump>(result);
}

// A function's dump: its line, then `bytes` bytes (0x00, 0x01, ... wrapping) in lines.
std::string function(std::string_view slotLine, std::size_t bytes,
                     std::string_view offsetFormat = "{:02x}") {
    std::string text = std::string(slotLine) + "\n";
    for (std::size_t line = 0; line < bytes; line += 16) {
        text += fmt::format(fmt::runtime(offsetFormat), line) + ":";
        for (std::size_t i = 0; i < 16; ++i) text += fmt::format(" {:02x}", (line + i) & 0xFF);
        text += "\n";
    }
    return text;
}

// One line of bytes 00 to 0f at `offset`.
std::string bytesAt(unsigned offset) {
    return fmt::format("{:02x}: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n", offset);
}

TEST(LspciDump, ReadsEveryFormLspciWrites) {
    // -v details before the bytes, -D domains, -xxxx offsets of three digits, CRLF lines,
    // upper-case digits, functions out of order, and a domain ports cannot reach.
    std::string text = function("0000:00:1f.3 Audio device: Maker Sound (rev 10)", 64);
    text.insert(text.find('\n') + 1, "\tSubsystem: Maker\n        Flags: bus master\n");
    text += "\n" + function("00:01.0 Host bridge", 4096, "{:02x}") + "\n";
    text += function("10000:e0:00.0 VMD", 256) + "\n";
    std::string crlf = function("00:00.0 0600: 8086:1237", 64);
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    text += crlf;
    std::string upper = function("00:02.0 VGA", 64);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text += "\n" + upper;

    const LspciDump dump = read(text);
    ASSERT_EQ(dump.functions.size(), 4U);
    EXPECT_EQ(slotText(dump.functions[0]), "00:00.0");
    EXPECT_EQ(slotText(dump.functions[3]), "00:1f.3");
    EXPECT_EQ(dump.functions[0].header[0], 0x03020100U);
    EXPECT_EQ(dump.functions[2].header[15], 0x3F3E3D3CU);
    EXPECT_EQ(dump.leftOut, std::vector<std::string>{"10000:e0:00.0"});
}

struct Broken {
    const char* what;
    std::string text;
    std::size_t line;
    const char* says;
};

class BrokenDump : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenDump, IsRefusedNamingTheLineAndWhatWasExpected) {
    const auto result = readLspciDump(GetParam().text);
    const auto* error = std::get_if<DumpError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->line, GetParam().line) << error->message;
    EXPECT_NE(error->message.find(GetParam().says), std::string::npos) << error->message;
    EXPECT_EQ(error->message.rfind("expected", 0), 0U) << error->message;
    EXPECT_LT(error->message.size(), 300U);
}

const std::string kOne = function("00:00.0 Host bridge", 64);

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenDump,
    ::testing::Values(
        Broken{"empty", "", 1, "found none"},
        Broken{"not a dump", "Hello,\nplease find my lspci attached\n", 1, "found 'Hello,'"},
        Broken{"header cut short", function("00:00.0 x", 48) + "\n", 5, "offset 30"},
        Broken{"ends inside the header", function("00:00.0 x", 32), 4, "the end of the dump"},
        Broken{"offset skipped", "00:00.0 x\n" + bytesAt(0) + bytesAt(0x20), 3,
               "offset 10, found offset 20"},
        Broken{"fifteen bytes", "00:00.0 x\n00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e\n", 2,
               "sixteen bytes"},
        Broken{"not hexadecimal",
               "00:00.0 x\n00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e zz\n", 2,
               "sixteen bytes"},
        Broken{"slot twice", kOne + "\n" + kOne, 7, "first at line 1"},
        Broken{"device 20", function("00:20.0 x", 64), 1, "device 00 to 1f"},
        Broken{"function 8", function("00:01.8 x", 64), 1, "function 0 to 7"},
        Broken{"detail after the bytes", kOne + "\tFlags: fast devsel\n", 6,
               "offset 40 or a blank"},
        Broken{"past 4 KiB", function("00:00.0 x", 4112, "{:03x}"), 258, "ends at 0x1000"},
        Broken{"control characters", kOne + "\n\x01\x1b[2J\n", 7, "\\x01\\x1b"},
        Broken{"one huge line", std::string(1 << 20, 'a'), 1, "...'"}),
    [](const auto& param) {
        std::string name = param.param.what;
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(RackText, DescriptionAndFieldsReadBackAsWritten) {
    CapturedMachine machine;
    machine.description = "lab \"7\" \\ rack\n\x01\x7f end";
    machine.notes = {"two", "", "lines"};
    CapturedFunction bridge;
    bridge.device = 0x1e;
    bridge.header = {0x244e8086, 0, 0x06040001, 0x00810000, 0, 0, 0x00050500};
    CapturedFunction card;
    card.bus = 5;
    card.function = 1;
    card.header[0] = 0x905010b5;
    card.header[5] = 0xe001;
    card.header[15] = 0x1ff;
    card.isCard = true;
    card.eeprom = Eeprom::Answered;
    card.words.fill(0xbeef);
    machine.functions = {bridge, card};

    const toml::table rack = toml::parse(rackText(machine, "x.eeprom.json"));
    EXPECT_EQ(rack["description"].value_or(std::string()), machine.description);
    EXPECT_EQ(rack["eeprom_image"].value_or(std::string()), "x.eeprom.json");
    EXPECT_EQ(rack["device"][0]["header_type"].value_or(0), 0x81);
    EXPECT_EQ(rack["device"][0]["bars"][2].value_or(0), 0x00050500);
    EXPECT_EQ(rack["card"][0]["slot"].value_or(std::string()), "05:00.1");
    EXPECT_EQ(rack["card"][0]["irq"].value_or(0), 0xff);
    EXPECT_FALSE(rack["card"][0]["eeprom"]) << "the words are the image's";
    EXPECT_EQ(toml::parse(rackText(machine))["card"][0]["eeprom"][63].value_or(0), 0xbeef);
    EXPECT_EQ(imageText(machine).find("\"05:00.1\": [48879,"), 4U) << imageText(machine);
}

}  // namespace
