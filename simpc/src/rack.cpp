// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "simpc/rack.h"

#include <fmt/format.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "image_file.h"
#include "nesting.h"
#include "printable.h"
#include "simpc/limits.h"

namespace simpc {

namespace fs = std::filesystem;

fs::path defaultImagePath(const fs::path& rackFile) {
    fs::path image = rackFile;
    image.replace_extension(".eeprom.json");
    return image;
}

namespace {

constexpr unsigned kCardNumberWord = 0x38;
constexpr uint64_t kMax16 = 0xFFFF;
constexpr uint64_t kMax32 = 0xFFFFFFFF;

constexpr std::string_view kTopKeys[] = {"eeprom_image", "description", "device", "card"};
constexpr std::string_view kDeviceKeys[] = {"slot",  "name",     "vendor",           "device",
                                            "class", "revision", "subsystem_vendor", "subsystem",
                                            "bars",  "irq",      "header_type"};
constexpr std::string_view kCardKeys[] = {
    "slot",      "name",    "card_no", "bar0",       "bar1",
    "bar2",      "bar3",    "bar4",    "bar5",       "irq",
    "vendor",    "device",  "class",   "revision",   "subsystem_vendor",
    "subsystem", "cntrl",   "eeprom",  "busy_reads", "faults",
    "bar4_size", "register"};
constexpr std::string_view kRegisterKeys[] = {"name",       "offset",   "reset",   "writable",
                                              "w1c",        "loopback", "counter", "samples",
                                              "write_only", "busy"};
constexpr std::string_view kLoopbackKeys[] = {"from", "mask"};
constexpr std::string_view kCounterKeys[] = {"step", "rate"};
constexpr std::string_view kSamplesKeys[] = {"values", "then"};
constexpr std::string_view kBusyKeys[] = {"bit", "reads", "after"};
constexpr uint64_t kMaxCounterRate = 1'000'000'000;
constexpr uint64_t kMaxBusyReads = 1'000'000;

struct FaultName {
    std::string_view name;
    void (*apply)(EepromFaults&);
};
constexpr FaultName kFaultNames[] = {
    {"no-eeprom", [](EepromFaults& f) { f.absent = true; }},
    {"never-ready", [](EepromFaults& f) { f.neverReady = true; }},
    {"drop-writes", [](EepromFaults& f) { f.dropWrites = true; }},
    {"write-protected", [](EepromFaults& f) { f.writeProtected = true; }},
    {"do-stuck-0", [](EepromFaults& f) { f.doStuck = false; }},
    {"do-stuck-1", [](EepromFaults& f) { f.doStuck = true; }},
};

std::string_view typeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a float";
        case toml::node_type::boolean:
            return "a boolean";
        case toml::node_type::date:
            return "a date";
        case toml::node_type::time:
            return "a time";
        case toml::node_type::date_time:
            return "a date-time";
        default:
            return "nothing";
    }
}

std::string showNumber(int64_t v) {
    if (v < 0) return std::to_string(v);
    return v < 10 ? std::to_string(v) : fmt::format("{} ({:#x})", v, v);
}

std::string joined(std::span<const std::string_view> names) {
    std::string text;
    for (auto name : names) {
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

// Parses "0x38" or "56".
std::optional<unsigned> wordIndex(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

class RackReader {
  public:
    explicit RackReader(fs::path file) : file_(std::move(file)), name_(file_.string()) {}

    std::unique_ptr<Machine> load();

  private:
    struct Placed {
        PciAddress at;
        std::string label;
        toml::source_region where;
    };

    [[noreturn]] void fail(const toml::source_region& where, const std::string& what) const {
        if (where.begin.line == 0) fail(what);
        throw RackError(printable(
            fmt::format("{}:{}:{}: {}", name_, where.begin.line, where.begin.column, what)));
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw RackError(printable(fmt::format("{}: {}", name_, what)));
    }

    toml::table parse() const;
    void checkKeys(const toml::table& t, const std::string& label,
                   std::span<const std::string_view> allowed) const;
    const toml::array* entries(const toml::table& root, std::string_view key) const;

    int64_t integer(const toml::node& n, const std::string& label, std::string_view key) const;
    template <class T>
    std::optional<T> optional(const toml::table& t, std::string_view key, const std::string& label,
                              uint64_t max) const;
    template <class T>
    T required(const toml::table& t, std::string_view key, const std::string& label,
               uint64_t max) const;
    PciAddress slot(const toml::table& t, std::string& label) const;

    GenericConfig device(const toml::table& t, const std::string& label) const;
    CardConfig card(const toml::table& t, const std::string& label) const;
    void eepromWords(const toml::node& n, const std::string& label, EepromWords& words,
                     uint64_t& given) const;
    EepromFaults faults(const toml::node& n, const std::string& label) const;
    std::vector<RegisterConfig> registers(const toml::node& n, const std::string& label,
                                          const CardConfig& card) const;
    const toml::table& subTable(const toml::table& t, std::string_view key,
                                const std::string& label,
                                std::span<const std::string_view> allowed) const;
    const toml::value<std::string>* text(const toml::table& t, std::string_view key,
                                         const std::string& label) const;
    fs::path imagePath(const toml::table& root) const;

    fs::path file_;
    std::string name_;
};

toml::table RackReader::parse() const {
    std::string text, error;
    switch (image_file::readWhole(file_, text, error)) {
        case image_file::ReadResult::Missing:
            fail(fmt::format("cannot read rack file: {}", std::strerror(ENOENT)));
        case image_file::ReadResult::Failed:
            fail(fmt::format("cannot read rack file: {}", error));
        case image_file::ReadResult::Ok:
            break;
    }
    if (auto line = lineNestedDeeperThan(text, kMaxRackNesting)) {
        throw RackError(
            fmt::format("{}:{}: nested too deep (more than {} levels of tables, keys and arrays)",
                        printable(name_), *line, kMaxRackNesting));
    }
    try {
        return toml::parse(text, name_);
    } catch (const toml::parse_error& e) {
        fail(e.source(), fmt::format("not valid TOML: {}", e.description()));
    }
}

void RackReader::checkKeys(const toml::table& t, const std::string& label,
                           std::span<const std::string_view> allowed) const {
    for (auto&& [key, value] : t) {
        if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
            fail(key.source(), fmt::format("{}unknown key '{}' (known keys: {})", label, key.str(),
                                           joined(allowed)));
        }
    }
}

const toml::array* RackReader::entries(const toml::table& root, std::string_view key) const {
    const toml::node* n = root.get(key);
    if (n == nullptr) return nullptr;
    const toml::array* list = n->as_array();
    bool tables = list != nullptr && std::all_of(list->begin(), list->end(),
                                                 [](const toml::node& e) { return e.is_table(); });
    if (!tables) {
        fail(n->source(), fmt::format("'{}' must be a list of tables, written [[{}]]", key, key));
    }
    return list;
}

int64_t RackReader::integer(const toml::node& n, const std::string& label,
                            std::string_view key) const {
    if (const auto* v = n.as_integer()) return v->get();
    fail(n.source(),
         fmt::format("{}: '{}' must be an integer, not {}", label, key, typeName(n.type())));
}

template <class T>
std::optional<T> RackReader::optional(const toml::table& t, std::string_view key,
                                      const std::string& label, uint64_t max) const {
    const toml::node* n = t.get(key);
    if (n == nullptr) return std::nullopt;
    int64_t v = integer(*n, label, key);
    if (v < 0 || static_cast<uint64_t>(v) > max) {
        fail(n->source(),
             fmt::format("{}: '{}' must be 0 to {:#x}, got {}", label, key, max, showNumber(v)));
    }
    return static_cast<T>(v);
}

template <class T>
T RackReader::required(const toml::table& t, std::string_view key, const std::string& label,
                       uint64_t max) const {
    auto v = optional<T>(t, key, label, max);
    if (!v) fail(t.source(), fmt::format("{}: missing required key '{}'", label, key));
    return *v;
}

PciAddress RackReader::slot(const toml::table& t, std::string& label) const {
    const toml::node* n = t.get("slot");
    if (n == nullptr) fail(t.source(), fmt::format("{}: missing required key 'slot'", label));
    const auto* text = n->as_string();
    if (text == nullptr) {
        fail(n->source(), fmt::format("{}: 'slot' must be a string like \"00:0a.0\", not {}", label,
                                      typeName(n->type())));
    }
    try {
        PciAddress at = parseSlot(text->get());
        label += fmt::format(" ({})", formatSlot(at));
        return at;
    } catch (const std::invalid_argument& e) {
        fail(n->source(), fmt::format("{}: {}", label, e.what()));
    }
}

GenericConfig RackReader::device(const toml::table& t, const std::string& label) const {
    GenericConfig c;
    c.vendorId = required<uint16_t>(t, "vendor", label, kMax16);
    c.deviceId = required<uint16_t>(t, "device", label, kMax16);
    uint32_t klass = optional<uint32_t>(t, "class", label, 0xFFFFFF).value_or(0);
    uint32_t revision = optional<uint32_t>(t, "revision", label, 0xFF).value_or(0);
    c.classRevision = (klass << 8) | revision;
    c.subsystemVendorId = optional<uint16_t>(t, "subsystem_vendor", label, kMax16).value_or(0);
    c.subsystemId = optional<uint16_t>(t, "subsystem", label, kMax16).value_or(0);
    c.interruptLine = optional<uint8_t>(t, "irq", label, 0xFF).value_or(0xFF);
    c.headerType = optional<uint8_t>(t, "header_type", label, 0xFF).value_or(0);
    if (const toml::node* n = t.get("bars")) {
        const toml::array* bars = n->as_array();
        if (bars == nullptr || bars->size() > cfg::kBarCount) {
            fail(n->source(),
                 fmt::format("{}: 'bars' must be a list of at most 6 integers", label));
        }
        for (size_t i = 0; i < bars->size(); ++i) {
            const toml::node& b = *bars->get(i);
            int64_t v = integer(b, label, "bars");
            if (v < 0 || static_cast<uint64_t>(v) > kMax32) {
                fail(b.source(), fmt::format("{}: 'bars' entry {} must be 0 to 0xffffffff, got {}",
                                             label, i, showNumber(v)));
            }
            c.bars[i] = static_cast<uint32_t>(v);
        }
    }
    return c;
}

void RackReader::eepromWords(const toml::node& n, const std::string& label, EepromWords& words,
                             uint64_t& given) const {
    auto store = [&](const toml::node& value, unsigned index, std::string_view key) {
        int64_t v = integer(value, label, key);
        if (v < 0 || v > static_cast<int64_t>(kMax16)) {
            fail(value.source(), fmt::format("{}: '{}' must be a word, 0 to 0xffff, got {}", label,
                                             key, showNumber(v)));
        }
        words[index] = static_cast<uint16_t>(v);
        given |= uint64_t{1} << index;
    };
    if (const toml::array* list = n.as_array()) {
        if (list->size() > kEepromWords) {
            fail(n.source(), fmt::format("{}: 'eeprom' has {} words, the EEPROM holds {}", label,
                                         list->size(), kEepromWords));
        }
        for (unsigned i = 0; i < list->size(); ++i) store(*list->get(i), i, "eeprom");
        return;
    }
    const toml::table* table = n.as_table();
    if (table == nullptr) {
        fail(n.source(), fmt::format("{}: 'eeprom' must be a table of word index = value, or a "
                                     "list of words, not {}",
                                     label, typeName(n.type())));
    }
    for (auto&& [key, value] : *table) {
        auto index = wordIndex(key.str());
        if (!index || *index >= kEepromWords) {
            fail(key.source(), fmt::format("{}: 'eeprom' key '{}' is not a word index 0 to 0x3f",
                                           label, key.str()));
        }
        store(value, *index, fmt::format("eeprom.{}", key.str()));
    }
}

EepromFaults RackReader::faults(const toml::node& n, const std::string& label) const {
    EepromFaults f;
    const toml::array* list = n.as_array();
    if (list == nullptr) {
        fail(n.source(), fmt::format("{}: 'faults' must be a list of strings", label));
    }
    std::string known;
    for (const auto& fault : kFaultNames)
        known += (known.empty() ? "" : ", ") + std::string(fault.name);
    for (const toml::node& item : *list) {
        const auto* name = item.as_string();
        const auto* fault = name == nullptr
                                ? nullptr
                                : std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                               [&](const FaultName& candidate) {
                                                   return candidate.name == name->get();
                                               });
        if (fault == nullptr || fault == std::end(kFaultNames)) {
            fail(item.source(),
                 fmt::format("{}: unknown fault {} (known faults: {})", label,
                             name ? "'" + name->get() + "'" : std::string(typeName(item.type())),
                             known));
        }
        auto before = f.doStuck;
        fault->apply(f);
        if (before && f.doStuck != before) {
            fail(item.source(), fmt::format("{}: 'do-stuck-0' and 'do-stuck-1' together", label));
        }
    }
    return f;
}

CardConfig RackReader::card(const toml::table& t, const std::string& label) const {
    CardConfig c;
    if (!t.contains("bar1")) {
        fail(t.source(),
             fmt::format("{}: missing required key 'bar1' (the local registers)", label));
    }
    for (unsigned i = 0; i < cfg::kBarCount; ++i) {
        c.bars[i] = optional<uint32_t>(t, fmt::format("bar{}", i), label, kMax32).value_or(0);
    }
    c.vendorId = optional<uint16_t>(t, "vendor", label, kMax16).value_or(c.vendorId);
    c.deviceId = optional<uint16_t>(t, "device", label, kMax16).value_or(c.deviceId);
    uint32_t klass = optional<uint32_t>(t, "class", label, 0xFFFFFF).value_or(c.classRevision >> 8);
    uint32_t revision =
        optional<uint32_t>(t, "revision", label, 0xFF).value_or(c.classRevision & 0xFF);
    c.classRevision = (klass << 8) | revision;
    c.subsystemVendorId = optional<uint16_t>(t, "subsystem_vendor", label, kMax16).value_or(0);
    c.subsystemId = optional<uint16_t>(t, "subsystem", label, kMax16).value_or(0);
    c.interruptLine = optional<uint8_t>(t, "irq", label, 0xFF).value_or(0xFF);
    c.cntrl = optional<uint32_t>(t, "cntrl", label, kMax32).value_or(c.cntrl);
    c.busyReads = optional<unsigned>(t, "busy_reads", label, 1'000'000).value_or(c.busyReads);
    if (const toml::node* n = t.get("faults")) c.faults = faults(*n, label);
    if (const toml::node* n = t.get("bar4_size")) {
        int64_t v = integer(*n, label, "bar4_size");
        if (v < 4 || v > 256 || (v & (v - 1)) != 0) {
            fail(n->source(),
                 fmt::format("{}: 'bar4_size' must be a power of two from 4 to 256 bytes, got {}",
                             label, showNumber(v)));
        }
        c.ioSize = static_cast<uint32_t>(v);
    }
    if (const toml::node* n = t.get("register")) c.registers = registers(*n, label, c);

    // The bridge loads its IDs from the first words; a fitted EEPROM carries them.
    c.eeprom[0] = c.deviceId;
    c.eeprom[1] = c.vendorId;
    c.eeprom[2] = static_cast<uint16_t>(c.classRevision >> 16);
    c.eeprom[3] = static_cast<uint16_t>(c.classRevision & 0xFFFF);
    c.eeprom[4] = c.subsystemId;
    c.eeprom[5] = c.subsystemVendorId;
    uint64_t given = 0;
    if (const toml::node* n = t.get("eeprom")) eepromWords(*n, label, c.eeprom, given);

    if (const toml::node* n = t.get("card_no")) {
        int64_t v = integer(*n, label, "card_no");
        if (v < -32768 || v > 65535) {
            fail(n->source(), fmt::format("{}: 'card_no' must be -32768 to 65535, got {}", label,
                                          showNumber(v)));
        }
        auto word = static_cast<uint16_t>(v < 0 ? v + 65536 : v);
        if ((given >> kCardNumberWord) & 1 && c.eeprom[kCardNumberWord] != word) {
            fail(n->source(),
                 fmt::format("{}: 'card_no' {} disagrees with eeprom word 0x38 = {:#x}", label, v,
                             c.eeprom[kCardNumberWord]));
        }
        c.eeprom[kCardNumberWord] = word;
    }
    return c;
}

const toml::table& RackReader::subTable(const toml::table& t, std::string_view key,
                                        const std::string& label,
                                        std::span<const std::string_view> allowed) const {
    const toml::node& n = *t.get(key);
    const toml::table* table = n.as_table();
    if (table == nullptr) {
        fail(n.source(), fmt::format("{}: '{}' must be a table ({{ {} = ... }}), not {}", label,
                                     key, allowed.front(), typeName(n.type())));
    }
    checkKeys(*table, fmt::format("{}: '{}': ", label, key), allowed);
    return *table;
}

const toml::value<std::string>* RackReader::text(const toml::table& t, std::string_view key,
                                                 const std::string& label) const {
    const toml::node* n = t.get(key);
    if (n == nullptr) return nullptr;
    const toml::value<std::string>* s = n->as_string();
    if (s == nullptr || s->get().empty()) {
        fail(n->source(),
             fmt::format("{}: '{}' must be a non-empty string, not {}", label, key,
                         s == nullptr ? typeName(n->type()) : std::string_view("an empty one")));
    }
    return s;
}

std::vector<RegisterConfig> RackReader::registers(const toml::node& n, const std::string& label,
                                                  const CardConfig& card) const {
    const toml::array* list = n.as_array();
    if (list == nullptr || !std::all_of(list->begin(), list->end(),
                                        [](const toml::node& e) { return e.is_table(); })) {
        fail(n.source(), fmt::format("{}: 'register' must be a list of tables, written "
                                     "[[card.register]]",
                                     label));
    }
    if ((card.bars[4] & 1) == 0) {
        fail(n.source(), fmt::format("{}: registers need the card's I/O range, but 'bar4' ({:#x}) "
                                     "is not an I/O BAR (bit 0 set)",
                                     label, card.bars[4]));
    }
    const uint32_t base = card.bars[4] & ~uint32_t{3};
    std::vector<RegisterConfig> result(list->size());
    std::vector<std::string> labels(list->size());
    std::map<std::string, unsigned, std::less<>> byName;
    std::vector<unsigned> byOffset(card.ioSize / 4, ~0u);

    // Names, offsets and plain values first, so that registers may name later ones.
    for (unsigned i = 0; i < list->size(); ++i) {
        const toml::table& t = *list->get(i)->as_table();
        RegisterConfig& r = result[i];
        std::string& where = labels[i];
        where = fmt::format("{}: register #{}", label, i + 1);
        checkKeys(t, where + ": ", kRegisterKeys);
        const toml::value<std::string>* name = text(t, "name", where);
        if (name == nullptr)
            fail(t.source(), fmt::format("{}: missing required key 'name'", where));
        r.name = name->get();
        where = fmt::format("{}: register '{}'", label, r.name);
        if (auto [it, added] = byName.try_emplace(r.name, i); !added) {
            fail(name->source(), fmt::format("{}: the name is already used by the register at "
                                             "line {}",
                                             where, list->get(it->second)->source().begin.line));
        }
        r.offset = required<uint32_t>(t, "offset", where, kMax32);
        const toml::node& offset = *t.get("offset");
        if (r.offset % 4 != 0) {
            fail(offset.source(),
                 fmt::format("{}: 'offset' {:#x} is not a multiple of 4 (registers are dwords)",
                             where, r.offset));
        }
        if (r.offset >= card.ioSize) {
            fail(offset.source(),
                 fmt::format("{}: 'offset' {:#x} is outside the card's I/O range {:#06x}-{:#06x} "
                             "({} bytes; 'bar4_size' sets it)",
                             where, r.offset, base, base + card.ioSize - 1, card.ioSize));
        }
        if (unsigned other = byOffset[r.offset / 4]; other != ~0u) {
            fail(offset.source(),
                 fmt::format("{}: 'offset' {:#x} overlaps register '{}' at line {}", where,
                             r.offset, result[other].name, list->get(other)->source().begin.line));
        }
        byOffset[r.offset / 4] = i;
        r.reset = optional<uint32_t>(t, "reset", where, kMax32).value_or(0);
        r.writable = optional<uint32_t>(t, "writable", where, kMax32).value_or(0xFFFFFFFF);
        r.writeOneToClear = optional<uint32_t>(t, "w1c", where, kMax32).value_or(0);
        if (const toml::node* w = t.get("write_only")) {
            if (!w->is_boolean()) {
                fail(w->source(), fmt::format("{}: 'write_only' must be true or false, not {}",
                                              where, typeName(w->type())));
            }
            r.writeOnly = w->as_boolean()->get();
        }
        const toml::node* source = nullptr;
        for (std::string_view key : {"loopback", "counter", "samples"}) {
            const toml::node* k = t.get(key);
            if (k == nullptr) continue;
            if (source != nullptr) {
                fail(k->source(), fmt::format("{}: 'loopback', 'counter' and 'samples' exclude "
                                              "each other",
                                              where));
            }
            if (r.writeOnly) {
                fail(k->source(), fmt::format("{}: a write-only register reads nothing, so it "
                                              "takes no '{}'",
                                              where, key));
            }
            source = k;
        }
    }

    auto lookUp = [&](const toml::table& t, std::string_view key, const std::string& where) {
        const toml::value<std::string>* name = text(t, key, where);
        if (name == nullptr)
            fail(t.source(), fmt::format("{}: missing required key '{}'", where, key));
        auto it = byName.find(name->get());
        if (it == byName.end()) {
            std::string known;
            for (const RegisterConfig& r : result) known += (known.empty() ? "" : ", ") + r.name;
            fail(name->source(), fmt::format("{}: unknown register '{}' (this card has: {})", where,
                                             name->get(), known));
        }
        return it->second;
    };

    // Then what refers to other registers, and the behaviours.
    for (unsigned i = 0; i < list->size(); ++i) {
        const toml::table& t = *list->get(i)->as_table();
        RegisterConfig& r = result[i];
        const std::string& where = labels[i];
        if (t.contains("loopback")) {
            const toml::table& lb = subTable(t, "loopback", where, kLoopbackKeys);
            r.source = RegisterSource::Loopback;
            r.loopbackFrom = lookUp(lb, "from", where + ": 'loopback'");
            r.loopbackMask =
                optional<uint32_t>(lb, "mask", where + ": 'loopback'", kMax32).value_or(0xFFFFFFFF);
        }
        if (t.contains("counter")) {
            const toml::table& ct = subTable(t, "counter", where, kCounterKeys);
            const std::string in = where + ": 'counter'";
            r.source = RegisterSource::Counter;
            r.counterStep = optional<uint32_t>(ct, "step", in, kMax32).value_or(0);
            r.counterRate = optional<uint64_t>(ct, "rate", in, kMaxCounterRate).value_or(0);
            if ((r.counterStep == 0) == (r.counterRate == 0)) {
                fail(ct.source(), fmt::format("{}: give either 'step' (counts a read) or 'rate' "
                                              "(counts a second), not 0, and not both",
                                              in));
            }
        }
        if (t.contains("samples")) {
            const toml::table& st = subTable(t, "samples", where, kSamplesKeys);
            const std::string in = where + ": 'samples'";
            r.source = RegisterSource::Samples;
            const toml::node* values = st.get("values");
            const toml::array* items = values != nullptr ? values->as_array() : nullptr;
            if (items == nullptr || items->empty()) {
                fail(values != nullptr ? values->source() : st.source(),
                     fmt::format("{}: 'values' must be a non-empty list of 32-bit values", in));
            }
            r.samples.reserve(items->size());
            for (const toml::node& item : *items) {
                int64_t v = integer(item, in, "values");
                if (v < 0 || static_cast<uint64_t>(v) > kMax32) {
                    fail(item.source(), fmt::format("{}: 'values' must be 0 to 0xffffffff, got {}",
                                                    in, showNumber(v)));
                }
                r.samples.push_back(static_cast<uint32_t>(v));
            }
            if (const toml::value<std::string>* then = text(st, "then", in)) {
                if (then->get() != "repeat" && then->get() != "hold") {
                    fail(then->source(),
                         fmt::format("{}: 'then' must be \"repeat\" or \"hold\", got '{}'", in,
                                     then->get()));
                }
                r.holdLastSample = then->get() == "hold";
            }
        }
        if (t.contains("busy")) {
            const toml::table& bt = subTable(t, "busy", where, kBusyKeys);
            const std::string in = where + ": 'busy'";
            RegisterConfig::Busy busy;
            busy.bit = required<uint32_t>(bt, "bit", in, kMax32);
            if (busy.bit == 0) fail(bt.get("bit")->source(), in + ": 'bit' must not be 0");
            busy.reads = required<unsigned>(bt, "reads", in, kMaxBusyReads);
            busy.after = lookUp(bt, "after", in);
            r.busy = busy;
        }
    }
    return result;
}

fs::path RackReader::imagePath(const toml::table& root) const {
    const toml::node* n = root.get("eeprom_image");
    if (n == nullptr) return defaultImagePath(file_);
    const auto* text = n->as_string();
    if (text == nullptr || text->get().empty()) {
        fail(n->source(), "'eeprom_image' must be a non-empty file name");
    }
    fs::path image(text->get());
    return image.is_absolute() ? image : file_.parent_path() / image;
}

std::unique_ptr<Machine> RackReader::load() {
    toml::table root = parse();
    checkKeys(root, "", kTopKeys);
    if (const toml::node* d = root.get("description"); d != nullptr && !d->is_string()) {
        fail(d->source(), "'description' must be a string");
    }
    fs::path image = imagePath(root);

    auto machine = std::make_unique<Machine>();
    std::map<uint16_t, Placed> placed;
    auto build = [&](const toml::table& t, std::string label, bool isCard) {
        PciAddress at = slot(t, label);
        checkKeys(t, label + ": ",
                  isCard ? std::span<const std::string_view>(kCardKeys)
                         : std::span<const std::string_view>(kDeviceKeys));
        if (const toml::node* n = t.get("name"); n != nullptr && !n->is_string()) {
            fail(n->source(), fmt::format("{}: 'name' must be a string", label));
        }
        if (auto it = placed.find(configIndex(at)); it != placed.end()) {
            fail(t.get("slot")->source(),
                 fmt::format("{}: slot {} is already used by {} at line {}", label, formatSlot(at),
                             it->second.label, it->second.where.begin.line));
        }
        try {
            if (isCard) {
                machine->addCard(at, card(t, label));
            } else {
                machine->addGeneric(at, device(t, label));
            }
        } catch (const std::invalid_argument& e) {
            fail(t.source(), fmt::format("{}: {}", label, e.what()));
        }
        placed.emplace(configIndex(at), Placed{at, label, t.source()});
    };
    // Build in file order, so that a clash names the entry written first.
    struct Entry {
        const toml::table* table;
        std::string label;
        bool isCard;
    };
    std::vector<Entry> all;
    for (bool isCard : {false, true}) {
        const char* key = isCard ? "card" : "device";
        if (const toml::array* list = entries(root, key)) {
            for (size_t i = 0; i < list->size(); ++i) {
                all.push_back(
                    {list->get(i)->as_table(), fmt::format("{} #{}", key, i + 1), isCard});
            }
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
        return a.table->source().begin.line < b.table->source().begin.line;
    });
    for (const Entry& e : all) build(*e.table, e.label, e.isCard);
    machine->attachStore(std::make_unique<EepromStore>(image));
    return machine;
}

}  // namespace

std::unique_ptr<Machine> loadRack(const fs::path& rackFile) {
    return RackReader(rackFile).load();
}

}  // namespace simpc
