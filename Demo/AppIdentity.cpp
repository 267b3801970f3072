// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "AppIdentity.h"

#include <QApplication>

#include "cardpeek_version.h"

namespace AppIdentity {

QIcon icon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/hicolor/16x16/apps/cardpeek.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/hicolor/32x32/apps/cardpeek.png"), QSize(32, 32));
    return icon;
}

void apply() {
    QApplication::setApplicationName(QStringLiteral("Cardpeek"));
    QApplication::setApplicationVersion(QStringLiteral(CARDPEEK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("cardpeek"));
    QApplication::setWindowIcon(icon());
}

}  // namespace AppIdentity
