// The texts of Cardpeek's boxes: reading a card number typed by the user and
// writing what the library reports.
#pragma once

#include <QString>
#include <cstdint>

namespace CardText {

// A card number read from text, or why the text is not one.
struct CardNumber {
    std::int16_t value = 0;
    QString problem;  // empty when value holds the number
    bool ok() const { return problem.isEmpty(); }
};

// Accepts decimal digits with an optional + or - in front and any spaces around
// them, from -32768 to 32767 ("255", " -1 ", "+007"). Everything else is refused
// with a message that quotes the text: empty text, inner spaces, fractions,
// exponents, hexadecimal, digit group separators and digits of other scripts.
CardNumber parseCardNumber(const QString& text);

// Upper-case hexadecimal without leading zeros, then "H": 0x300 -> "300H", 0 -> "0H".
QString formatIOBase(std::uint16_t ioBase);

// Plain decimal: 5 -> "5".
QString formatIrq(std::uint16_t irq);

}  // namespace CardText
