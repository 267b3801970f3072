// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cardpeek.exe's binding to Slotscan.DLL's GetIOBaseByCardNo (the Qt window's is
// Demo/ModuleSlotscanDef.h), made at the first Read by the library's file name, so that
// Cardpeek.exe starts even where the library is missing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace SlotscanDll {

constexpr const wchar_t* kLibraryFile = L"Slotscan.DLL";

// The export bound: the decorated __stdcall name in 32-bit Slotscan.dll, the plain name
// in the 64-bit one, which has one calling convention.
#ifdef _WIN64
constexpr const char* kExportName = "GetIOBaseByCardNo";
#else
constexpr const char* kExportName = "_GetIOBaseByCardNo@12";
#endif

// What the library reports for a card that was found.
struct CardResources {
    std::uint16_t ioBase = 0;
    std::uint16_t irq = 0;
};

class SlotscanLibrary {
  public:
    SlotscanLibrary() = default;
    ~SlotscanLibrary();
    SlotscanLibrary(const SlotscanLibrary&) = delete;
    SlotscanLibrary& operator=(const SlotscanLibrary&) = delete;

    // Loads the library and looks up the export, unless that is already done. Returns
    // nothing on success, or a message for the user (UTF-8) that names the library file
    // and the system's reason. A failed attempt leaves nothing behind, so the next call
    // tries again.
    std::optional<std::string> bind();

    // Asks the library (which rescans the buses) for the card numbered cardNo. Needs a
    // binding. Empty when no card has that number.
    std::optional<CardResources> getIOBaseByCardNo(std::int16_t cardNo) const;

  private:
    using Function = std::int32_t(__stdcall*)(std::int32_t, std::uint16_t*, std::uint16_t*);

    HMODULE module_ = nullptr;
    Function function_ = nullptr;
};

}  // namespace SlotscanDll
