// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// The window as the user sees it and works it, on the simulated PC of racks/cards.toml:
//   card 1      I/O base 0x300   IRQ 5
//   card 0xFFFF I/O base 0x310   IRQ 10   (typed as -1)
//   card 2      I/O base 0xE800  IRQ 11
//   card 3      I/O base 0       IRQ 9
//   card 0x8000 I/O base 0x320   IRQ 7    (typed as -32768)
//   card 32767  I/O base 0x330   IRQ 3
// and no card numbered 255.
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <memory>

#include "AppIdentity.h"
#include "FrmPciRead.h"
#include "MessageCatcher.h"
#include "suites.h"

namespace {

// KaiTi faces under the names a font database may report, localised names included.
const QStringList kKaitiFaces{QStringLiteral("楷体_GB2312"),    QStringLiteral("KaiTi"),
                              QStringLiteral("楷体"),           QStringLiteral("AR PL KaitiM GB"),
                              QStringLiteral("文鼎ＰＬ简中楷"), QStringLiteral("AR PL UKai CN")};

// One window and its controls, found by their names, and the messages it showed.
struct Form {
    explicit Form(QString libraryFile = ModuleSlotscanDef::defaultLibraryFile())
        : window(std::move(libraryFile)) {}

    QLineEdit* box(const char* name) { return window.findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }
    QLabel* label1() { return window.findChild<QLabel*>(QStringLiteral("Label1")); }
    QLabel* label2(int index) {
        for (QLabel* label : window.findChildren<QLabel*>(QStringLiteral("Label2"))) {
            if (label->property("index").toInt() == index) return label;
        }
        return nullptr;
    }
    QLineEdit* cardNo() { return box("txtCardNo"); }
    QLineEdit* ioBase() { return box("txtIOBase"); }
    QLineEdit* irq() { return box("txtIRQNO"); }
    QPushButton* read() { return button("ReadCardNO"); }
    QPushButton* exit() { return button("Command1"); }

    bool show() {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) return false;
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    // Types the card number and clicks Read.
    void readCard(const QString& number) {
        cardNo()->setFocus();
        cardNo()->selectAll();
        QTest::keyClick(cardNo(), Qt::Key_Backspace);
        QTest::keyClicks(cardNo(), number);
        QTest::mouseClick(read(), Qt::LeftButton);
    }

    FrmPciRead window;
    MessageCatcher messages;  // answers every message box, so no test can block on one
};

qint64 traceSize() {
    return QFileInfo(testPaths().traceFile).size();
}

// Copies the built library and the libraries it needs into folder.
bool copyLibrariesTo(const QString& folder) {
    const QDir built(QStringLiteral(CARDPEEK_TEST_LIBDIR));
    const QStringList names = built.entryList({QStringLiteral("*.so.1")}, QDir::Files);
    if (!names.contains(QStringLiteral("libslotscan.so.1"))) return false;
    for (const QString& name : names) {
        if (!QFile::copy(built.filePath(name), QDir(folder).filePath(name))) return false;
    }
    return true;
}

}  // namespace

class FrmPciReadTest final : public QObject {
    Q_OBJECT

  private slots:
    void opensWithTheDesignedTexts() {
        Form form;
        QCOMPARE(form.window.windowTitle(), QStringLiteral("Form1"));
        QVERIFY(form.label1() && form.label2(0) && form.label2(1) && form.label2(2));
        QVERIFY(form.cardNo() && form.ioBase() && form.irq() && form.read() && form.exit());
        QCOMPARE(form.label1()->text(), QStringLiteral("PCI总线下口地址与中断信息"));
        QCOMPARE(form.label2(0)->text(), QStringLiteral("卡号："));
        QCOMPARE(form.label2(1)->text(), QStringLiteral("口地址："));
        QCOMPARE(form.label2(2)->text(), QStringLiteral("中断号："));
        QCOMPARE(form.cardNo()->text(), QStringLiteral("255"));
        QCOMPARE(form.ioBase()->text(), QStringLiteral("无"));
        QCOMPARE(form.irq()->text(), QStringLiteral("无"));
        QCOMPARE(form.read()->text(), QStringLiteral("Read"));
        QCOMPARE(form.exit()->text(), QStringLiteral("Exit"));
    }

    void resultBoxesAreEditableWithoutLimit() {
        Form form;
        for (QLineEdit* box : {form.cardNo(), form.ioBase(), form.irq()}) {
            QVERIFY(!box->isReadOnly());
            QVERIFY(box->maxLength() > 100000);
        }
        const QString longText(40000, QLatin1Char('7'));
        form.ioBase()->setText(longText);
        QCOMPARE(form.ioBase()->text(), longText);
    }

    void labelsUseKaitiAtTheirSizes() {
        Form form;
        QVERIFY(form.show());
        const auto check = [](QLabel* label, qreal points) {
            const QFontInfo used(label->font());
            QVERIFY2(kKaitiFaces.contains(used.family()),
                     qPrintable(QStringLiteral("%1 is drawn in %2, not a KaiTi face")
                                    .arg(label->text(), used.family())));
            QCOMPARE(used.pointSizeF(), points);
            QCOMPARE(used.weight(), int(QFont::Normal));
            QVERIFY(!used.italic() && !used.underline() && !used.strikeOut());
        };
        check(form.label1(), 18.0);
        for (int i = 0; i < 3; ++i) check(form.label2(i), 13.5);
        QCOMPARE(form.label1()->palette().color(QPalette::WindowText), QColor(64, 64, 64));
        QVERIFY(form.cardNo()->font() == QApplication::font(form.cardNo()));
        QVERIFY(form.read()->font() == QApplication::font(form.read()));
    }

    void controlsSitWhereDesignedAt96Dpi() {
        Form form;
        const QScreen* screen = form.window.screen();
        if (screen->logicalDotsPerInchX() != 96.0 || screen->logicalDotsPerInchY() != 96.0) {
            QSKIP("the screen's logical DPI is not 96");
        }
        QVERIFY(form.show());
        // The twips of the design divided by 15, each rounded.
        const QList<std::pair<QWidget*, QRect>> expected{
            {form.label1(), {12, 7, 300, 24}},  {form.label2(0), {79, 41, 58, 18}},
            {form.cardNo(), {158, 41, 51, 20}}, {form.label2(1), {74, 82, 77, 18}},
            {form.ioBase(), {158, 79, 51, 20}}, {form.label2(2), {72, 115, 77, 18}},
            {form.irq(), {158, 115, 51, 20}},   {form.read(), {50, 154, 80, 25}},
            {form.exit(), {175, 154, 80, 25}},
        };
        QCOMPARE(form.window.size(), QSize(331, 210));
        QCOMPARE(form.window.frameGeometry().topLeft(), QPoint(121, 131));
        for (const auto& [control, rect] : expected) {
            QCOMPARE(control->geometry(), rect);
        }
        // Nothing follows the window's size.
        form.window.resize(600, 400);
        QTRY_COMPARE(form.window.size(), QSize(600, 400));
        for (const auto& [control, rect] : expected) {
            QCOMPARE(control->geometry(), rect);
        }
    }

    void focusFollowsTheTabIndexes() {
        Form form;
        QVERIFY(form.show());
        QCOMPARE(QApplication::focusWidget(), form.cardNo());
        const QList<QWidget*> order{form.ioBase(), form.irq(), form.exit(), form.read(),
                                    form.cardNo()};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), form.read());
        for (QLabel* label : form.window.findChildren<QLabel*>()) {
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }
    }

    void foundCardShowsBaseAndIrq_data() {
        QTest::addColumn<QString>("cardNo");
        QTest::addColumn<QString>("ioBase");
        QTest::addColumn<QString>("irq");
        QTest::newRow("card 1") << "1"
                                << "300H"
                                << "5";
        QTest::newRow("minus one is card FFFF") << "-1"
                                                << "310H"
                                                << "10";
        QTest::newRow("base with bit 15 set") << "2"
                                              << "E800H"
                                              << "11";
        QTest::newRow("base 0") << "3"
                                << "0H"
                                << "9";
        QTest::newRow("lowest number is card 8000") << "-32768"
                                                    << "320H"
                                                    << "7";
        QTest::newRow("highest number") << "32767"
                                        << "330H"
                                        << "3";
        QTest::newRow("spaces and plus sign") << " +1 "
                                              << "300H"
                                              << "5";
        QTest::newRow("no card 255") << "255"
                                     << "NO"
                                     << "NO";
        QTest::newRow("no card 0") << "0"
                                   << "NO"
                                   << "NO";
    }
    void foundCardShowsBaseAndIrq() {
        QFETCH(QString, cardNo);
        QFETCH(QString, ioBase);
        QFETCH(QString, irq);
        Form form;
        QVERIFY(form.show());
        form.readCard(cardNo);
        QVERIFY2(form.messages.texts().isEmpty(), qPrintable(form.messages.texts().join('\n')));
        QCOMPARE(form.ioBase()->text(), ioBase);
        QCOMPARE(form.irq()->text(), irq);
        QCOMPARE(form.cardNo()->text(), cardNo);
    }

    void initialNumberReadsNo() {
        Form form;
        QVERIFY(form.show());
        QTest::mouseClick(form.read(), Qt::LeftButton);
        QVERIFY2(form.messages.texts().isEmpty(), qPrintable(form.messages.texts().join('\n')));
        QCOMPARE(form.ioBase()->text(), QStringLiteral("NO"));
        QCOMPARE(form.irq()->text(), QStringLiteral("NO"));
        QCOMPARE(form.cardNo()->text(), QStringLiteral("255"));
    }

    void everyPressRescansAndOverwritesTheResults() {
        Form form;
        QVERIFY(form.show());
        form.readCard(QStringLiteral("1"));
        QVERIFY2(form.messages.texts().isEmpty(), qPrintable(form.messages.texts().join('\n')));
        const qint64 afterFirst = traceSize();
        QVERIFY(afterFirst > 0);
        form.ioBase()->setText(QStringLiteral("typed"));
        form.irq()->setText(QStringLiteral("by hand"));
        QTest::mouseClick(form.read(), Qt::LeftButton);
        QVERIFY2(traceSize() > afterFirst, "the second Read touched no port");
        QCOMPARE(form.ioBase()->text(), QStringLiteral("300H"));
        QCOMPARE(form.irq()->text(), QStringLiteral("5"));
    }

    void textThatIsNoCardNumberIsReported_data() {
        QTest::addColumn<QString>("cardNo");
        QTest::addColumn<QString>("named");
        QTest::newRow("empty") << ""
                               << "empty";
        QTest::newRow("letters") << "abc"
                                 << "\"abc\"";
        QTest::newRow("one above the highest") << "32768"
                                               << "32768";
        QTest::newRow("one below the lowest") << "-32769"
                                              << "-32769";
        QTest::newRow("rich text stays plain") << "<b>7</b>"
                                               << "\"<b>7</b>\"";
    }
    void textThatIsNoCardNumberIsReported() {
        QFETCH(QString, cardNo);
        QFETCH(QString, named);
        Form form;
        QVERIFY(form.show());
        form.readCard(QStringLiteral("1"));
        const qint64 before = traceSize();
        form.readCard(cardNo);
        QCOMPARE(form.messages.texts().size(), 1);
        QVERIFY2(form.messages.texts()[0].contains(named), qPrintable(form.messages.texts()[0]));
        QVERIFY(form.messages.texts()[0].contains(QLatin1String("-32768 to 32767")));
        QCOMPARE(form.messages.icons()[0], QMessageBox::Warning);
        QCOMPARE(form.ioBase()->text(), QStringLiteral("300H"));
        QCOMPARE(form.irq()->text(), QStringLiteral("5"));
        QCOMPARE(form.cardNo()->text(), cardNo);
        QCOMPARE(traceSize(), before);  // the library was not asked
        QVERIFY(form.window.isVisible());
    }

    void missingLibraryIsReportedAndTriedAgain() {
        const QString folder = QDir(testPaths().scratch).filePath(QStringLiteral("later"));
        QVERIFY(QDir().mkpath(folder));
        const QString library = QDir(folder).filePath(QStringLiteral("libslotscan.so.1"));
        Form form(library);
        QVERIFY(form.show());
        form.readCard(QStringLiteral("1"));
        QCOMPARE(form.messages.texts().size(), 1);
        const QString& text = form.messages.texts()[0];
        QVERIFY2(text.contains(library + QLatin1String(" cannot be loaded")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromLocal8Bit(std::strerror(ENOENT))), qPrintable(text));
        QCOMPARE(form.ioBase()->text(), QStringLiteral("无"));
        QCOMPARE(form.irq()->text(), QStringLiteral("无"));
        QVERIFY(form.window.isVisible());

        QVERIFY(copyLibrariesTo(folder));
        QTest::mouseClick(form.read(), Qt::LeftButton);
        QCOMPARE(form.messages.texts().size(), 1);
        QCOMPARE(form.ioBase()->text(), QStringLiteral("300H"));
        QCOMPARE(form.irq()->text(), QStringLiteral("5"));
    }

    void libraryWithoutTheFunctionIsReported() {
        const QString library = QStringLiteral(CARDPEEK_TEST_LIBDIR "/libportvex.so.1");
        QVERIFY(QFileInfo::exists(library));
        Form form(library);
        QVERIFY(form.show());
        form.readCard(QStringLiteral("1"));
        form.readCard(QStringLiteral("1"));
        QCOMPARE(form.messages.texts().size(), 2);
        QVERIFY2(form.messages.texts()[0].contains(library + QLatin1String(" has no function "
                                                                           "GetIOBaseByCardNo")),
                 qPrintable(form.messages.texts()[0]));
        QCOMPARE(form.ioBase()->text(), QStringLiteral("无"));
        QCOMPARE(form.irq()->text(), QStringLiteral("无"));
    }

    void enterAndEscapePressNoButton() {
        Form form;
        QVERIFY(form.show());
        form.cardNo()->setText(QStringLiteral("1"));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(form.cardNo(), key);
        }
        QTest::qWait(50);
        QCOMPARE(form.ioBase()->text(), QStringLiteral("无"));
        QVERIFY(form.window.isVisible());
        QVERIFY(!form.read()->isDefault() && !form.exit()->isDefault());
        QVERIFY(form.messages.texts().isEmpty());
    }

    void focusedButtonAnswersTheKeyboard() {
        Form form;
        QVERIFY(form.show());
        form.cardNo()->setText(QStringLiteral("1"));
        form.read()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.read(), Qt::Key_Space);
        QVERIFY2(form.messages.texts().isEmpty(), qPrintable(form.messages.texts().join('\n')));
        QCOMPARE(form.ioBase()->text(), QStringLiteral("300H"));
        form.ioBase()->clear();
        QTest::keyClick(form.read(), Qt::Key_Return);
        QCOMPARE(form.ioBase()->text(), QStringLiteral("300H"));
    }

    void identifiesItselfAsCardpeek() {
        AppIdentity::apply();
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Cardpeek"));
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.00"));
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("cardpeek"));
        const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
        QVERIFY(!QApplication::windowIcon().pixmap(32, 32).toImage().isNull());
    }

    // These two run the application's event loop as the program does and check
    // that it returns.
    void exitEndsTheProgram() {
        checkProgramEndsWhen([](Form& form) { form.exit()->click(); });
    }
    void closingTheWindowEndsTheProgram() {
        checkProgramEndsWhen([](Form& form) { form.window.close(); });
    }

  private:
    template <typename Action>
    void checkProgramEndsWhen(Action action) {
        Form form;
        QVERIFY(form.show());
        bool timedOut = false;
        QTimer::singleShot(0, &form.window, [&] { action(form); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            QApplication::exit(1);
        });
        watchdog.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!timedOut);
        QVERIFY(!form.window.isVisible());
    }
};

int runWindowTests(int argc, char** argv) {
    FrmPciReadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmpciread.moc"
