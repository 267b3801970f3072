// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The test classes of Cardpeek's suite, run one after the other by main.cpp.
#pragma once

#include <QString>

int runCardTextTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);

// Set up by main before any test runs.
struct TestPaths {
    QString rackFile;   // the copy of racks/cards.toml that PORTVEX points at
    QString traceFile;  // where the simulated PC logs every port access
    QString scratch;    // a folder the tests may write to
};
const TestPaths& testPaths();
