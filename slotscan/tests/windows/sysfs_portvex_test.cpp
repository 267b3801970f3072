// Slotscan.dll over the Windows Portvex.dll's sysfs backend under Wine, against a stand-in
// for the kernel's /sys (the layout of portvex/tests/fake_sysfs.h) that this program
// writes with the Win32 file API: one 9050 card on bus 1 with BAR1 0xE000, BAR4 0xD000,
// IRQ 9. PORTVEX is unset and PORTVEX_SYSFS_ROOT names the tree, so no case reaches the
// machine. A process chooses its backend once, so each case is its own run.
// usage: sysfs_portvex_test.exe scan|number|renumber|refused TREE  (TREE as a Windows path)
#include <portio/registers.h>
#include <slotscan.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int failures = 0;

void check(bool passed, const std::string& what) {
    std::printf("%s: %s\n", passed ? "ok" : "FAIL", what.c_str());
    if (!passed) ++failures;
}

std::string tree;
const std::string kCard = "/bus/pci/devices/0000:01:04.0";

void writeFile(const std::string& path, const void* data, size_t size) {
    const HANDLE file = CreateFileA((tree + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD put = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &put, nullptr);
    CloseHandle(file);
}

void writeText(const std::string& path, const std::string& text) {
    writeFile(path, text.data(), text.size());
}

void setDword(const std::string& path, uint32_t offset, uint32_t value) {
    const HANDLE file = CreateFileA((tree + path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED at{};
    at.Offset = offset;
    DWORD put = 0;
    WriteFile(file, &value, sizeof value, &put, &at);
    CloseHandle(file);
}

uint32_t getDword(const std::string& path, uint32_t offset) {
    const HANDLE file =
        CreateFileA((tree + path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED at{};
    at.Offset = offset;
    uint32_t value = 0xDEADBEEF;
    DWORD got = 0;
    ReadFile(file, &value, sizeof value, &got, &at);
    CloseHandle(file);
    return value;
}

std::string resourceLine(uint64_t start, uint64_t end, uint64_t flags) {
    char line[80];
    std::snprintf(line, sizeof line, "0x%016llx 0x%016llx 0x%016llx\n",
                  static_cast<unsigned long long>(start), static_cast<unsigned long long>(end),
                  static_cast<unsigned long long>(flags));
    return line;
}

void addDevice(const std::string& name, uint32_t ids, uint32_t bar1, uint32_t bar4,
               uint32_t interrupt) {
    const std::string folder = "/bus/pci/devices/" + name;
    CreateDirectoryA((tree + folder).c_str(), nullptr);
    unsigned char config[256] = {};
    const auto put = [&config](uint32_t offset, uint32_t value) {
        std::memcpy(config + offset, &value, 4);
    };
    put(0, ids);
    put(slotscan::kBar1Offset, bar1);
    put(slotscan::kBar4Offset, bar4);
    put(slotscan::kInterruptLineOffset, interrupt);
    writeFile(folder + "/config", config, sizeof config);
    constexpr uint64_t kIoFlags = 0x40101;  // IORESOURCE_IO | SIZEALIGN, as the kernel shows
    std::string resource;
    for (uint32_t bar = 0; bar < 13; ++bar) {
        const uint32_t base = bar == 1 ? bar1 & 0xFFFC : bar == 4 ? bar4 & 0xFFFC : 0;
        resource += base != 0 ? resourceLine(base, base + (bar == 1 ? 0x7F : 0xF), kIoFlags)
                              : resourceLine(0, 0, 0);
        if (base != 0) {
            const std::string zeros(bar == 1 ? 0x80 : 0x10, '\0');
            writeFile(folder + "/resource" + std::to_string(bar), zeros.data(), zeros.size());
        }
    }
    writeText(folder + "/resource", resource);
}

void makeTree() {
    for (const char* folder :
         {"", "/bus", "/bus/pci", "/bus/pci/devices", "/kernel", "/kernel/security"}) {
        CreateDirectoryA((tree + folder).c_str(), nullptr);
    }
    writeText("/kernel/security/lockdown", "[none] integrity confidentiality\n");
    addDevice("0000:00:00.0", 0x12378086, 0, 0, 0);
    addDevice("0000:01:04.0", 0x905010B5, 0xE001, 0xD001, 0x0109);
    setDword(kCard + "/resource1", slotscan::kCntrlOffset, slotscan::kEepromPresent);
}

template <typename Function>
Function statusCall(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Portvex.dll"), name)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: sysfs_portvex_test scan|number|renumber|refused TREE\n");
        return 2;
    }
    const std::string mode = argv[1];
    tree = argv[2];
    makeTree();
    const std::string bar1 = kCard + "/resource1";
    if (mode == "refused") {
        // As root every file opens; Windows (and Wine) refuse to open a folder as a file
        // with "access denied", which stands in for a resource1 this user may not open.
        DeleteFileA((tree + bar1).c_str());
        CreateDirectoryA((tree + bar1).c_str(), nullptr);
    }

    const auto backend = statusCall<const char* (*)()>("portvex_backend");
    const auto ready = statusCall<int (*)()>("portvex_ready");
    const auto status = statusCall<const char* (*)()>("portvex_status");
    int16_t numbers[MAX_CARDS] = {};
    const int32_t found = FindPCICard(numbers);
    std::printf("status: %s\n", status());
    check(std::string(backend()) == "sysfs", "PORTVEX unset chooses sysfs under Wine");
    check(std::string(status()).find("/bus/pci/devices") != std::string::npos,
          "the status names the devices folder");
    check(found == 1, "the scan finds the one card");
    uint16_t base = 0, irq = 0;
    check(GetIOBaseByOrder(0, &base, &irq) == 1 && base == 0xD000 && irq == 9,
          "the card's I/O base 0xD000 and IRQ 9 come from its config file");

    if (mode == "scan") {
        check(ready() == 1, "the backend is ready");
    } else if (mode == "number") {
        // The card number was read by clocking the control register through resource1,
        // whose last write left the four EEPROM lines low.
        check((getDword(bar1, slotscan::kCntrlOffset) & slotscan::kEepromLines) == 0,
              "the EEPROM was clocked through resource1");
        check(GetIOBaseByCardNo(numbers[0], &base, &irq) == 1 && base == 0xD000,
              "the card is found by the number it read (" + std::to_string(numbers[0]) + ")");
    } else if (mode == "renumber") {
        setDword(bar1, slotscan::kCntrlOffset, slotscan::kEepromPresent | slotscan::kEepromLines);
        // A plain file keeps no EEPROM, so the new number cannot read back: not confirmed.
        check(ChangeCardNo(numbers[0], 5) == 0,
              "the renumbering reports that it was not confirmed");
        check((getDword(bar1, slotscan::kCntrlOffset) & slotscan::kEepromLines) == 0,
              "its writes reached resource1");
        check(ready() == 1, "the backend is still ready");
    } else if (mode == "refused") {
        check(numbers[0] == -1, "the card number reads as -1 (65535)");
        check(ready() == 0, "the backend is not ready");
        const std::string text = status();
        check(text.find("resource1") != std::string::npos &&
                  text.find("portvex group") != std::string::npos,
              "the status names resource1 and the portvex group");
    }
    std::printf("%s: %d failed\n", mode.c_str(), failures);
    return failures == 0 ? 0 : 1;
}
