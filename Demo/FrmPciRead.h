// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cardpeek's only window: type a card number, press Read, see the card's I/O base
// and IRQ as the Slotscan library reports them.
#pragma once

#include <QWidget>
#include <array>

#include "ModuleSlotscanDef.h"

class QLabel;
class QLineEdit;
class QPushButton;

class FrmPciRead final : public QWidget {
    Q_OBJECT

  public:
    // slotscanLibraryFile is what the library is loaded by at the first Read.
    explicit FrmPciRead(QString slotscanLibraryFile = ModuleSlotscanDef::defaultLibraryFile(),
                        QWidget* parent = nullptr);

  private:
    void createControls();
    void placeControls();
    void readCard();
    void reportProblem(const QString& message);

    QLabel* label1_ = nullptr;
    std::array<QLabel*, 3> label2_{};
    QLineEdit* txtCardNo_ = nullptr;
    QLineEdit* txtIOBase_ = nullptr;
    QLineEdit* txtIRQNO_ = nullptr;
    QPushButton* readCardNO_ = nullptr;
    QPushButton* command1_ = nullptr;
    ModuleSlotscanDef::SlotscanLibrary slotscan_;
};
