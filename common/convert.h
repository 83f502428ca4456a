#pragma once

#include <QColor>
#include <QString>
#include <optional>

// Stored texts to numbers and colours, the way the stored values were always
// read: blanks around a number are allowed, anything else that is not a number
// gives no value (the caller then keeps its fallback).
namespace chimewell::convert {

// A decimal number ("15", "-1", "7.5", "1e308", "&H1F" hexadecimal); none for
// other texts, empty text, or values that are not finite.
std::optional<double> toNumber(const QString &text);
// A whole number in [min, max], or none.
std::optional<qint64> toWhole(const QString &text, qint64 min, qint64 max);
// The shortest general form of a number: no trailing zeros, a decimal point
// only for a fraction, at most 15 significant digits ("4", "0.5", "0.933333333333333").
QString generalNumber(double value);
// A stored 32-bit colour value (0x00BBGGRR as signed decimal text; the system
// colours 0x80000000 + index map to the desktop's palette).
std::optional<QColor> toColour(const QString &text);
// The stored form of a colour.
QString fromColour(const QColor &colour);
// True for "True" in any letter case and for non-zero numbers.
bool toBoolean(const QString &text);

} // namespace chimewell::convert
