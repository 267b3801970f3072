#include "CardText.h"

#include <QRegularExpression>
#include <limits>

namespace CardText {
namespace {

constexpr auto kLowest = std::numeric_limits<std::int16_t>::min();
constexpr auto kHighest = std::numeric_limits<std::int16_t>::max();

QString rangeHint() {
    return QStringLiteral("Type a whole number from %1 to %2.").arg(kLowest).arg(kHighest);
}

}  // namespace

CardNumber parseCardNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return {0, QStringLiteral("The card number box is empty.\n\n") + rangeHint()};
    }
    // Qt converts in the C locale: ASCII digits after an optional sign, nothing else.
    bool isNumber = false;
    const qlonglong wide = trimmed.toLongLong(&isNumber, 10);
    // A whole number too long for 64 bits is out of range too, not something else.
    static const QRegularExpression wholeNumber(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    if (!isNumber && !wholeNumber.match(trimmed).hasMatch()) {
        return {0, QStringLiteral("\"%1\" is not a card number.\n\n").arg(text) + rangeHint()};
    }
    if (!isNumber || wide < kLowest || wide > kHighest) {
        return {0, QStringLiteral("%1 is outside the range of card numbers.\n\n").arg(trimmed) +
                       rangeHint()};
    }
    return {static_cast<std::int16_t>(wide), {}};
}

QString formatIOBase(std::uint16_t ioBase) {
    return QString::number(ioBase, 16).toUpper() + QLatin1Char('H');
}

QString formatIrq(std::uint16_t irq) {
    return QString::number(irq);
}

}  // namespace CardText
