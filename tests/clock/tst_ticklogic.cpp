#include "clock/ticklogic.h"

#include <QTest>

#include <time.h>

using namespace chimewell::clockcore;

namespace {

// Sets the process's zone for the life of the object, as a desktop does
// when the user picks another.
class Zone
{
public:
    explicit Zone(const QString &name) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) { set(name); }
    ~Zone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    void set(const QString &name)
    {
        qputenv("TZ", name.toUtf8());
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

// A moment written in UTC, as a local time of the current zone.
QDateTime at(const QString &utc)
{
    return QDateTime::fromMSecsSinceEpoch(QDateTime::fromString(utc, Qt::ISODate).toMSecsSinceEpoch());
}

// `count` wall-clock minutes from `from` in a zone that keeps its offset.
QStringList minutes(const QTime &from, int count, const QString &zone)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << from.addSecs(60 * i).toString(QStringLiteral("HH:mm ")) + zone;
    return out;
}

} // namespace

class TestTickLogic final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void label_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("00:05 shows 12:05am") << QTime(0, 5) << "1" << "12:05am";
        QTest::newRow("09:05 shows 9:05am") << QTime(9, 5) << "1" << "9:05am";
        QTest::newRow("12:00 shows 12:00pm") << QTime(12, 0) << "1" << "12:00pm";
        QTest::newRow("12:05 shows 12:05pm") << QTime(12, 5) << "1" << "12:05pm";
        QTest::newRow("13:07 shows 1:07pm") << QTime(13, 7) << "1" << "1:07pm";
        QTest::newRow("23:59 shows 11:59pm") << QTime(23, 59) << "1" << "11:59pm";
        QTest::newRow("24-hour 09:05") << QTime(9, 5) << "0" << "09:05";
        QTest::newRow("24-hour 17:30") << QTime(17, 30) << "0" << "17:30";
        QTest::newRow("garbage format is 12-hour") << QTime(17, 30) << "abc" << "5:30pm";
        QTest::newRow("empty format is 12-hour") << QTime(0, 0) << "" << "12:00am";
    }
    void label()
    {
        QFETCH(QTime, time);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(labelText(time, format), text);
    }

    void announce_data()
    {
        QTest::addColumn<QString>("announce");
        QTest::addColumn<QList<int>>("minutes");
        QTest::newRow("15") << "15" << QList<int>{0, 15, 30, 45};
        QTest::newRow("7") << "7" << QList<int>{0, 7, 14, 21, 28, 35, 42, 49, 56};
        QTest::newRow("60: the hour only") << "60" << QList<int>{0};
        QTest::newRow("90: the hour only") << "90" << QList<int>{0};
        QTest::newRow("7.5") << "7.5" << QList<int>{0, 15, 30, 45};
        QTest::newRow("10 with blanks") << " 10 " << QList<int>{0, 10, 20, 30, 40, 50};
        QTest::newRow("0 is off") << "0" << QList<int>{};
        QTest::newRow("letters are off") << "abc" << QList<int>{};
        QTest::newRow("empty is off") << "" << QList<int>{};
        QTest::newRow("1e308 is the hour only") << "1e308" << QList<int>{0};
        QTest::newRow("10000 characters are off") << QString(10000, QLatin1Char(0x37)) << QList<int>{};
        QList<int> every;
        for (int m = 0; m < 60; ++m)
            every << m;
        QTest::newRow("1: every minute") << "1" << every;
    }
    void announce()
    {
        QFETCH(QString, announce);
        QFETCH(QList<int>, minutes);
        QList<int> said;
        for (int m = 0; m < 60; ++m) {
            if (announceDue(m, announce))
                said << m;
        }
        QCOMPARE(said, minutes);
    }

    void negativeAnnounceDoesNotStopTheTick()
    {
        // Any answer will do, as long as nothing breaks.
        for (int m = 0; m < 60; ++m)
            announceDue(m, QStringLiteral("-1"));
    }

    void alarms_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<bool>("due");
        QTest::newRow("0730 at 07:30") << "0730" << 7 << 30 << true;
        QTest::newRow("0730 at 07:31") << "0730" << 7 << 31 << false;
        QTest::newRow("0730 at 19:30") << "0730" << 19 << 30 << false;
        QTest::newRow("0000 at midnight") << "0000" << 0 << 0 << true;
        QTest::newRow("9999 is off") << "9999" << 99 << 99 << false;
        QTest::newRow("letters") << "abcd" << 0 << 0 << false;
        QTest::newRow("empty") << "" << 0 << 0 << false;
        QTest::newRow("three digits") << "730" << 7 << 30 << false;
        QTest::newRow("-1") << "-1" << 0 << 0 << false;
    }
    void alarms()
    {
        QFETCH(QString, stored);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(bool, due);
        QCOMPARE(alarmDue(stored, hour, minute), due);
    }

    // Each row starts the schedule at a moment (UTC) in a zone, then runs
    // steps: "<UTC moment>" ticks, "<UTC moment> slept <s>" ticks after a
    // sleep, "run <UTC from> <UTC to>" ticks 2 s into every minute between,
    // "zone <name>" changes the system zone. Handled minutes read "HH:mm zone".
    void schedule_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("handled");

        const QString london = QStringLiteral("Europe/London");
        QTest::newRow("the start minute is never handled")
            << london << "2026-12-07T09:59:50Z" << QStringList{"2026-12-07T09:59:55Z", "2026-12-07T10:00:02Z"}
            << QStringList{"10:00 GMT"};
        QTest::newRow("an early tick does nothing, a late one makes up the minute between")
            << london << "2026-12-07T10:00:30Z"
            << QStringList{"2026-12-07T10:01:02Z", "2026-12-07T10:01:40Z", "2026-12-07T10:02:59Z", "2026-12-07T10:04:00Z"}
            << QStringList{"10:01 GMT", "10:02 GMT", "10:03 GMT", "10:04 GMT"};
        QTest::newRow("set forward an hour: the hour is made up")
            << london << "2026-12-07T10:00:30Z" << QStringList{"2026-12-07T10:01:02Z", "2026-12-07T11:01:02Z"}
            << (QStringList{"10:01 GMT"} + minutes(QTime(10, 2), 60, "GMT"));
        QTest::newRow("sleep is not made up")
            << london << "2026-12-07T10:00:30Z" << QStringList{"2026-12-07T10:30:02Z slept 1800"}
            << QStringList{"10:30 GMT"};
        QTest::newRow("set back an hour: nothing twice")
            << london << "2026-12-07T10:29:30Z"
            << QStringList{"2026-12-07T10:30:02Z", "2026-12-07T09:30:02Z", "2026-12-07T10:29:02Z",
                           "2026-12-07T10:30:40Z", "2026-12-07T10:31:02Z"}
            << QStringList{"10:30 GMT", "10:31 GMT"};
        QTest::newRow("set back a day: a new day of the clock")
            << london << "2026-12-07T10:29:30Z" << QStringList{"2026-12-06T10:30:02Z", "2026-12-06T10:31:02Z"}
            << QStringList{"10:30 GMT", "10:31 GMT"};
        QTest::newRow("across midnight")
            << london << "2026-12-07T23:59:10Z" << QStringList{"2026-12-08T00:00:02Z"} << QStringList{"00:00 GMT"};

        // The night the clocks go back: 01:00 to 01:59 comes twice.
        QTest::newRow("autumn: started 01:57:40 BST, 01:58 and 01:59 BST are handled")
            << london << "2026-10-25T00:57:40Z"
            << QStringList{"2026-10-25T00:58:02Z", "2026-10-25T00:59:02Z", "2026-10-25T01:00:02Z", "2026-10-25T01:01:02Z"}
            << QStringList{"01:58 BST", "01:59 BST", "01:00 GMT", "01:01 GMT"};
        QTest::newRow("autumn: both 01:xx hours, every minute once")
            << london << "2026-10-24T23:59:30Z" << QStringList{"run 2026-10-25T00:00:02Z 2026-10-25T01:59:02Z"}
            << minutes(QTime(1, 0), 60, "BST") + minutes(QTime(1, 0), 60, "GMT");
        QTest::newRow("autumn: a late tick across the change makes up 01:59 BST")
            << london << "2026-10-25T00:57:30Z" << QStringList{"2026-10-25T00:58:02Z", "2026-10-25T01:00:30Z"}
            << QStringList{"01:58 BST", "01:59 BST", "01:00 GMT"};
        QTest::newRow("autumn: a sleep over the change")
            << london << "2026-10-25T00:40:30Z" << QStringList{"2026-10-25T00:41:02Z", "2026-10-25T01:10:02Z slept 1740"}
            << QStringList{"01:41 BST", "01:10 GMT"};
        // The night the clocks go forward: 01:00 to 01:59 is not there.
        QTest::newRow("spring: 00:59 GMT then 02:00 BST")
            << london << "2026-03-29T00:58:30Z" << QStringList{"2026-03-29T00:59:02Z", "2026-03-29T01:00:02Z"}
            << QStringList{"00:59 GMT", "02:00 BST"};
        QTest::newRow("southern autumn: Sydney repeats 02:xx")
            << "Australia/Sydney" << "2026-04-04T15:58:30Z" << QStringList{"2026-04-04T15:59:02Z", "2026-04-04T16:00:02Z"}
            << QStringList{"02:59 AEDT", "02:00 AEST"};
        QTest::newRow("Lord Howe turns back half an hour")
            << "Australia/Lord_Howe" << "2026-04-04T14:58:30Z" << QStringList{"2026-04-04T14:59:02Z", "2026-04-04T15:00:02Z"}
            << QStringList{"01:59 +11", "01:30 +1030"};

        // The user moves, or picks another zone in the desktop's settings.
        QTest::newRow("zone change west: the label moves, no minute twice")
            << london << "2026-12-07T09:59:30Z"
            << QStringList{"2026-12-07T10:00:02Z", "zone America/New_York", "2026-12-07T10:00:40Z", "2026-12-07T10:01:02Z"}
            << QStringList{"10:00 GMT", "05:01 EST"};
        QTest::newRow("zone change east within a minute: nothing handled again")
            << london << "2026-12-07T09:59:30Z"
            << QStringList{"2026-12-07T10:00:02Z", "zone Asia/Tokyo", "2026-12-07T10:00:40Z", "2026-12-07T10:01:02Z"}
            << QStringList{"10:00 GMT", "19:01 JST"};
        QTest::newRow("zone change to a half-hour offset")
            << london << "2026-12-07T09:59:30Z"
            << QStringList{"2026-12-07T10:00:02Z", "zone Asia/Kolkata", "2026-12-07T10:01:02Z"}
            << QStringList{"10:00 GMT", "15:31 IST"};
    }
    void schedule()
    {
        QFETCH(QString, zone);
        QFETCH(QString, start);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, handled);
        Zone z(zone);
        MinuteSchedule s;
        s.start(at(start));
        QStringList got;
        auto tick = [&](const QDateTime &now, qint64 sleptMs) {
            for (const QDateTime &m : s.due(now, sleptMs))
                got << m.toString(QStringLiteral("HH:mm t"));
        };
        for (const QString &step : steps) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w.at(0) == QLatin1String("zone")) {
                z.set(w.at(1));
            } else if (w.at(0) == QLatin1String("run")) {
                for (QDateTime t = at(w.at(1)); t <= at(w.at(2)); t = t.addSecs(60))
                    tick(t, 0);
            } else {
                tick(at(w.at(0)), w.size() > 2 ? w.at(2).toLongLong() * 1000 : 0);
            }
        }
        QCOMPARE(got, handled);
    }

    // Alarm 1 set to `alarm`, ticks 2 s into every minute from `from` to `to`
    // (UTC), an optional zone change at `moveAt`: the local times it rings.
    void alarmRingsOncePerDateAndTime_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("alarm");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("moveAt");
        QTest::addColumn<QString>("moveTo");
        QTest::addColumn<QStringList>("rings");
        const QString london = QStringLiteral("Europe/London");
        QTest::newRow("daily 07:30 on three days")
            << london << "0730" << "2026-12-07T00:00:02Z" << "2026-12-09T23:59:02Z" << "" << ""
            << QStringList{"2026-12-07 07:30 GMT", "2026-12-08 07:30 GMT", "2026-12-09 07:30 GMT"};
        QTest::newRow("autumn: 01:30 rings the first time only")
            << london << "0130" << "2026-10-24T23:00:02Z" << "2026-10-25T02:00:02Z" << "" << ""
            << QStringList{"2026-10-25 01:30 BST"};
        QTest::newRow("spring: 01:30 is not there")
            << london << "0130" << "2026-03-29T00:00:02Z" << "2026-03-29T02:00:02Z" << "" << "" << QStringList{};
        QTest::newRow("southern autumn: 02:15 rings once")
            << "Australia/Sydney" << "0215" << "2026-04-04T15:00:02Z" << "2026-04-04T17:00:02Z" << "" << ""
            << QStringList{"2026-04-05 02:15 AEDT"};
        QTest::newRow("moved west after the alarm: not again the same day")
            << london << "0700" << "2026-12-07T06:50:02Z" << "2026-12-07T12:30:02Z" << "2026-12-07T07:10:00Z"
            << "America/New_York" << QStringList{"2026-12-07 07:00 GMT"};
        QTest::newRow("moved east before the alarm: rings at the new zone's time")
            << "America/New_York" << "0700" << "2026-12-07T06:50:02Z" << "2026-12-07T12:30:02Z"
            << "2026-12-07T07:00:00Z" << london << QStringList{"2026-12-07 07:00 GMT"};
    }
    void alarmRingsOncePerDateAndTime()
    {
        QFETCH(QString, zone);
        QFETCH(QString, alarm);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, moveAt);
        QFETCH(QString, moveTo);
        QFETCH(QStringList, rings);
        Zone z(zone);
        MinuteSchedule s;
        s.start(at(from).addSecs(-60));
        QStringList got;
        for (QDateTime t = at(from); t <= at(to); t = t.addSecs(60)) {
            if (!moveAt.isEmpty() && t > at(moveAt) && t.addSecs(-60) <= at(moveAt))
                z.set(moveTo);
            for (const QDateTime &m : s.due(QDateTime::fromMSecsSinceEpoch(t.toMSecsSinceEpoch()), 0)) {
                if (s.alarmRings(0, alarm, m))
                    got << m.toString(QStringLiteral("yyyy-MM-dd HH:mm t"));
                QVERIFY(!s.alarmRings(1, QStringLiteral("9999"), m));
            }
        }
        QCOMPARE(got, rings);
    }

    void nextTickIsTwoSecondsIntoTheNextMinute()
    {
        const QDate d(2026, 12, 7);
        QCOMPARE(MinuteSchedule::msUntilNextTick(QDateTime(d, QTime(10, 0, 2))), 60000);
        QCOMPARE(MinuteSchedule::msUntilNextTick(QDateTime(d, QTime(10, 0, 59, 500))), 2500);
        QCOMPARE(MinuteSchedule::msUntilNextTick(QDateTime(d, QTime(10, 0, 0))), 62000);
    }
};

QTEST_GUILESS_MAIN(TestTickLogic)
#include "tst_ticklogic.moc"
