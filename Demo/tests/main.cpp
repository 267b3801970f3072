// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Runs Cardpeek's tests on a copy of the test rack in a temporary folder, or of the rack
// CARDPEEK_TEST_RACK names (a capture of the test rack, with its EEPROM image beside it).
// PORTVEX is set before anything could load the library, so no test reaches real ports.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "suites.h"

namespace {
TestPaths paths;
}

const TestPaths& testPaths() {
    return paths;
}

int main(int argc, char* argv[]) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 2;
    }
    paths.rackFile = scratch.filePath(QStringLiteral("cards.toml"));
    paths.traceFile = scratch.filePath(QStringLiteral("ports.log"));
    paths.scratch = scratch.path();
    QString rack = QString::fromLocal8Bit(qgetenv("CARDPEEK_TEST_RACK"));
    if (rack.isEmpty()) rack = QStringLiteral(CARDPEEK_TEST_RACKS "/cards.toml");
    const QFileInfo image(QFileInfo(rack).dir(),
                          QFileInfo(rack).completeBaseName() + QStringLiteral(".eeprom.json"));
    if (!QFile::copy(rack, paths.rackFile) ||
        (image.exists() && !QFile::copy(image.filePath(), scratch.filePath(image.fileName())))) {
        std::fprintf(stderr, "cannot copy the test rack\n");
        return 2;
    }
    qputenv("PORTVEX", "sim:" + QFile::encodeName(paths.rackFile));
    qputenv("PORTVEX_TRACE", QFile::encodeName(paths.traceFile));

    QApplication app(argc, argv);
    int failed = runCardTextTests(argc, argv);
    failed += runWindowTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
