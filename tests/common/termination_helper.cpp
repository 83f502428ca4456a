// The program ended by the session in the termination tests: takes its
// single-instance lock, then writes the store without a break (a start-up
// burst in a nested event loop, then generation after generation from the
// main loop) until a signal ends it. Each generation writes Gen, then Big,
// a value that names its generation. Prints "up" once the lock is held.
#include "common/settingsstore.h"
#include "common/singleinstance.h"
#include "common/termination.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

using namespace chimewell;

namespace {

const QString kApp = QStringLiteral("TermTest");
const QString kSection = QStringLiteral("Data");

QString big(qint64 gen) { return QStringLiteral("g%1|").arg(gen) + QString(20000, QLatin1Char('x')) + QStringLiteral("|end"); }

qint64 g_gen = 0;

void writeGeneration()
{
    ++g_gen;
    store::write(kApp, kSection, QStringLiteral("Gen"), QString::number(g_gen));
    store::write(kApp, kSection, QStringLiteral("Big"), big(g_gen));
}

} // namespace

int main(int argc, char *argv[])
{
    installTerminationHandler();
    QCoreApplication app(argc, argv);
    SingleInstance instance(QStringLiteral("termtest"));
    if (!instance.isFirst())
        return 3;
    std::puts("up");
    std::fflush(stdout);
    g_gen = store::read(kApp, kSection, QStringLiteral("Gen"), QStringLiteral("0")).toLongLong();

    // Start-up work in a nested loop, before the main loop runs.
    QEventLoop startup;
    QTimer burst;
    int left = 10;
    QObject::connect(&burst, &QTimer::timeout, &startup, [&] {
        writeGeneration();
        if (--left == 0)
            startup.quit();
    });
    burst.start(0);
    startup.exec();
    burst.stop();

    QTimer steady;
    QObject::connect(&steady, &QTimer::timeout, &app, writeGeneration);
    steady.start(0);
    return app.exec();
}
