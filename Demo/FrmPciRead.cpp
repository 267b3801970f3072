// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "FrmPciRead.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <limits>

#include "CardText.h"
#include "FormDesign.h"

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect toQRect(const Twips::Rect& twips, double dpiX, double dpiY) {
    const Twips::Rect r = Twips::toPixels(twips, dpiX, dpiY);
    return {r.left, r.top, r.width, r.height};
}

QFont kaitiFont(qreal pointSize) {
    QFont font;
    QStringList faces;
    for (const std::string_view face : FormDesign::kLabelFaces) faces << fromUtf8(face);
    font.setFamilies(faces);
    font.setPointSizeF(pointSize);
    font.setWeight(static_cast<QFont::Weight>(FormDesign::kLabelWeight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QLabel* makeLabel(const QString& text, qreal pointSize, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(kaitiFont(pointSize));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* makeTextBox(const QString& name, const QString& text, QWidget* parent) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

// A button that no key presses unless it has the focus: Space or Enter then.
QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setDefault(false);
    button->setAutoDefault(true);
    return button;
}

}  // namespace

FrmPciRead::FrmPciRead(QString slotscanLibraryFile, QWidget* parent)
    : QWidget(parent), slotscan_(std::move(slotscanLibraryFile)) {
    setObjectName(QStringLiteral("FrmPciRead"));
    setWindowTitle(fromUtf8(FormDesign::kCaption));
    createControls();
    placeControls();
    connect(readCardNO_, &QPushButton::clicked, this, &FrmPciRead::readCard);
    connect(command1_, &QPushButton::clicked, this, &QWidget::close);
}

void FrmPciRead::createControls() {
    label1_ = makeLabel(fromUtf8(FormDesign::kLabel1Text), FormDesign::kLabel1Points, this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QPalette palette = label1_->palette();
    const FormDesign::Colour colour = FormDesign::kLabel1Colour;
    palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
    label1_->setPalette(palette);

    for (std::size_t i = 0; i < label2_.size(); ++i) {
        label2_[i] =
            makeLabel(fromUtf8(FormDesign::kLabel2Texts[i]), FormDesign::kLabel2Points, this);
        label2_[i]->setObjectName(QStringLiteral("Label2"));
        label2_[i]->setProperty("index", static_cast<int>(i));
    }

    txtCardNo_ = makeTextBox(QStringLiteral("txtCardNo"), fromUtf8(FormDesign::kCardNoText), this);
    txtIOBase_ =
        makeTextBox(QStringLiteral("txtIOBase"), fromUtf8(FormDesign::kNoResultText), this);
    txtIRQNO_ = makeTextBox(QStringLiteral("txtIRQNO"), fromUtf8(FormDesign::kNoResultText), this);
    readCardNO_ =
        makeButton(QStringLiteral("ReadCardNO"), fromUtf8(FormDesign::kReadCaption), this);
    command1_ = makeButton(QStringLiteral("Command1"), fromUtf8(FormDesign::kExitCaption), this);

    // Tab order: the card number, the two results, Exit, then Read.
    setTabOrder(txtCardNo_, txtIOBase_);
    setTabOrder(txtIOBase_, txtIRQNO_);
    setTabOrder(txtIRQNO_, command1_);
    setTabOrder(command1_, readCardNO_);
    txtCardNo_->setFocus();
}

void FrmPciRead::placeControls() {
    const QScreen* display = screen();
    const double dpiX = display->logicalDotsPerInchX();
    const double dpiY = display->logicalDotsPerInchY();
    const auto place = [dpiX, dpiY](QWidget* control, const Twips::Rect& twips) {
        control->setGeometry(toQRect(twips, dpiX, dpiY));
    };

    using namespace FormDesign;
    const QRect form = toQRect(kForm, dpiX, dpiY);
    resize(form.size());
    move(form.topLeft());

    place(label1_, kLabel1);
    for (std::size_t i = 0; i < label2_.size(); ++i) place(label2_[i], kLabel2[i]);
    place(txtCardNo_, kTxtCardNo);
    place(txtIOBase_, kTxtIOBase);
    place(txtIRQNO_, kTxtIRQNO);
    place(readCardNO_, kReadCardNO);
    place(command1_, kCommand1);
}

void FrmPciRead::readCard() {
    const CardText::CardNumber cardNo = CardText::parseCardNumber(txtCardNo_->text().toStdString());
    if (!cardNo.ok()) {
        reportProblem(QString::fromStdString(cardNo.problem));
        return;
    }
    if (const auto problem = slotscan_.bind()) {
        reportProblem(*problem);
        return;
    }
    if (const auto card = slotscan_.getIOBaseByCardNo(cardNo.value)) {
        txtIOBase_->setText(QString::fromStdString(CardText::formatIOBase(card->ioBase)));
        txtIRQNO_->setText(QString::fromStdString(CardText::formatIrq(card->irq)));
    } else {
        txtIOBase_->setText(fromUtf8(FormDesign::kNotFoundText));
        txtIRQNO_->setText(fromUtf8(FormDesign::kNotFoundText));
    }
}

void FrmPciRead::reportProblem(const QString& message) {
    QMessageBox box(QMessageBox::Warning, fromUtf8(FormDesign::kMessageTitle), message,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
