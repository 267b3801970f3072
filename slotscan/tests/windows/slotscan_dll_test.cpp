// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Slotscan.dll as a Windows program uses it: loaded by file name at run time, operations
// bound by their export names (and by ordinal), run against the simulated PC of the
// Portvex.dll beside it. Built for 32-bit Windows, where the names are decorated
// (_GetIOBaseByCardNo@12), and for 64-bit Windows, where they are plain. All cases run in
// this one process, since every start of Wine costs seconds; each prints its result and
// the last line counts them (check.h).
//
//   slotscan_dll_test RACK_FILE WORK_FOLDER
//
// The rack is copied into WORK_FOLDER (emptied first), where the simulated PC keeps the
// cards' EEPROM image, and PORTVEX is pointed at the copy before the first port access.
#include <slotscan.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check.h"

namespace fs = std::filesystem;

namespace {

using wine_check::check;

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

// The name an operation is exported under: _NAME@BYTES for the stdcall operations of
// 32-bit Windows, NAME on 64-bit Windows, which has one calling convention.
#if defined(_WIN64)
constexpr bool kDecorated = false;
#else
constexpr bool kDecorated = true;
#endif
std::string exported(const char* name, int argumentBytes, bool decorated = kDecorated) {
    if (!decorated) return name;
    char text[64];
    std::snprintf(text, sizeof text, "_%s@%d", name, argumentBytes);
    return text;
}

// The export table as documented: the twelve operations at ordinals 1 to 12.
struct Operation {
    const char* name;
    int argumentBytes;
};
constexpr std::array<Operation, 12> kOperations = {{{"ChangeCardNo", 8},
                                                    {"ChangeCardNo_0", 12},
                                                    {"FindPCICard", 4},
                                                    {"FindPCICard_0", 8},
                                                    {"GetIOBaseByCardNo", 12},
                                                    {"GetIOBaseByCardNo_0", 16},
                                                    {"GetIOBaseByOrder", 12},
                                                    {"GetIOBaseByOrder_0", 16},
                                                    {"PCICardName", 4},
                                                    {"ReturnPCIID", 16},
                                                    {"SetCardNoByOrder", 8},
                                                    {"SetCardNoByOrder_0", 12}}};

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

    FARPROC byName(const std::string& name) const { return GetProcAddress(dll, name.c_str()); }
    FARPROC byOrdinal(unsigned ordinal) const {
        return GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));
    }

    bool bind() {
        changeCardNo = as<decltype(changeCardNo)>(byName(exported("ChangeCardNo", 8)));
        findPCICard = as<decltype(findPCICard)>(byName(exported("FindPCICard", 4)));
        findPCICard0 = as<decltype(findPCICard0)>(byName(exported("FindPCICard_0", 8)));
        getIOBaseByCardNo =
            as<decltype(getIOBaseByCardNo)>(byName(exported("GetIOBaseByCardNo", 12)));
        getIOBaseByCardNo0 =
            as<decltype(getIOBaseByCardNo0)>(byName(exported("GetIOBaseByCardNo_0", 16)));
        getIOBaseByOrder = as<decltype(getIOBaseByOrder)>(byName(exported("GetIOBaseByOrder", 12)));
        pciCardName = as<decltype(pciCardName)>(byName(exported("PCICardName", 4)));
        returnPCIID = as<decltype(returnPCIID)>(byName(exported("ReturnPCIID", 16)));
        setCardNoByOrder = as<decltype(setCardNoByOrder)>(byName(exported("SetCardNoByOrder", 8)));
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

void checkExportTable(const Slotscan& lib) {
    bool allBound = true;
    for (unsigned i = 0; i < kOperations.size(); ++i) {
        const std::string name = exported(kOperations[i].name, kOperations[i].argumentBytes);
        const FARPROC named = lib.byName(name);
        const FARPROC numbered = lib.byOrdinal(i + 1);
        if (named == nullptr || named != numbered) {
            allBound = false;
            check(false, "export by name and by ordinal",
                  name + " is not ordinal " + std::to_string(i + 1));
        }
    }
    check(allBound, "all twelve names bind, each at its ordinal 1-12");
    const std::string lookup = exported("GetIOBaseByCardNo", 12);
    check(lib.byOrdinal(5) != nullptr && lib.byOrdinal(5) == lib.byName(lookup),
          lookup + " binds by name and by ordinal 5");
    check(lib.byOrdinal(13) == nullptr, "no ordinal 13");
    // The other platform's form of a name, and the load entry, are not exported.
    for (const std::string& other :
         {exported("GetIOBaseByCardNo", 12, !kDecorated), std::string("GetIOBaseByCardNo@12"),
          std::string("DllMain"), std::string("DllMain@12"), std::string("_DllMain@12")}) {
        check(lib.byName(other) == nullptr, "no export named " + other);
    }
}

// The library's own pauses. Each starts with one call of QueryPerformanceFrequency (see
// slotscan/portio/pause.cpp), which the test takes the place of in Slotscan.dll's import
// table: each call notes where the simulated PC's trace stands, and the trace shows the
// gap that follows there ("P 1.234 ms" for a gap of half a millisecond or more, before
// the next access). So only the library's pauses are counted and measured: a slow or
// emulated machine adds gaps elsewhere and makes these longer, never shorter.
fs::path pauseTrace;
std::vector<std::uintmax_t> pauseStarts;

BOOL WINAPI frequencyAtPause(LARGE_INTEGER* frequency) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(pauseTrace, error);
    pauseStarts.push_back(error ? 0 : size);
    return QueryPerformanceFrequency(frequency);
}

// Points MODULE's import of FUNCTION from DLL at REPLACEMENT; false when it has none.
bool replaceImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return false;
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base +
            (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD previous = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                                &previous)) {
                return false;
            }
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, previous, &previous);
            return true;
        }
    }
    return false;
}

// The gap the trace shows at OFFSET, in milliseconds; 0 when it shows none (under 0.5 ms).
double gapTracedAt(const fs::path& trace, std::uintmax_t offset) {
    std::ifstream in(trace);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string line;
    double ms = 0;
    if (std::getline(in, line) && std::sscanf(line.c_str(), "P %lf ms", &ms) == 1) return ms;
    return 0;
}

// Every gap of the trace from OFFSET on: the library's pauses and any of the machine's own.
int gapsTraced(const fs::path& trace, std::uintmax_t from) {
    std::ifstream in(trace);
    in.seekg(static_cast<std::streamoff>(from));
    int gaps = 0;
    std::string line;
    while (std::getline(in, line)) gaps += line.rfind("P ", 0) == 0 ? 1 : 0;
    return gaps;
}

// One pause per EEPROM read, each at least a millisecond: a scan of the three cards
// pauses three times, and the trace shows a gap of 1 ms or more at each of them.
void checkPauses(const Slotscan& lib, const fs::path& trace) {
    pauseTrace = trace;
    if (!replaceImport(lib.dll, "KERNEL32.dll", "QueryPerformanceFrequency",
                       reinterpret_cast<void*>(&frequencyAtPause))) {
        check(false, "a three-card scan takes three pauses of at least 1 ms",
              "Slotscan.dll imports no QueryPerformanceFrequency from KERNEL32.dll to watch its "
              "pauses by");
        return;
    }
    pauseStarts.clear();
    const std::uintmax_t from = fs::exists(trace) ? fs::file_size(trace) : 0;
    std::array<int16_t, MAX_CARDS> numbers{};
    const auto start = std::chrono::steady_clock::now();
    const int32_t count = lib.findPCICard(numbers.data());
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    char text[96];
    std::snprintf(text, sizeof text,
                  "%d cards in %.3f ms, %d gaps traced, the library's pauses (ms):", count,
                  took.count(), gapsTraced(trace, from));
    std::string seen = text;
    bool allLongEnough = true;
    for (const std::uintmax_t at : pauseStarts) {
        const double ms = gapTracedAt(trace, at);
        std::snprintf(text, sizeof text, " %.3f", ms);
        seen += text;
        allLongEnough &= ms >= 1.0;
    }
    check(count == 3 && pauseStarts.size() == 3 && allLongEnough,
          "a three-card scan takes three pauses of at least 1 ms", seen);
    std::printf("      %s\n", seen.c_str());
}

void checkFixedInformation(const Slotscan& lib, const fs::path& trace) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    const int32_t copied = lib.pciCardName(buffer);
    bool untouched = true;
    for (size_t i = PCI_CARD_NAME_SIZE; i < sizeof buffer; ++i) untouched &= buffer[i] == '#';
    check(copied == 7 && std::memcmp(buffer, "PCIQVN", 7) == 0 && untouched,
          "PCICardName writes \"PCIQVN\" and its NUL, 7 bytes, nothing beyond",
          "returned " + std::to_string(copied));

    uint16_t vendor = 1, device = 1, subsystem = 1, subsystemVendor = 1;
    lib.returnPCIID(&vendor, &device, &subsystem, &subsystemVendor);
    check(vendor == 0x10B5 && device == 0x9050 && subsystem == 0 && subsystemVendor == 0,
          "ReturnPCIID gives vendor 0x10B5, device 0x9050, 0, 0 in that order",
          hex(vendor) + " " + hex(device) + " " + hex(subsystem) + " " + hex(subsystemVendor));

    // The simulated PC starts (and opens the trace) at the first port access only.
    check(!fs::exists(trace) || fs::file_size(trace) == 0,
          "loading, PCICardName and ReturnPCIID touch no port");
}

void checkLookups(const Slotscan& lib) {
    const auto numbers = cardNumbers(lib);
    check(numbers == std::vector<int16_t>{1, 2, 3}, "FindPCICard lists cards 1, 2, 3 in scan order",
          listed(numbers) + "; " + portvexStatus());

    uint16_t base = 0, irq = 0;
    int32_t found = lib.getIOBaseByCardNo(1, &base, &irq);
    check(found == 1 && base == 0x300 && irq == 5, "GetIOBaseByCardNo(1) gives 0x300, IRQ 5",
          std::to_string(found) + " " + hex(base) + " " + std::to_string(irq));

    const PCIID defaults = {0x9050, 0x10B5, 0, 0};
    uint16_t base0 = 0, irq0 = 0;
    found = lib.getIOBaseByCardNo0(&defaults, 1, &base0, &irq0);
    check(found == 1 && base0 == base && irq0 == irq,
          "GetIOBaseByCardNo_0 with the default filter agrees with GetIOBaseByCardNo");

    // A card number counts by its low 16 bits.
    base0 = irq0 = 0;
    found = lib.getIOBaseByCardNo(0x10001, &base0, &irq0);
    check(found == 1 && base0 == 0x300 && irq0 == 5, "card number 0x10001 is card 1");

    uint16_t keptBase = 0xBEEF, keptIrq = 0xBEEF;
    found = lib.getIOBaseByCardNo(4, &keptBase, &keptIrq);
    check(found == 0 && keptBase == 0xBEEF && keptIrq == 0xBEEF,
          "no card 4: result 0, outputs untouched");

    base = irq = 0;
    found = lib.getIOBaseByOrder(0, &base, &irq);
    check(found == 1 && base == 0x300 && irq == 5, "GetIOBaseByOrder(0) is card 1");
    keptBase = keptIrq = 0xBEEF;
    found = lib.getIOBaseByOrder(3, &keptBase, &keptIrq);
    check(found == 0 && keptBase == 0xBEEF && keptIrq == 0xBEEF,
          "GetIOBaseByOrder past the last card gives 0, outputs untouched");

    const PCIID otherMaker = {0x9050, 0x1234, 0, 0};
    std::array<int16_t, MAX_CARDS> none{};
    check(lib.findPCICard0(&otherMaker, none.data()) == 0,
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

void checkRenumbering(const Slotscan& lib, const fs::path& work) {
    check(lib.changeCardNo(1, 7) == 1, "ChangeCardNo(1, 7) succeeds");
    uint16_t base = 0, irq = 0;
    int32_t found = lib.getIOBaseByCardNo(7, &base, &irq);
    check(found == 1 && base == 0x300 && irq == 5, "card 7 is the card that was card 1",
          std::to_string(found) + " " + hex(base) + " " + std::to_string(irq));
    uint16_t keptBase = 0xBEEF, keptIrq = 0xBEEF;
    check(lib.getIOBaseByCardNo(1, &keptBase, &keptIrq) == 0 && keptBase == 0xBEEF,
          "no card 1 any more");
    check(lib.changeCardNo(1, 8) == 0, "ChangeCardNo of a missing number fails");

    check(lib.setCardNoByOrder(2, -2) == 1, "SetCardNoByOrder(2, -2) succeeds");
    check(lib.setCardNoByOrder(3, 5) == 0, "SetCardNoByOrder past the last card fails");
    const auto numbers = cardNumbers(lib);
    check(numbers == std::vector<int16_t>{7, 2, -2}, "FindPCICard lists 7, 2, -2 after renumbering",
          listed(numbers));

    // The simulated cards keep their EEPROM in a file beside the rack: the Windows file
    // layer must have replaced it whole, leaving no temporary file behind.
    const fs::path image = work / "rack3.eeprom.json";
    check(cardNoInImage(image, "00:0a.0") == 7 && cardNoInImage(image, "01:04.0") == 0xFFFE,
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
    check(strays.empty(), "no temporary files left beside the image", strays);
}

}  // namespace

int main(int argc, char** argv) {
    // PORTVEX and PORTVEX_TRACE are read by Portvex.dll at the first port access, from the
    // C runtime both modules share.
    const auto rack = wine_check::simulatedRack(argc, argv);
    if (!rack) return 2;
    const fs::path work = rack->parent_path();
    const fs::path trace = work / "trace.txt";
    _putenv_s("PORTVEX_TRACE", trace.string().c_str());

    Slotscan lib;
    lib.dll = LoadLibraryA("Slotscan.DLL");
    check(lib.dll != nullptr, "LoadLibrary(\"Slotscan.DLL\")",
          "error " + std::to_string(GetLastError()));
    if (lib.dll == nullptr || !lib.bind()) {
        check(false, "bind the operations by their decorated names");
        return wine_check::summary();
    }
    checkExportTable(lib);
    checkFixedInformation(lib, trace);
    checkPauses(lib, trace);
    checkLookups(lib);
    checkRenumbering(lib, work);
    check(FreeLibrary(lib.dll) != 0, "FreeLibrary");
    return wine_check::summary();
}
