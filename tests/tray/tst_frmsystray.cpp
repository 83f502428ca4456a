#include "tray/frmSysTray.h"
#include "tray/trayhost.h"
#include "tray/trayicon.h"
#include "tray/traysetup.h"

#include "common/settingsstore.h"
#include "common/version.h"
#include "tests/support/temphome.h"
#include "tests/support/warnings.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QTest>

using namespace chimewell;
using tray::frmSysTray;

namespace {

class FakeHost final : public tray::TrayHost
{
public:
    QStringList calls;
    void saytime() override { calls << QStringLiteral("saytime"); }
    void setClockShown(bool shown) override { calls << (shown ? QStringLiteral("shown") : QStringLiteral("hidden")); }
    void showSettings(int tab) override { calls << QStringLiteral("settings %1").arg(tab); }
    void showAbout() override { calls << QStringLiteral("about"); }
    void exitFromTray() override { calls << QStringLiteral("exit"); }
};

// The menu as "caption|key" per item ("-" for a line, "(off)" when disabled),
// with the default item marked "*", hidden items left out.
QStringList model(const frmSysTray &t)
{
    QStringList out;
    for (int i = 0; i < t.menuItemCount(); ++i) {
        const QAction *a = t.mnuSysTray(i);
        if (!a->isVisible())
            continue;
        QString s = (a->isSeparator() ? QStringLiteral("-") : a->text()) + QLatin1Char('|') + a->data().toString();
        if (!a->isEnabled())
            s += QStringLiteral("(off)");
        if (t.mnuPopup()->defaultAction() == a)
            s += QLatin1Char('*');
        out << s;
    }
    return out;
}

const QStringList kSetUp{
    QStringLiteral("&Hide the clock|hide"), QStringLiteral("-|"), QStringLiteral("&Show the clock|show"),
    QStringLiteral("-|"), QStringLiteral("&Main Options|mainoptions"), QStringLiteral("-|"),
    QStringLiteral("&About Chimewell|about"), QStringLiteral("-|"), QStringLiteral("&Exit|exit*"),
};

} // namespace

class TestFrmSysTray final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { testing::failOnUnexpectedWarnings(); }

    // Each row runs operations on a freshly set-up tray: "remove N",
    // "disable N", "default N", "add CAPTION", "removeall".
    void menuModel_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("defaultIndex");

        QTest::newRow("set-up: nine items, Exit in bold") << QStringList() << kSetUp << 8;
        QStringList removed = kSetUp;
        removed.removeAt(2);
        QTest::newRow("removing an item moves the later ones down, the default stays on Exit")
            << QStringList{QStringLiteral("remove 2")} << removed << 7;
        removed = kSetUp;
        removed.removeAt(0);
        QTest::newRow("removing item 0 removes it, no blank item is left")
            << QStringList{QStringLiteral("remove 0")} << removed << 7;
        removed = kSetUp;
        removed.removeLast();
        removed[0] += QLatin1Char('*');
        QTest::newRow("removing the default makes item 0 the default")
            << QStringList{QStringLiteral("remove 8")} << removed << 0;
        QTest::newRow("indices out of range change nothing")
            << QStringList{QStringLiteral("remove 9"), QStringLiteral("remove -1"), QStringLiteral("disable 9"),
                           QStringLiteral("disable -1")}
            << kSetUp << 8;
        QStringList off = kSetUp;
        off[4] += QStringLiteral("(off)");
        QTest::newRow("disable one item") << QStringList{QStringLiteral("disable 4")} << off << 8;
        QStringList first = kSetUp;
        first[0] += QLatin1Char('*');
        first[8].chop(1);
        QTest::newRow("an invalid default falls back to item 0")
            << QStringList{QStringLiteral("default 42")} << first << 0;
        QTest::newRow("emptied and filled again: the first item takes index 0")
            << QStringList{QStringLiteral("removeall"), QStringLiteral("add Again")}
            << QStringList{QStringLiteral("Again|Again*")} << 0;
    }
    void menuModel()
    {
        QFETCH(QStringList, ops);
        QFETCH(QStringList, expected);
        QFETCH(int, defaultIndex);
        testing::TempHome home;
        FakeHost host;
        frmSysTray t;
        tray::setUpTray(t, host);
        for (const QString &op : std::as_const(ops)) {
            const QString arg = op.section(QLatin1Char(' '), 1);
            if (op.startsWith(QLatin1String("remove ")))
                t.RemoveMenuItem(arg.toInt());
            else if (op.startsWith(QLatin1String("disable ")))
                t.EnableMenuItem(arg.toInt(), false);
            else if (op.startsWith(QLatin1String("default ")))
                t.setDefaultMenuIndex(arg.toInt());
            else if (op.startsWith(QLatin1String("add ")))
                QCOMPARE(t.AddMenuItem(arg, arg), t.menuItemCount() - 1);
            else if (op == QLatin1String("removeall"))
                while (t.mnuSysTray(0)->isVisible())
                    t.RemoveMenuItem(t.menuItemCount() - 1);
        }
        QCOMPARE(model(t), expected);
        QCOMPARE(t.DefaultMenuIndex(), defaultIndex);
        // The menu shown is the model, in the same order.
        QCOMPARE(t.mnuPopup()->actions().size(), t.menuItemCount());
        for (int i = 0; i < t.menuItemCount(); ++i)
            QCOMPARE(t.mnuPopup()->actions().at(i), t.mnuSysTray(i));
    }

    // What each menu item does, through the menu's own click.
    void menuClick_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("minimise");
        QTest::newRow("hide") << 0 << QStringList{QStringLiteral("hidden")} << "True";
        QTest::newRow("show") << 2 << QStringList{QStringLiteral("shown")} << "False";
        QTest::newRow("main options: first tab") << 4 << QStringList{QStringLiteral("settings 0")} << "unset";
        QTest::newRow("about") << 6 << QStringList{QStringLiteral("about")} << "unset";
        QTest::newRow("exit") << 8 << QStringList{QStringLiteral("exit")} << "unset";
        QTest::newRow("a line does nothing") << 1 << QStringList() << "unset";
    }
    void menuClick()
    {
        QFETCH(int, index);
        QFETCH(QStringList, calls);
        QFETCH(QString, minimise);
        testing::TempHome home;
        FakeHost host;
        frmSysTray t;
        tray::setUpTray(t, host);
        t.mnuSysTray(index)->trigger();
        QCOMPARE(host.calls, calls);
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("minimise"), QStringLiteral("unset")), minimise);
    }

    void mouseOnTheIcon()
    {
        testing::TempHome home;
        FakeHost host;
        frmSysTray t;
        tray::setUpTray(t, host);
        // A double click is a press, then the double-click event: one saytime.
        Q_EMIT t.SysTrayMouseDown(frmSysTray::Left);
        Q_EMIT t.SysTrayDoubleClick(frmSysTray::Left);
        QCOMPARE(host.calls, QStringList{QStringLiteral("saytime")});
        QVERIFY(!t.mnuPopup()->isVisible());
        // A right press opens the menu with Exit as its bold item.
        Q_EMIT t.SysTrayMouseDown(frmSysTray::Right);
        QTRY_VERIFY(t.mnuPopup()->isVisible());
        QCOMPARE(t.mnuPopup()->defaultAction()->text(), QStringLiteral("&Exit"));
        // Opened already (the tray does it itself on a press): not popped again.
        const QPoint at = t.mnuPopup()->pos();
        Q_EMIT t.SysTrayMouseDown(frmSysTray::Right);
        QCOMPARE(t.mnuPopup()->pos(), at);
        t.mnuPopup()->hide();
        QCOMPARE(host.calls.size(), 1);
        QCOMPARE(t.ToolTip(), QStringLiteral("Click me for options. Chimewell ") + QStringLiteral(CHIMEWELL_VERSION));
        // Headless: no tray, no icon, and the form works on without one.
        QVERIFY(!t.isIconShown());
    }

    // The face is drawn for each size: it fills its square at every size a
    // tray asks for, with no blur from scaling a picture of another size.
    void iconAtEverySize_data()
    {
        QTest::addColumn<int>("size");
        for (int s : {16, 22, 24, 26, 32, 48, 64, 128})
            QTest::addRow("%d px", s) << s;
    }
    void iconAtEverySize()
    {
        QFETCH(int, size);
        const QImage img = tray::trayIcon().pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(size, size));
        int left = size, right = -1, top = size, bottom = -1, opaque = 0, inkish = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() < 128)
                    continue;
                ++opaque;
                if (c.alpha() >= 200 && c.lightness() < 90)
                    ++inkish;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        // Nearly edge to edge, mostly covered, and with a
        // solid dark outline (a scaled-down picture loses it to grey).
        QVERIFY2(right - left + 1 >= size * 0.9 - 1.5 && bottom - top + 1 >= size * 0.9 - 1.5,
                 qPrintable(QStringLiteral("face spans %1x%2").arg(right - left + 1).arg(bottom - top + 1)));
        QVERIFY(opaque > size * size / 2);
        QVERIFY(inkish >= size);
    }
};

QTEST_MAIN(TestFrmSysTray)
#include "tst_frmsystray.moc"
