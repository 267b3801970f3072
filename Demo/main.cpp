// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cardpeek: look a PCI 9050 card up by its card number and show its I/O base and IRQ.
#include <QApplication>

#include "AppIdentity.h"
#include "FrmPciRead.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    AppIdentity::apply();
    FrmPciRead form;
    form.show();
    return QApplication::exec();
}
