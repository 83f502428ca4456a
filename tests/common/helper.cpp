// A second process for the tests of the common library: writes the store
// alongside others, writes big values until it is killed, or holds a program's
// single-instance lock.
//
//   common_helper write APP SECTION PREFIX COUNT [START_MS]
//       writes PREFIX0..PREFIX<COUNT-1> = "<prefix><i>:value", all starting at
//       the wall-clock time START_MS (ms since the epoch) so writers overlap
//   common_helper churn APP SECTION KEYS SIZE
//       rewrites KEYS values of SIZE characters, generation after generation,
//       until killed; values are "g<gen>|<filler>|end"
//   common_helper read APP SECTION KEY
//       prints the value (UTF-8, no newline); exit 1 when it is missing
//   common_helper hold NAME MS
//       takes SingleInstance(NAME), prints "held" or "busy", keeps it MS ms
//       (forever when MS < 0)
#include "common/settingsstore.h"
#include "common/singleinstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cstdio>

using namespace chimewell;

namespace {

QString churnValue(qint64 generation, int size)
{
    const QString head = QStringLiteral("g%1|").arg(generation);
    const QString tail = QStringLiteral("|end");
    const QChar fill = QChar(u'a' + char16_t(generation % 26));
    return head + QString(qMax(0, size - int(head.size() + tail.size())), fill) + tail;
}

int write(const QStringList &a)
{
    if (a.size() < 4)
        return 2;
    const int count = a.at(3).toInt();
    if (a.size() > 4) {
        const qint64 start = a.at(4).toLongLong();
        while (QDateTime::currentMSecsSinceEpoch() < start)
            QThread::msleep(1);
    }
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const QString key = a.at(2) + QString::number(i);
        if (!store::write(a.at(0), a.at(1), key, key + QStringLiteral(":value")))
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}

int read(const QStringList &a)
{
    if (a.size() < 3)
        return 2;
    const QString missing = QStringLiteral("\x01missing\x01");
    const QString value = store::read(a.at(0), a.at(1), a.at(2), missing);
    if (value == missing)
        return 1;
    const QByteArray bytes = value.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    return 0;
}

int churn(const QStringList &a)
{
    if (a.size() < 4)
        return 2;
    const int keys = a.at(2).toInt();
    const int size = a.at(3).toInt();
    // Go on from the newest generation a killed run left behind.
    qint64 start = 1;
    for (int k = 0; k < keys; ++k) {
        const QString v = store::read(a.at(0), a.at(1), QStringLiteral("k%1").arg(k));
        start = qMax(start, v.mid(1).section(QLatin1Char('|'), 0, 0).toLongLong() + 1);
    }
    std::puts("churning");
    std::fflush(stdout);
    for (qint64 g = start;; ++g) {
        for (int k = 0; k < keys; ++k)
            store::write(a.at(0), a.at(1), QStringLiteral("k%1").arg(k), churnValue(g, size));
    }
}

int hold(const QStringList &a)
{
    if (a.size() < 2)
        return 2;
    const SingleInstance lock(a.at(0));
    std::puts(lock.isFirst() ? "held" : "busy");
    std::fflush(stdout);
    const int ms = a.at(1).toInt();
    if (ms < 0) {
        for (;;)
            QThread::sleep(60);
    }
    QThread::msleep(ulong(ms));
    return lock.isFirst() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const QString mode = args.isEmpty() ? QString() : args.takeFirst();
    if (mode == QLatin1String("write"))
        return write(args);
    if (mode == QLatin1String("read"))
        return read(args);
    if (mode == QLatin1String("churn"))
        return churn(args);
    if (mode == QLatin1String("hold"))
        return hold(args);
    std::fputs("usage: common_helper write|read|churn|hold ...\n", stderr);
    return 2;
}
