// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "ModuleSlotscanDef.h"

#include <dlfcn.h>
#include <slotscan.h>

#include <QFile>
#include <type_traits>

#include "FormDesign.h"

namespace ModuleSlotscanDef {
namespace {

constexpr const char* kFunctionName = "GetIOBaseByCardNo";

// The caller's last loader error, or a stand-in when the loader gives none.
QString loaderReason() {
    const char* reason = dlerror();
    return reason != nullptr ? QString::fromLocal8Bit(reason) : QStringLiteral("no reason given");
}

}  // namespace

QString defaultLibraryFile() {
    return QStringLiteral("libslotscan.so.1");
}

void SlotscanLibrary::Unloader::operator()(void* handle) const {
    dlclose(handle);
}

SlotscanLibrary::SlotscanLibrary(QString libraryFile) : libraryFile_(std::move(libraryFile)) {}

SlotscanLibrary::~SlotscanLibrary() = default;

std::optional<QString> SlotscanLibrary::bind() {
    static_assert(std::is_same_v<Function, decltype(&::GetIOBaseByCardNo)>,
                  "the binding must match the library's declaration");
    if (isBound()) return std::nullopt;

    // dlopen is called from the program itself, not from a toolkit library, so the
    // program's run path takes part in the search.
    dlerror();
    std::unique_ptr<void, Unloader> handle(
        dlopen(QFile::encodeName(libraryFile_).constData(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        return QString::fromStdString(
            FormDesign::libraryNotLoaded(libraryFile_.toStdString(), loaderReason().toStdString()));
    }
    dlerror();
    void* symbol = dlsym(handle.get(), kFunctionName);
    if (symbol == nullptr) {
        return QString::fromStdString(FormDesign::functionMissing(
            libraryFile_.toStdString(), kFunctionName, loaderReason().toStdString()));
    }
    handle_ = std::move(handle);
    function_ = reinterpret_cast<Function>(symbol);
    return std::nullopt;
}

std::optional<CardResources> SlotscanLibrary::getIOBaseByCardNo(std::int16_t cardNo) const {
    Q_ASSERT(isBound());
    std::uint16_t ioBase = 0;
    std::uint16_t irq = 0;
    if (function_(cardNo, &ioBase, &irq) == 0) return std::nullopt;
    return CardResources{ioBase, irq};
}

}  // namespace ModuleSlotscanDef
