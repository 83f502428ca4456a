// A month of minutes in simulated time: the tick's schedule, announcing and
// alarms driven the way the clock window drives them, through the clock
// changes, zone changes, clocks set by hand and sleeps a machine meets.
#include "clock/ticklogic.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <limits>
#include <time.h>

using namespace chimewell::clockcore;

namespace {

void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

QDateTime local(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms); }

qint64 utc(const char *iso) { return QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toMSecsSinceEpoch(); }

struct Event
{
    enum Kind { SetClock, Sleep, Zone } kind;
    qint64 monoMs; // when, on the monotonic clock (which stands still in a sleep)
    qint64 ms = 0; // clock set by / slept for
    QByteArray zone;
};

constexpr qint64 kMinute = 60000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

} // namespace

class TestSoak final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { qunsetenv("TZ"), tzset(); }

    void month_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("zoneChangeAt");
        QTest::addColumn<QByteArray>("newZone");
        QTest::addColumn<QList<qint64>>("dstChanges");
        QTest::addColumn<quint32>("seed");
        // London goes forward on 29 March, Sydney back on 5 April.
        QTest::newRow("March: London forward, moved to Sydney, Sydney back")
            << QByteArray("Europe/London") << utc("2026-03-15T09:00:20Z") << utc("2026-03-31T10:00:00Z")
            << QByteArray("Australia/Sydney") << QList<qint64>{utc("2026-03-29T01:00:00Z"), utc("2026-04-04T16:00:00Z")}
            << 20260315u;
        // Sydney goes forward on 4 October, London back on 25 October.
        QTest::newRow("October: Sydney forward, moved to London, London back")
            << QByteArray("Australia/Sydney") << utc("2026-10-01T09:00:20Z") << utc("2026-10-10T10:00:00Z")
            << QByteArray("Europe/London") << QList<qint64>{utc("2026-10-03T16:00:00Z"), utc("2026-10-25T01:00:00Z")}
            << 20261001u;
    }

    void month()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, start);
        QFETCH(qint64, zoneChangeAt);
        QFETCH(QByteArray, newZone);
        QFETCH(QList<qint64>, dstChanges);
        QFETCH(quint32, seed);
        setZone(zone);
        const qint64 end = start + 30 * kDay;
        const QString alarms[2] = {QStringLiteral("0130"), QStringLiteral("0215")};

        // Ten clock changes of up to an hour either way and five sleeps of a few
        // minutes to a few hours, at random times kept apart from each other
        // and from the nights the clocks change, so each is seen on its own.
        QRandomGenerator rng(seed);
        QList<qint64> taken = dstChanges;
        taken << zoneChangeAt;
        auto freeMoment = [&] {
            for (;;) {
                const qint64 t = start + kHour + qint64(rng.bounded(29 * 24)) * kHour + rng.bounded(int(kHour));
                if (std::all_of(taken.cbegin(), taken.cend(), [t](qint64 o) { return qAbs(t - o) > 6 * kHour; })) {
                    taken << t;
                    return t;
                }
            }
        };
        struct Planned
        {
            Event::Kind kind;
            qint64 wallAt;
            qint64 ms;
        };
        QList<Planned> plan;
        for (int i = 0; i < 10; ++i) {
            const qint64 by = (1 + rng.bounded(60)) * kMinute * (i % 2 ? -1 : 1);
            plan.append({Event::SetClock, freeMoment(), by});
        }
        const qint64 sleeps[5] = {3 * kMinute, 17 * kMinute, 55 * kMinute, 2 * kHour + 5 * kMinute, 4 * kHour};
        for (qint64 s : sleeps)
            plan.append({Event::Sleep, freeMoment(), s});
        plan.append({Event::Zone, zoneChangeAt, 0});
        std::sort(plan.begin(), plan.end(), [](const Planned &a, const Planned &b) { return a.wallAt < b.wallAt; });

        // The simulated machine: a wall clock (what the time of day says, ms
        // since the epoch) and a monotonic clock that the timer runs on.
        qint64 wall = start;
        qint64 mono = 0;
        qint64 wallOffset = 0; // how far the clock has been set by hand
        qint64 slept = 0;
        QList<QPair<qint64, qint64>> asleep; // [from, to) slept through, as the clock read
        QSet<qint64> handled;
        qint64 firstHandled = -1;
        qint64 lastHandled = -1;
        QHash<QString, int> rings[2];
        int said = 0;
        int ticks = 0;

        MinuteSchedule schedule;
        const QDateTime started = local(wall);
        schedule.start(started);
        const int startMinute = started.time().minute();
        bool waiting = true;
        qint64 nextTick = mono + 1000;

        auto handle = [&](const QDateTime &minute, bool present) {
            const qint64 m = minute.toMSecsSinceEpoch();
            QVERIFY2(!handled.contains(m), qPrintable(QStringLiteral("handled twice: ") + minute.toString(Qt::ISODate)));
            handled.insert(m);
            if (firstHandled < 0)
                firstHandled = m;
            lastHandled = qMax(lastHandled, m);
            if (present && announceDue(minute.time().minute(), QStringLiteral("1"))) {
                // Said while it is that minute, never for a time gone by.
                QVERIFY2(wall >= m && wall < m + kMinute, qPrintable(minute.toString(Qt::ISODate)));
                ++said;
            }
            const QString hhmm = minute.toString(QStringLiteral("HHmm"));
            const QString date = minute.date().toString(Qt::ISODate);
            for (int a = 0; a < 2; ++a) {
                const bool rang = schedule.alarmRings(a, alarms[a], minute);
                if (hhmm == alarms[a])
                    QVERIFY2(rang != rings[a].contains(date), qPrintable(alarms[a] + QLatin1Char(' ') + date));
                else
                    QVERIFY(!rang);
                if (rang)
                    ++rings[a][date];
            }
        };

        auto tick = [&] {
            ++ticks;
            const qint64 suspended = slept;
            slept = 0;
            QList<QDateTime> minutes;
            if (waiting) {
                if (local(wall).time().minute() == startMinute) {
                    nextTick = mono + 1000;
                    return;
                }
                wall += 2000; // the start-up pause
                mono += 2000;
                waiting = false;
                minutes = schedule.due(local(wall), 0);
            } else {
                minutes = schedule.due(local(wall), suspended);
            }
            for (int i = 0; i < minutes.size(); ++i)
                handle(minutes.at(i), i == minutes.size() - 1);
            nextTick = mono + MinuteSchedule::msUntilNextTick(local(wall));
        };

        int next = 0;
        while (wall < end + wallOffset) {
            const bool eventFirst = next < plan.size() && plan.at(next).wallAt <= wall - wallOffset + (nextTick - mono);
            if (!eventFirst) {
                wall += nextTick - mono;
                mono = nextTick;
                tick();
                if (QTest::currentTestFailed())
                    return;
                continue;
            }
            const Planned &p = plan.at(next++);
            const qint64 step = p.wallAt - (wall - wallOffset);
            wall += step;
            mono += step;
            switch (p.kind) {
            case Event::SetClock:
                wall += p.ms;
                wallOffset += p.ms;
                break;
            case Event::Sleep:
                asleep.append({wall, wall + p.ms});
                wall += p.ms;
                slept += p.ms;
                break;
            case Event::Zone:
                setZone(newZone);
                break;
            }
        }

        // Every minute the clock showed while the machine was awake was handled
        // (a clock set forward shows its skipped minutes too). Only the minutes
        // of a sleep, and the one it began in, may be missing.
        QVERIFY(firstHandled > 0);
        QStringList missed;
        int sleptThrough = 0;
        for (qint64 m = firstHandled; m <= lastHandled; m += kMinute) {
            if (handled.contains(m))
                continue;
            const bool inSleep = std::any_of(asleep.cbegin(), asleep.cend(), [m](const QPair<qint64, qint64> &s) {
                return m > s.first - kMinute && m < s.second;
            });
            if (inSleep)
                ++sleptThrough;
            else
                missed << local(m).toString(Qt::ISODate);
        }
        QVERIFY2(missed.isEmpty(), qPrintable(missed.mid(0, 10).join(QLatin1Char(' '))));
        QVERIFY(sleptThrough > 0);

        // Each alarm once a night at most, and on nearly every one (a sleep or a
        // night without 01:30 may take one away).
        for (int a = 0; a < 2; ++a) {
            for (auto it = rings[a].cbegin(); it != rings[a].cend(); ++it)
                QCOMPARE(it.value(), 1);
            QVERIFY2(rings[a].size() >= 24, qPrintable(QString::number(rings[a].size())));
        }
        QVERIFY(said > 40000);
        qInfo("%d ticks, %lld minutes handled, %d said, alarms %lld and %lld times", ticks, qint64(handled.size()),
              said, qint64(rings[0].size()), qint64(rings[1].size()));
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
