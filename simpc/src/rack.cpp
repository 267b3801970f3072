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
    "slot",      "name",   "card_no", "bar0",       "bar1",
    "bar2",      "bar3",   "bar4",    "bar5",       "irq",
    "vendor",    "device", "class",   "revision",   "subsystem_vendor",
    "subsystem", "cntrl",  "eeprom",  "busy_reads", "faults"};

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
