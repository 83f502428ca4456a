#pragma once

#include <QLoggingCategory>
#include <QStringList>

// Collects the program's own log lines ("category: message", the info-level
// lines other programs and the end-to-end tests read) while a test runs;
// everything else, warnings included, goes on to Qt's (and QTest's) handler.
namespace chimewell::testing {

inline QStringList &capturedLog()
{
    static QStringList lines;
    return lines;
}

inline QtMessageHandler &previousHandler()
{
    static QtMessageHandler previous = nullptr;
    return previous;
}

inline void captureHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    const QString category = QString::fromLatin1(ctx.category ? ctx.category : "");
    if (type == QtInfoMsg && category.startsWith(QLatin1String("chimewell.")))
        capturedLog() << category + QStringLiteral(": ") + msg;
    else if (previousHandler())
        previousHandler()(type, ctx, msg);
}

// Switches every chimewell category on (debug lines off) and starts collecting.
inline void startLogCapture()
{
    if (!previousHandler())
        previousHandler() = qInstallMessageHandler(captureHandler);
    QLoggingCategory::setFilterRules(QStringLiteral("chimewell.*=true\nchimewell.*.debug=false"));
}

// The messages of one category, in order.
inline QStringList capturedLines(const QString &category)
{
    QStringList out;
    const QString prefix = category + QStringLiteral(": ");
    for (const QString &l : std::as_const(capturedLog())) {
        if (l.startsWith(prefix))
            out << l.mid(prefix.size());
    }
    return out;
}

} // namespace chimewell::testing
