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
#include "Twips.h"

namespace {

// The window as designed, in twips.
// The form: its place on the screen and the size of its client area.
constexpr Twips::Rect kForm{1815, 1965, 4965, 3150};
constexpr Twips::Rect kLabel1{180, 108, 4500, 360};
constexpr std::array<Twips::Rect, 3> kLabel2{{
    {1188, 612, 864, 276},
    {1116, 1224, 1152, 276},
    {1080, 1728, 1152, 276},
}};
constexpr Twips::Rect kTxtCardNo{2376, 612, 768, 300};
constexpr Twips::Rect kTxtIOBase{2376, 1188, 768, 300};
constexpr Twips::Rect kTxtIRQNO{2376, 1728, 768, 300};
constexpr Twips::Rect kReadCardNO{756, 2304, 1200, 372};
constexpr Twips::Rect kCommand1{2628, 2304, 1200, 372};

// The labels' KaiTi face under its GB2312 name first, then under the names the
// installed KaiTi fonts carry on Linux.
QFont kaitiFont(qreal pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"),
                      QStringLiteral("AR PL KaitiM GB"), QStringLiteral("AR PL UKai CN")});
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
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
    setWindowTitle(QStringLiteral("Form1"));
    createControls();
    placeControls();
    connect(readCardNO_, &QPushButton::clicked, this, &FrmPciRead::readCard);
    connect(command1_, &QPushButton::clicked, this, &QWidget::close);
}

void FrmPciRead::createControls() {
    label1_ = makeLabel(QStringLiteral("PCI总线下口地址与中断信息"), 18.0, this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QPalette palette = label1_->palette();
    palette.setColor(QPalette::WindowText, QColor(64, 64, 64));
    label1_->setPalette(palette);

    const std::array<QString, 3> captions{QStringLiteral("卡号："), QStringLiteral("口地址："),
                                          QStringLiteral("中断号：")};
    for (std::size_t i = 0; i < label2_.size(); ++i) {
        label2_[i] = makeLabel(captions[i], 13.5, this);
        label2_[i]->setObjectName(QStringLiteral("Label2"));
        label2_[i]->setProperty("index", static_cast<int>(i));
    }

    txtCardNo_ = makeTextBox(QStringLiteral("txtCardNo"), QStringLiteral("255"), this);
    txtIOBase_ = makeTextBox(QStringLiteral("txtIOBase"), QStringLiteral("无"), this);
    txtIRQNO_ = makeTextBox(QStringLiteral("txtIRQNO"), QStringLiteral("无"), this);
    readCardNO_ = makeButton(QStringLiteral("ReadCardNO"), QStringLiteral("Read"), this);
    command1_ = makeButton(QStringLiteral("Command1"), QStringLiteral("Exit"), this);

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
        control->setGeometry(Twips::toPixels(twips, dpiX, dpiY));
    };

    const QRect form = Twips::toPixels(kForm, dpiX, dpiY);
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
    const CardText::CardNumber cardNo = CardText::parseCardNumber(txtCardNo_->text());
    if (!cardNo.ok()) {
        reportProblem(cardNo.problem);
        return;
    }
    if (const auto problem = slotscan_.bind()) {
        reportProblem(*problem);
        return;
    }
    if (const auto card = slotscan_.getIOBaseByCardNo(cardNo.value)) {
        txtIOBase_->setText(CardText::formatIOBase(card->ioBase));
        txtIRQNO_->setText(CardText::formatIrq(card->irq));
    } else {
        txtIOBase_->setText(QStringLiteral("NO"));
        txtIRQNO_->setText(QStringLiteral("NO"));
    }
}

void FrmPciRead::reportProblem(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Cardpeek"), message, QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
