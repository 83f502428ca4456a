#include "common/convert.h"

#include <QGuiApplication>
#include <QPalette>

#include <cmath>

namespace chimewell::convert {

std::optional<double> toNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 400)
        return std::nullopt;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        bool ok = false;
        const qulonglong v = t.mid(2).toULongLong(&ok, 16);
        if (!ok || v > 0xffffffffULL)
            return std::nullopt;
        // Hexadecimal literals of eight digits are signed 32-bit values.
        return t.size() - 2 > 4 ? double(qint32(quint32(v))) : double(qint16(quint16(v)));
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> toWhole(const QString &text, qint64 min, qint64 max)
{
    const auto v = toNumber(text);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (r < double(min) || r > double(max))
        return std::nullopt;
    return qint64(r);
}

QString generalNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    s.replace(QLatin1String("e+"), QLatin1String("E+"));
    s.replace(QLatin1String("e-"), QLatin1String("E-"));
    return s;
}

std::optional<QColor> toColour(const QString &text)
{
    const auto v = toNumber(text);
    if (!v || *v < -2147483648.0 || *v > 4294967295.0)
        return std::nullopt;
    const quint32 c = quint32(qint64(std::nearbyint(*v)));
    if (c & 0x80000000u) {
        // A system colour: index into the desktop palette.
        const QPalette pal = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
        switch (c & 0xff) {
        case 4: return pal.color(QPalette::Window);      // menu bar
        case 5: return pal.color(QPalette::Base);        // window background
        case 8: return pal.color(QPalette::WindowText);  // window text
        case 15: return pal.color(QPalette::Button);     // button face
        case 18: return pal.color(QPalette::ButtonText); // button text
        default: return pal.color(QPalette::Window);
        }
    }
    if (c > 0xffffff)
        return std::nullopt;
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}

QString fromColour(const QColor &colour)
{
    const quint32 v = quint32(colour.red()) | (quint32(colour.green()) << 8) | (quint32(colour.blue()) << 16);
    return QString::number(qint32(v));
}

bool toBoolean(const QString &text)
{
    if (text.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    const auto v = toNumber(text);
    return v && *v != 0;
}

} // namespace chimewell::convert
