// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Reading card numbers typed by the user and writing what the library reports.
#include <QTest>

#include "CardText.h"
#include "suites.h"

namespace {

// The card number and the problem as the Qt window sees them.
struct Parsed {
    int value;
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};

Parsed parse(const QString& text) {
    const CardText::CardNumber number = CardText::parseCardNumber(text.toStdString());
    return {number.value, QString::fromStdString(number.problem)};
}

QString formatIOBase(int ioBase) {
    return QString::fromStdString(CardText::formatIOBase(static_cast<std::uint16_t>(ioBase)));
}

QString formatIrq(int irq) {
    return QString::fromStdString(CardText::formatIrq(static_cast<std::uint16_t>(irq)));
}

}  // namespace

class CardTextTest final : public QObject {
    Q_OBJECT

  private slots:
    void acceptsDecimalNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("initial text") << "255" << 255;
        QTest::newRow("lowest") << "-32768" << -32768;
        QTest::newRow("highest") << "32767" << 32767;
        QTest::newRow("minus one") << "-1" << -1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("minus zero") << "-0" << 0;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("spaces around") << "  12  " << 12;
        QTest::newRow("tab and newline around") << "\t-3\n" << -3;
    }
    void acceptsDecimalNumbers() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const Parsed number = parse(text);
        QVERIFY2(number.ok(), qPrintable(number.problem));
        QCOMPARE(number.value, expected);
    }

    void refusesOtherTextNamingItAndTheRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("one above the highest") << "32768"
                                               << "32768";
        QTest::newRow("one below the lowest") << "-32769"
                                              << "-32769";
        QTest::newRow("unsigned word") << "65535"
                                       << "65535";
        QTest::newRow("letters") << "abc"
                                 << "\"abc\"";
        QTest::newRow("digits then letters") << "12a"
                                             << "\"12a\"";
        QTest::newRow("inner space") << "1 2"
                                     << "\"1 2\"";
        QTest::newRow("space after sign") << "- 5"
                                          << "\"- 5\"";
        QTest::newRow("fraction") << "1.5"
                                  << "\"1.5\"";
        QTest::newRow("exponent") << "1e3"
                                  << "\"1e3\"";
        QTest::newRow("hexadecimal") << "0x10"
                                     << "\"0x10\"";
        QTest::newRow("group separator") << "1,000"
                                         << "\"1,000\"";
        QTest::newRow("full-width digits") << QString::fromUtf8("１２") << "\"１２\"";
        QTest::newRow("sign alone") << "-"
                                    << "\"-\"";
        QTest::newRow("beyond 64 bits") << "99999999999999999999"
                                        << "99999999999999999999";
        QTest::newRow("empty") << ""
                               << "empty";
        QTest::newRow("only spaces") << "   "
                                     << "empty";
    }
    void refusesOtherTextNamingItAndTheRange() {
        QFETCH(QString, text);
        QFETCH(QString, named);
        const Parsed number = parse(text);
        QVERIFY(!number.ok());
        QVERIFY2(number.problem.contains(named), qPrintable(number.problem));
        QVERIFY2(number.problem.contains(QLatin1String("-32768 to 32767")),
                 qPrintable(number.problem));
    }

    void callsEveryWholeNumberOutsideTheRangeOutOfRange_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("one above the highest") << "32768";
        QTest::newRow("one below the lowest") << "-32769";
        QTest::newRow("20 digits") << "99999999999999999999";
        QTest::newRow("20 digits negative") << "-99999999999999999999";
        QTest::newRow("30 digits with plus and spaces") << " +123456789012345678901234567890 ";
    }
    void callsEveryWholeNumberOutsideTheRangeOutOfRange() {
        QFETCH(QString, text);
        const Parsed number = parse(text);
        QVERIFY2(number.problem.contains(QLatin1String("outside the range")),
                 qPrintable(number.problem));
    }

    void formatsIOBaseAsUpperCaseHexWithH_data() {
        QTest::addColumn<int>("ioBase");
        QTest::addColumn<QString>("expected");
        QTest::newRow("typical") << 0x300 << "300H";
        QTest::newRow("zero") << 0 << "0H";
        QTest::newRow("letters upper case") << 0xabc << "ABCH";
        QTest::newRow("bit 15 set") << 0xE800 << "E800H";
        QTest::newRow("all bits") << 0xFFFF << "FFFFH";
        QTest::newRow("no leading zeros") << 0x0010 << "10H";
    }
    void formatsIOBaseAsUpperCaseHexWithH() {
        QFETCH(int, ioBase);
        QFETCH(QString, expected);
        QCOMPARE(formatIOBase(ioBase), expected);
    }

    void formatsIrqInDecimal() {
        QCOMPARE(formatIrq(5), QStringLiteral("5"));
        QCOMPARE(formatIrq(0), QStringLiteral("0"));
        QCOMPARE(formatIrq(255), QStringLiteral("255"));
        QCOMPARE(formatIrq(0xFFFF), QStringLiteral("65535"));
    }
};

int runCardTextTests(int argc, char** argv) {
    CardTextTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cardtext.moc"
