#include "clock/ticklogic.h"

#include <QTest>

using namespace chimewell::clockcore;

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

    void scheduleNeverHandlesTheStartMinute()
    {
        MinuteSchedule s;
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 59, 50));
        s.start(start);
        QVERIFY(s.due(start.addSecs(5), 0).isEmpty());
        const auto first = s.due(start.addSecs(12), 0);
        QCOMPARE(first, QList<QDateTime>{QDateTime(QDate(2026, 12, 7), QTime(10, 0))});
    }

    void scheduleHandlesEachMinuteOnce()
    {
        MinuteSchedule s;
        const QDateTime t(QDate(2026, 12, 7), QTime(10, 0, 2));
        s.start(t.addSecs(-60));
        QCOMPARE(s.due(t, 0).size(), 1);
        // A second tick in the same minute (a timer that fired early) does nothing.
        QVERIFY(s.due(t.addSecs(40), 0).isEmpty());
        // A tick that lands at second 59 and the next at second 0 of the minute after next.
        QCOMPARE(s.due(QDateTime(t.date(), QTime(10, 1, 59)), 0).size(), 1);
        const auto late = s.due(QDateTime(t.date(), QTime(10, 3, 0)), 0);
        QCOMPARE(late, (QList<QDateTime>{QDateTime(t.date(), QTime(10, 2)), QDateTime(t.date(), QTime(10, 3))}));
    }

    void scheduleMakesUpAClockSetForward()
    {
        MinuteSchedule s;
        const QDateTime t(QDate(2026, 12, 7), QTime(10, 0, 2));
        s.start(t);
        const auto due = s.due(t.addSecs(60 * 60), 0);
        QCOMPARE(due.size(), 60);
        QCOMPARE(due.first().time(), QTime(10, 1));
        QCOMPARE(due.last().time(), QTime(11, 0));
    }

    void scheduleDoesNotMakeUpSleep()
    {
        MinuteSchedule s;
        const QDateTime t(QDate(2026, 12, 7), QTime(10, 0, 2));
        s.start(t);
        const auto due = s.due(t.addSecs(30 * 60), 30 * 60 * 1000);
        QCOMPARE(due, QList<QDateTime>{QDateTime(t.date(), QTime(10, 30))});
    }

    void scheduleDoesNotRepeatMinutesAfterTheClockIsSetBack()
    {
        MinuteSchedule s;
        const QDateTime t(QDate(2026, 12, 7), QTime(10, 30, 2));
        s.start(t.addSecs(-60));
        QCOMPARE(s.due(t, 0).size(), 1);
        // Back an hour: 09:30 to 10:30 were handled already.
        QVERIFY(s.due(t.addSecs(-3600), 0).isEmpty());
        QVERIFY(s.due(t.addSecs(-60), 0).isEmpty());
        QVERIFY(s.due(t.addSecs(30), 0).isEmpty());
        QCOMPARE(s.due(t.addSecs(60), 0), QList<QDateTime>{QDateTime(t.date(), QTime(10, 31))});
    }

    void scheduleStartsOverAfterALargeSetBack()
    {
        MinuteSchedule s;
        const QDateTime t(QDate(2026, 12, 7), QTime(10, 30, 2));
        s.start(t);
        QCOMPARE(s.due(t.addDays(-1), 0).size(), 1);
        QCOMPARE(s.due(t.addDays(-1).addSecs(60), 0).size(), 1);
    }

    void scheduleAcrossMidnight()
    {
        MinuteSchedule s;
        s.start(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 10)));
        const auto due = s.due(QDateTime(QDate(2026, 12, 8), QTime(0, 0, 2)), 0);
        QCOMPARE(due, QList<QDateTime>{QDateTime(QDate(2026, 12, 8), QTime(0, 0))});
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
