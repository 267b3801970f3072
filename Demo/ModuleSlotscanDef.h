// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The binding to the Slotscan library's GetIOBaseByCardNo, made at run time by the
// library's file name so that Cardpeek starts even where the library is missing.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace ModuleSlotscanDef {

// The name Cardpeek loads the library by. The loader looks for it in its usual
// directories and in the program's own run path (../lib beside the executable).
QString defaultLibraryFile();

// What the library reports for a card that was found.
struct CardResources {
    std::uint16_t ioBase = 0;
    std::uint16_t irq = 0;
};

class SlotscanLibrary {
  public:
    explicit SlotscanLibrary(QString libraryFile = defaultLibraryFile());
    ~SlotscanLibrary();
    SlotscanLibrary(const SlotscanLibrary&) = delete;
    SlotscanLibrary& operator=(const SlotscanLibrary&) = delete;

    const QString& libraryFile() const { return libraryFile_; }
    bool isBound() const { return function_ != nullptr; }

    // Loads the library and looks up GetIOBaseByCardNo, unless that is already done.
    // Returns nothing on success, or a message for the user that names the library
    // file and what went wrong. A failed attempt leaves nothing behind, so the next
    // call tries again.
    std::optional<QString> bind();

    // Asks the library (which rescans the buses) for the card numbered cardNo.
    // Needs a binding. Empty when no card has that number.
    std::optional<CardResources> getIOBaseByCardNo(std::int16_t cardNo) const;

  private:
    using Function = std::int32_t (*)(std::int32_t, std::uint16_t*, std::uint16_t*);
    struct Unloader {
        void operator()(void* handle) const;
    };

    QString libraryFile_;
    std::unique_ptr<void, Unloader> handle_;
    Function function_ = nullptr;
};

}  // namespace ModuleSlotscanDef
