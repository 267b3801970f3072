// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Answers the message boxes that Cardpeek shows, so a test never blocks on one,
// and keeps their texts.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

class MessageCatcher final : public QObject {
  public:
    MessageCatcher() {
        connect(&poll_, &QTimer::timeout, this, &MessageCatcher::answer);
        poll_.start(10);
    }

    const QStringList& texts() const { return texts_; }
    QList<QMessageBox::Icon> icons() const { return icons_; }

  private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        texts_ << box->text();
        icons_ << box->icon();
        box->accept();
    }

    QTimer poll_;
    QStringList texts_;
    QList<QMessageBox::Icon> icons_;
};
