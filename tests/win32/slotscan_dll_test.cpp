// Slotscan.dll as a Windows program uses it: loaded by file name at run time, operations
// bound by their decorated export names (and by ordinal), run against the simulated PC of
// the Portvex.dll beside it. All cases run in this one process, since every start of Wine
// costs seconds; each prints its result and the last line counts them.
//
//   slotscan_dll_test RACK_FILE WORK_FOLDER
//
// The rack is copied into WORK_FOLDER (emptied first), where the simulated PC keeps the
// cards' EEPROM image, and PORTVEX is pointed at the copy before the first port access.
#include <slotscan.h>
#include <windows.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Results {
public:
    // Records one check; `detail` says what was seen when it fails.
    void check(bool ok, const std::string& what, const std::string& detail = {}) {
        if (ok) {
            ++passed_;
            std::printf("ok    %s\n", what.c_str());
        } else {
            ++failed_;
            std::printf("FAIL  %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
        }
        std::fflush(stdout);
    }
    int failed() const { return failed_; }
    void summary() const { std::printf("%d passed, %d failed\n", passed_, failed_); }

private:
    int passed_ = 0;
    int failed_ = 0;
};

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// GetProcAddress gives a generic function pointer; go through void(*)() so the compiler
// accepts the change of signature.
template <typename Fn>
Fn as(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// The export table as documented: decorated names at ordinals 1 to 12.
constexpr std::array<const char*, 12> kExports = {
    "_ChangeCardNo@8",        "_ChangeCardNo_0@12",      "_FindPCICard@4",
    "_FindPCICard_0@8",       "_GetIOBaseByCardNo@12",   "_GetIOBaseByCardNo_0@16",
    "_GetIOBaseByOrder@12",   "_GetIOBaseByOrder_0@16",  "_PCICardName@4",
    "_ReturnPCIID@16",        "_SetCardNoByOrder@8",     "_SetCardNoByOrder_0@12"};

struct Slotscan {
    HMODULE dll = nullptr;
    decltype(&ChangeCardNo) changeCardNo = nullptr;
    decltype(&FindPCICard) findPCICard = nullptr;
    decltype(&FindPCICard_0) findPCICard0 = nullptr;
    decltype(&GetIOBaseByCardNo) getIOBaseByCardNo = nullptr;
    decltype(&GetIOBaseByCardNo_0) getIOBaseByCardNo0 = nullptr;
    decltype(&GetIOBaseByOrder) getIOBaseByOrder = nullptr;
    decltype(&PCICardName) pciCardName = nullptr;
    decltype(&ReturnPCIID) returnPCIID = nullptr;
    decltype(&SetCardNoByOrder) setCardNoByOrder = nullptr;

    FARPROC byName(const char* name) const { return GetProcAddress(dll, name); }
    FARPROC byOrdinal(unsigned ordinal) const {
        return GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));
    }

    bool bind() {
        changeCardNo = as<decltype(changeCardNo)>(byName("_ChangeCardNo@8"));
        findPCICard = as<decltype(findPCICard)>(byName("_FindPCICard@4"));
        findPCICard0 = as<decltype(findPCICard0)>(byName("_FindPCICard_0@8"));
        getIOBaseByCardNo = as<decltype(getIOBaseByCardNo)>(byName("_GetIOBaseByCardNo@12"));
        getIOBaseByCardNo0 = as<decltype(getIOBaseByCardNo0)>(byName("_GetIOBaseByCardNo_0@16"));
        getIOBaseByOrder = as<decltype(getIOBaseByOrder)>(byName("_GetIOBaseByOrder@12"));
        pciCardName = as<decltype(pciCardName)>(byName("_PCICardName@4"));
        returnPCIID = as<decltype(returnPCIID)>(byName("_ReturnPCIID@16"));
        setCardNoByOrder = as<decltype(setCardNoByOrder)>(byName("_SetCardNoByOrder@8"));
        return changeCardNo && findPCICard && findPCICard0 && getIOBaseByCardNo &&
               getIOBaseByCardNo0 && getIOBaseByOrder && pciCardName && returnPCIID &&
               setCardNoByOrder;
    }
};

// What Portvex.dll says about the backend it chose, for failure messages.
std::string portvexStatus() {
    HMODULE portvex = GetModuleHandleA("Portvex.dll");
    if (portvex == nullptr) return "Portvex.dll is not loaded";
    auto status = as<const char* (*)()>(GetProcAddress(portvex, "portvex_status"));
    return status != nullptr ? status() : "Portvex.dll has no portvex_status";
}

std::vector<int16_t> cardNumbers(const Slotscan& lib) {
    std::array<int16_t, MAX_CARDS + 1> numbers{};
    numbers.fill(-1);
    const int32_t count = lib.findPCICard(numbers.data());
    if (count < 0 || count > MAX_CARDS) return {};
    return {numbers.begin(), numbers.begin() + count};
}

std::string listed(const std::vector<int16_t>& numbers) {
    std::string text;
    for (const int16_t number : numbers) {
        text += text.empty() ? "{" : ",";
        text += std::to_string(number);
    }
    return text.empty() ? "{}" : text + "}";
}

void checkExportTable(const Slotscan& lib, Results& r) {
    bool allBound = true;
    for (unsigned i = 0; i < kExports.size(); ++i) {
        const FARPROC named = lib.byName(kExports[i]);
        const FARPROC numbered = lib.byOrdinal(i + 1);
        if (named == nullptr || named != numbered) {
            allBound = false;
            r.check(false, "export by name and by ordinal", std::string(kExports[i]) +
                                                                 " is not ordinal " +
                                                                 std::to_string(i + 1));
        }
    }
    r.check(allBound, "all twelve decorated names bind, each at its ordinal 1-12");
    r.check(lib.byOrdinal(5) != nullptr &&
                lib.byOrdinal(5) == lib.byName("_GetIOBaseByCardNo@12"),
            "_GetIOBaseByCardNo@12 binds by name and by ordinal 5");
    r.check(lib.byOrdinal(13) == nullptr, "no ordinal 13");
    for (const char* other : {"GetIOBaseByCardNo", "GetIOBaseByCardNo@12", "DllMain",
                              "DllMain@12", "_DllMain@12"}) {
        r.check(lib.byName(other) == nullptr, std::string("no export named ") + other);
    }
}

void checkFixedInformation(const Slotscan& lib, const fs::path& trace, Results& r) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    const int32_t copied = lib.pciCardName(buffer);
    bool untouched = true;
    for (size_t i = PCI_CARD_NAME_SIZE; i < sizeof buffer; ++i) untouched &= buffer[i] == '#';
    r.check(copied == 7 && std::memcmp(buffer, "PCIQVN", 7) == 0 && untouched,
            "PCICardName writes \"PCIQVN\" and its NUL, 7 bytes, nothing beyond",
            "returned " + std::to_string(copied));

    uint16_t vendor = 1, device = 1, subsystem = 1, subsystemVendor = 1;
    lib.returnPCIID(&vendor, &device, &subsystem, &subsystemVendor);
    r.check(vendor == 0x10B5 && device == 0x9050 && subsystem == 0 && subsystemVendor == 0,
            "ReturnPCIID gives vendor 0x10B5, device 0x9050, 0, 0 in that order",
            hex(vendor) + " " + hex(device) + " " + hex(subsystem) + " " + hex(subsystemVendor));

    // The simulated PC starts (and opens the trace) at the first port access only.
    r.check(!fs::exists(trace) || fs::file_size(trace) == 0,
            "loading, PCICardName and ReturnPCIID touch no port");
}

void checkLookups(const Slotscan& lib, Results& r) {
    const auto numbers = cardNumbers(lib);
    r.check(numbers == std::vector<int16_t>{1, 2, 3}, "FindPCICard lists cards 1, 2, 3 in scan order",
            listed(numbers) + "; " + portvexStatus());

    uint16_t base = 0, irq = 0;
    int32_t found = lib.getIOBaseByCardNo(1, &base, &irq);
    r.check(found == 1 && base == 0x300 && irq == 5, "GetIOBaseByCardNo(1) gives 0x300, IRQ 5",
            std::to_string(found) + " " + hex(base) + " " + std::to_string(irq));

    const PCIID defaults = {0x9050, 0x10B5, 0, 0};
    uint16_t base0 = 0, irq0 = 0;
    found = lib.getIOBaseByCardNo0(&defaults, 1, &base0, &irq0);
    r.check(found == 1 && base0 == base && irq0 == irq,
            "GetIOBaseByCardNo_0 with the default filter agrees with GetIOBaseByCardNo");

    // A card number counts by its low 16 bits.
    base0 = irq0 = 0;
    found = lib.getIOBaseByCardNo(0x10001, &base0, &irq0);
    r.check(found == 1 && base0 == 0x300 && irq0 == 5, "card number 0x10001 is card 1");

    uint16_t keptBase = 0xBEEF, keptIrq = 0xBEEF;
    found = lib.getIOBaseByCardNo(4, &keptBase, &keptIrq);
    r.check(found == 0 && keptBase == 0xBEEF && keptIrq == 0xBEEF,
            "no card 4: result 0, outputs untouched");

    base = irq = 0;
    found = lib.getIOBaseByOrder(0, &base, &irq);
    r.check(found == 1 && base == 0x300 && irq == 5, "GetIOBaseByOrder(0) is card 1");
    keptBase = keptIrq = 0xBEEF;
    found = lib.getIOBaseByOrder(3, &keptBase, &keptIrq);
    r.check(found == 0 && keptBase == 0xBEEF && keptIrq == 0xBEEF,
            "GetIOBaseByOrder past the last card gives 0, outputs untouched");

    const PCIID otherMaker = {0x9050, 0x1234, 0, 0};
    std::array<int16_t, MAX_CARDS> none{};
    r.check(lib.findPCICard0(&otherMaker, none.data()) == 0,
            "FindPCICard_0 with another vendor finds no card");
}

// The word of the card number (byte address 0x70) of one slot in the saved image.
int cardNoInImage(const fs::path& image, const std::string& slot) {
    std::ifstream in(image);
    if (!in) return -1;
    try {
        const auto doc = nlohmann::json::parse(in);
        return doc.at(slot).at(0x38).get<int>();
    } catch (const nlohmann::json::exception&) {
        return -1;
    }
}

void checkRenumbering(const Slotscan& lib, const fs::path& work, Results& r) {
    r.check(lib.changeCardNo(1, 7) == 1, "ChangeCardNo(1, 7) succeeds");
    uint16_t base = 0, irq = 0;
    int32_t found = lib.getIOBaseByCardNo(7, &base, &irq);
    r.check(found == 1 && base == 0x300 && irq == 5, "card 7 is the card that was card 1",
            std::to_string(found) + " " + hex(base) + " " + std::to_string(irq));
    uint16_t keptBase = 0xBEEF, keptIrq = 0xBEEF;
    r.check(lib.getIOBaseByCardNo(1, &keptBase, &keptIrq) == 0 && keptBase == 0xBEEF,
            "no card 1 any more");
    r.check(lib.changeCardNo(1, 8) == 0, "ChangeCardNo of a missing number fails");

    r.check(lib.setCardNoByOrder(2, -2) == 1, "SetCardNoByOrder(2, -2) succeeds");
    r.check(lib.setCardNoByOrder(3, 5) == 0, "SetCardNoByOrder past the last card fails");
    const auto numbers = cardNumbers(lib);
    r.check(numbers == std::vector<int16_t>{7, 2, -2}, "FindPCICard lists 7, 2, -2 after renumbering",
            listed(numbers));

    // The simulated cards keep their EEPROM in a file beside the rack: the Windows file
    // layer must have replaced it whole, leaving no temporary file behind.
    const fs::path image = work / "rack3.eeprom.json";
    r.check(cardNoInImage(image, "00:0a.0") == 7 && cardNoInImage(image, "01:04.0") == 0xFFFE,
            "the EEPROM image holds the new numbers",
            std::to_string(cardNoInImage(image, "00:0a.0")) + " " +
                std::to_string(cardNoInImage(image, "01:04.0")));
    std::string strays;
    for (const auto& entry : fs::directory_iterator(work)) {
        const std::string name = entry.path().filename().string();
        if (name != "rack3.toml" && name != "rack3.eeprom.json" &&
            name != "rack3.eeprom.json.lock" && name != "trace.txt") {
            strays += " " + name;
        }
    }
    r.check(strays.empty(), "no temporary files left beside the image", strays);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RACK_FILE WORK_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[2];
    const fs::path rack = work / "rack3.toml";
    const fs::path trace = work / "trace.txt";
    std::error_code error;
    fs::remove_all(work, error);
    fs::create_directories(work);
    fs::copy_file(argv[1], rack);
    // Read by Portvex.dll at the first port access, from the C runtime both modules share.
    _putenv_s("PORTVEX", ("sim:" + rack.string()).c_str());
    _putenv_s("PORTVEX_TRACE", trace.string().c_str());

    Results r;
    Slotscan lib;
    lib.dll = LoadLibraryA("Slotscan.DLL");
    r.check(lib.dll != nullptr, "LoadLibrary(\"Slotscan.DLL\")",
            "error " + std::to_string(GetLastError()));
    if (lib.dll == nullptr || !lib.bind()) {
        r.check(false, "bind the operations by their decorated names");
        r.summary();
        return 1;
    }
    checkExportTable(lib, r);
    checkFixedInformation(lib, trace, r);
    checkLookups(lib, r);
    checkRenumbering(lib, work, r);
    r.check(FreeLibrary(lib.dll) != 0, "FreeLibrary");
    r.summary();
    return r.failed() == 0 ? 0 : 1;
}
