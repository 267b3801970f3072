// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "SlotscanDll.h"

#include <slotscan.h>

#include <type_traits>

#include "FormDesign.h"
#include "WideText.h"

namespace SlotscanDll {
namespace {

// The system's text for an error code, without its line break.
std::string systemReason(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = length != 0 ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
    return "Windows error " + std::to_string(error) +
           (reason.empty() ? std::string() : ": " + WideText::toUtf8(reason));
}

}  // namespace

SlotscanLibrary::~SlotscanLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
}

std::optional<std::string> SlotscanLibrary::bind() {
    static_assert(std::is_same_v<Function, decltype(&::GetIOBaseByCardNo)>,
                  "the binding must match the library's declaration");
    if (function_ != nullptr) return std::nullopt;

    const std::string file = WideText::toUtf8(kLibraryFile);
    const HMODULE module = LoadLibraryW(kLibraryFile);
    if (module == nullptr) {
        return FormDesign::libraryNotLoaded(file, systemReason(GetLastError()));
    }
    const FARPROC symbol = GetProcAddress(module, kExportName);
    if (symbol == nullptr) {
        const DWORD error = GetLastError();
        FreeLibrary(module);
        return FormDesign::functionMissing(file, kExportName, systemReason(error));
    }
    module_ = module;
    function_ = reinterpret_cast<Function>(reinterpret_cast<void*>(symbol));
    return std::nullopt;
}

std::optional<CardResources> SlotscanLibrary::getIOBaseByCardNo(std::int16_t cardNo) const {
    std::uint16_t ioBase = 0;
    std::uint16_t irq = 0;
    if (function_(cardNo, &ioBase, &irq) == 0) return std::nullopt;
    return CardResources{ioBase, irq};
}

}  // namespace SlotscanDll
