// weblink on the real platform: the desktop's text/html handler found through
// mimeapps.list and its desktop entry, started with the address as exactly one
// argument and no shell in between.
#include "clock/weblink.h"

#include "common/dialogs.h"
#include "tests/support/temphome.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace chimewell;

namespace {

bool writeFile(const QString &path, const QByteArray &text, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return false;
    f.close();
    return !executable || f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

class TestWeblinkReal final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void handlers_data()
    {
        QTest::addColumn<QString>("handler"); // "recorder", "missing program" or "" for none
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("a registered browser gets the address as one argument") << "recorder" << QStringList();
        QTest::newRow("no handler for web pages")
            << "" << QStringList{QStringLiteral("BROWSER NOT FOUND\nCould not find associated browser!")};
        QTest::newRow("the handler's program is gone")
            << "missing program" << QStringList{QStringLiteral("URL FAILED\nWeb Page not Opened")};
    }
    void handlers()
    {
        QFETCH(QString, handler);
        QFETCH(QStringList, messages);
        testing::TempHome home;
        // Nothing from the machine's own desktop settings.
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home.path(QStringLiteral("configdirs"))));
        qunsetenv("XDG_CURRENT_DESKTOP");

        const QString record = home.path(QStringLiteral("arguments"));
        const QString recorder = home.path(QStringLiteral("bin/fake browser"));
        QVERIFY(writeFile(recorder,
                          "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + QFile::encodeName(record)
                              + ".part\"\nmv \"" + QFile::encodeName(record) + ".part\" \"" + QFile::encodeName(record)
                              + "\"\n",
                          true));
        if (!handler.isEmpty()) {
            const QString program = handler == QLatin1String("recorder") ? recorder : home.path(QStringLiteral("gone"));
            QVERIFY(writeFile(home.path(QStringLiteral("data/applications/fakebrowser.desktop")),
                              "[Desktop Entry]\nType=Application\nName=Fake\nExec=\"" + QFile::encodeName(program)
                                  + "\" --new-window %u\n"));
            QVERIFY(writeFile(home.configHome() + QStringLiteral("/mimeapps.list"),
                              "[Default Applications]\ntext/html=fakebrowser.desktop\n"));
        }
        const QString pwned = home.path(QStringLiteral("pwned"));
        const QString address = QStringLiteral("https://example.org/a b?x=1&y=$(touch ") + pwned + QStringLiteral(");'q'");

        if (!messages.isEmpty())
            dialogs::setNextAnswer(QMessageBox::Ok);
        QCOMPARE(clockcore::weblink(address), handler == QLatin1String("recorder"));
        QCOMPARE(dialogs::takeShownMessages(), messages);
        if (handler == QLatin1String("recorder")) {
            QTRY_VERIFY(QFile::exists(record));
            QFile f(record);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(f.readAll()), QStringLiteral("--new-window\n") + address + QLatin1Char('\n'));
        } else {
            QTest::qWait(300);
            QVERIFY(!QFile::exists(record));
        }
        QVERIFY(!QFile::exists(pwned));
        qunsetenv("XDG_CONFIG_DIRS");
    }
};

QTEST_MAIN(TestWeblinkReal)
#include "tst_weblink_real.moc"
