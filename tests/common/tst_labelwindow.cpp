#include "common/labelwindow.h"

#include "common/settingsstore.h"
#include "tests/support/temphome.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace chimewell;

namespace {

// Sends one mouse event to the label, at a point given in screen pixels.
void mouse(QLabel *label, QEvent::Type type, Qt::MouseButton button, QPoint global)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(label->mapFromGlobal(global)), QPointF(global),
                  type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(label, &e);
}

QString stored(const char *key) { return store::value(QStringLiteral("Data"), QLatin1String(key)); }

} // namespace

class TestLabelWindow final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A drag with either button, pointer moves in screen pixels from a grip
    // at (110, 110) on a window at (100, 100).
    void mouseOnTheLabel_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("windowAfter");
        QTest::addColumn<QString>("storedX");
        QTest::addColumn<QString>("storedY");
        QTest::addColumn<bool>("menuOpen");
        QTest::newRow("left drag moves and stores twips") << int(Qt::LeftButton) << QPoint(190, 150) << "2850"
                                                          << "2250" << false;
        QTest::newRow("right press never drags, opens the menu")
            << int(Qt::RightButton) << QPoint(100, 100) << "" << "" << true;
    }
    void mouseOnTheLabel()
    {
        QFETCH(int, button);
        QFETCH(QPoint, windowAfter);
        QFETCH(QString, storedX);
        QFETCH(QString, storedY);
        QFETCH(bool, menuOpen);
        testing::TempHome home;
        LabelWindow w(QStringLiteral("frm_test"), QStringLiteral("lab_test"), {"TestLeft", "TestTop"});
        auto *menu = new QMenu(&w);
        menu->addAction(QStringLiteral("Close this window"));
        w.setPopupMenu(menu);
        w.label()->setGeometry(0, 0, 100, 30);
        w.resize(100, 30);
        w.move(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        const auto b = Qt::MouseButton(button);
        mouse(w.label(), QEvent::MouseButtonPress, b, {110, 110});
        for (const QPoint p : {QPoint(150, 130), QPoint(200, 160)})
            mouse(w.label(), QEvent::MouseMove, b, p);
        mouse(w.label(), QEvent::MouseButtonRelease, b, {200, 160});
        w.flushPlace();

        QCOMPARE(w.pos(), windowAfter);
        QVERIFY(!w.isDragging());
        QCOMPARE(stored("TestLeft"), storedX);
        QCOMPARE(stored("TestTop"), storedY);
        QCOMPARE(menu->isVisible(), menuOpen);
        menu->hide();
    }

    void doubleClickIsPassedOn()
    {
        testing::TempHome home;
        LabelWindow w(QStringLiteral("frm_test"), QStringLiteral("lab_test"), {"TestLeft", "TestTop"});
        QSignalSpy spy(&w, &LabelWindow::labelDoubleClicked);
        mouse(w.label(), QEvent::MouseButtonDblClick, Qt::RightButton, {5, 5});
        QCOMPARE(spy.count(), 0);
        mouse(w.label(), QEvent::MouseButtonDblClick, Qt::LeftButton, {5, 5});
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestLabelWindow)
#include "tst_labelwindow.moc"
