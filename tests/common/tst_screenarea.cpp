#include "common/screenarea.h"

#include <QRandomGenerator>
#include <QTest>

using namespace chimewell;
using screenarea::Monitor;

namespace {

// Two monitors side by side, the left one with a panel along its top, the
// right one taller and lower.
const QList<Monitor> kDesk{{QRect(0, 0, 1280, 1024), QRect(0, 30, 1280, 994)},
                           {QRect(1280, 200, 1920, 1200), QRect(1280, 200, 1920, 1160)}};

bool clear(const QRect &r, const QList<QRect> &obstacles)
{
    return std::none_of(obstacles.begin(), obstacles.end(), [&](const QRect &o) { return o.intersects(r); });
}

} // namespace

class TestScreenArea final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void monitorOfAWindow_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<int>("monitor");
        QTest::newRow("inside the left one") << QRect(100, 100, 300, 200) << 0;
        QTest::newRow("mostly on the right one") << QRect(1200, 300, 400, 200) << 1;
        QTest::newRow("off to the right: the nearest") << QRect(4000, 500, 100, 100) << 1;
        QTest::newRow("above the right one, far from the left") << QRect(2000, 50, 50, 50) << 1;
        QTest::newRow("in the corner between: the nearer edge") << QRect(1300, 50, 50, 50) << 0;
        QTest::newRow("an empty rectangle goes by its corner") << QRect(QPoint(2000, 900), QSize(0, 0)) << 1;
    }
    void monitorOfAWindow()
    {
        QFETCH(QRect, window);
        QFETCH(int, monitor);
        QCOMPARE(screenarea::monitorFor(window, kDesk), monitor);
        QCOMPARE(screenarea::availableAreaFor(window, kDesk), kDesk[monitor].available);
        QCOMPARE(screenarea::monitorFor(window, {}), -1);
        QVERIFY(screenarea::availableAreaFor(window, {}).isEmpty());
    }

    // A window mostly in reach of the monitors stays; one mostly out of reach
    // (off them, in the gap between, under a panel) comes back as little
    // moved as can be into the nearest monitor's available area.
    void keptInView_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("kept");
        QTest::newRow("on the right monitor") << QRect(1600, 400, 112, 35) << QRect(1600, 400, 112, 35);
        QTest::newRow("across both, in view") << QRect(1230, 400, 112, 35) << QRect(1230, 400, 112, 35);
        QTest::newRow("half off the left stays") << QRect(-56, 400, 112, 36) << QRect(-56, 400, 112, 36);
        QTest::newRow("mostly off the left") << QRect(-57, 400, 112, 36) << QRect(0, 400, 112, 36);
        QTest::newRow("11 px in view at the right") << QRect(3189, 400, 112, 35) << QRect(3088, 400, 112, 35);
        QTest::newRow("mostly under the panel") << QRect(100, 0, 112, 35) << QRect(100, 30, 112, 35);
        QTest::newRow("in the gap above the right monitor") << QRect(2000, 50, 112, 35) << QRect(2000, 200, 112, 35);
        QTest::newRow("far off") << QRect(-6666666, -6666666, 112, 35) << QRect(0, 30, 112, 35);
        QTest::newRow("an empty rectangle by its corner")
            << QRect(QPoint(5000, 500), QSize(0, 0)) << QRect(QPoint(3200, 500), QSize(0, 0));
    }
    void keptInView()
    {
        QFETCH(QRect, rect);
        QFETCH(QRect, kept);
        QCOMPARE(screenarea::keptInView(rect, kDesk), kept);
        QCOMPARE(screenarea::keptInView(rect, {}), rect);
        QCOMPARE(screenarea::desktopArea(kDesk), QRect(0, 30, 3200, 1330));
    }

    void keptInside_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("kept"); // in an area of 640 x 482 at (0, 30)
        QTest::newRow("inside stays") << QRect(10, 40, 100, 100) << QRect(10, 40, 100, 100);
        QTest::newRow("under the panel") << QRect(-22, 0, 100, 100) << QRect(0, 30, 100, 100);
        QTest::newRow("past the lower right") << QRect(600, 500, 100, 100) << QRect(540, 412, 100, 100);
        QTest::newRow("too large: cut, top left in view") << QRect(-22, -50, 662, 900) << QRect(0, 30, 640, 482);
    }
    void keptInside()
    {
        QFETCH(QRect, rect);
        QFETCH(QRect, kept);
        QCOMPARE(screenarea::keptInside(rect, QRect(0, 30, 640, 482)), kept);
    }

    // Against every place there is, on small areas with random obstacles: the
    // place found is clear, inside, and no clear place lies nearer the wish;
    // none is found only when none exists.
    void clearPlaceIsTheNearest()
    {
        QRandomGenerator random(25);
        for (int round = 0; round < 3000; ++round) {
            const QRect area(random.bounded(-20, 20), random.bounded(-20, 20), random.bounded(1, 40),
                             random.bounded(1, 30));
            const QSize size(random.bounded(1, 20), random.bounded(1, 16));
            const QPoint wish(random.bounded(-40, 70), random.bounded(-40, 60));
            QList<QRect> obstacles;
            for (int i = random.bounded(0, 5); i > 0; --i)
                obstacles << QRect(random.bounded(-30, 60), random.bounded(-30, 50), random.bounded(1, 25),
                                   random.bounded(1, 20));

            qint64 best = -1;
            for (int x = area.left(); x + size.width() <= area.right() + 1; ++x) {
                for (int y = area.top(); y + size.height() <= area.bottom() + 1; ++y) {
                    if (!clear(QRect(QPoint(x, y), size), obstacles))
                        continue;
                    const qint64 d = qint64(x - wish.x()) * (x - wish.x()) + qint64(y - wish.y()) * (y - wish.y());
                    if (best < 0 || d < best)
                        best = d;
                }
            }
            const std::optional<QRect> found = screenarea::clearPlace(size, wish, area, obstacles);
            const QByteArray where = QStringLiteral("round %1").arg(round).toLatin1();
            QVERIFY2(found.has_value() == (best >= 0), where.constData());
            if (!found)
                continue;
            QCOMPARE(found->size(), size);
            QVERIFY2(area.contains(*found), where.constData());
            QVERIFY2(clear(*found, obstacles), where.constData());
            const QPoint off = found->topLeft() - wish;
            QCOMPARE(qint64(off.x()) * off.x() + qint64(off.y()) * off.y(), best);
        }
    }
};

QTEST_GUILESS_MAIN(TestScreenArea)
#include "tst_screenarea.moc"
