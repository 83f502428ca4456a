// Drags a label window across the screen with pointer moves every 4 ms (a
// 250 Hz mouse) and reports the largest gap between handled moves, the
// largest delay of a move, and whether the final place was stored. With
// --naive each move also writes the place at once, as a plain handler would.
// Run it with slowsync.so preloaded to make each write wait for a slow disk.
#include "common/labelwindow.h"
#include "common/settingsstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace chimewell;

namespace {

class Probe final : public QObject
{
public:
    QElapsedTimer clock;
    QList<qint64> handled;
    QList<qint64> delays;
    QList<qint64> postedAt;
    bool naive = false;
    QWidget *window = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove) {
            const qint64 now = clock.nsecsElapsed();
            if (handled.size() < postedAt.size())
                delays << now - postedAt.at(handled.size());
            handled << now;
            if (naive) {
                const QPoint p = static_cast<QMouseEvent *>(event)->globalPosition().toPoint() * 15;
                store::setValue(QStringLiteral("Data"), QStringLiteral("FormX"), QString::number(p.x()));
                store::setValue(QStringLiteral("Data"), QStringLiteral("FormY"), QString::number(p.y()));
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void post(QWidget *label, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint global)
{
    QCoreApplication::postEvent(label, new QMouseEvent(type, QPointF(label->mapFromGlobal(global)), QPointF(global),
                                                       button, buttons, Qt::NoModifier));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const bool naive = app.arguments().contains(QStringLiteral("--naive"));
    const int moves = naive ? 40 : 500; // a write on every move is slow indeed

    LabelWindow w(QStringLiteral("frm_bench"), QStringLiteral("lab_time"), {"FormX", "FormY"});
    w.label()->setText(QStringLiteral("12:00pm"));
    w.resize(112, 35);
    w.move(0, 0);
    w.show();
    w.label()->resize(w.size());

    Probe probe;
    probe.naive = naive;
    probe.window = &w;
    w.label()->installEventFilter(&probe); // runs before the window's own filter
    probe.clock.start();

    QWidget *label = w.label();
    const QPoint grip(10, 10);
    int step = 0;
    QTimer pointer;
    pointer.setTimerType(Qt::PreciseTimer);
    pointer.setInterval(4);
    QObject::connect(&pointer, &QTimer::timeout, &pointer, [&] {
        if (step == 0)
            post(label, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, grip);
        if (step < moves) {
            ++step;
            probe.postedAt << probe.clock.nsecsElapsed();
            post(label, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, grip + QPoint(step * 2, step));
            return;
        }
        pointer.stop();
        post(label, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, grip + QPoint(step * 2, step));
        QTimer::singleShot(50, &app, [&] { app.quit(); });
    });
    QTimer::singleShot(200, &pointer, qOverload<>(&QTimer::start));
    app.exec();

    qint64 gap = 0, delay = 0, postGap = 0;
    for (int i = 1; i < probe.handled.size(); ++i)
        gap = std::max(gap, probe.handled.at(i) - probe.handled.at(i - 1));
    for (int i = 1; i < probe.postedAt.size(); ++i)
        postGap = std::max(postGap, probe.postedAt.at(i) - probe.postedAt.at(i - 1));
    for (qint64 d : std::as_const(probe.delays))
        delay = std::max(delay, d);
    QElapsedTimer flush;
    flush.start();
    w.flushPlace();
    const QString stored = store::value(QStringLiteral("Data"), QStringLiteral("FormX")) + QLatin1Char(',')
        + store::value(QStringLiteral("Data"), QStringLiteral("FormY"));
    const QPoint expect = w.pos() * 15;
    std::printf("%s: %d moves handled of %d, largest gap between moves %.1f ms (between moves made %.1f ms), largest delay of a move %.1f ms, "
                "final place stored %s (%s), wait at the end %.0f ms\n",
                naive ? "write on every move" : "label window", int(probe.handled.size()), moves, gap / 1e6,
                postGap / 1e6, delay / 1e6, stored == QStringLiteral("%1,%2").arg(expect.x()).arg(expect.y()) ? "yes" : "NO",
                qPrintable(stored), flush.nsecsElapsed() / 1e6);
    return 0;
}
