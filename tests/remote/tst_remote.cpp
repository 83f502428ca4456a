// The ways to the clock from outside: the command line, the desktop actions,
// the keys that may be held for the whole session, and second starts by the
// thousand.
#include "clock/frm_clock.h"
#include "common/keygrab.h"
#include "common/platform_dummy.h"
#include "common/program.h"
#include "common/secondstart.h"
#include "common/settingsstore.h"
#include "settings/frm_settings.h"
#include "remote/command.h"
#include "tests/support/logcapture.h"
#include "tests/support/temphome.h"
#include "tests/support/testclock.h"
#include "tests/support/warnings.h"

#include <QKeySequenceEdit>
#include <QLabel>
#include <QLocalSocket>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace chimewell;
using remote::Command;
using remote::CommandLine;

Q_DECLARE_METATYPE(QList<remote::Command>)
Q_DECLARE_METATYPE(QList<QKeyCombination>)

class TestRemote final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testing::startLogCapture(); }
    void init() { testing::failOnUnexpectedWarnings(); }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QList<Command>>("commands");
        const auto row = [](const char *name, const QStringList &a, int outcome, const QList<Command> &c = {}) {
            QTest::newRow(name) << a << outcome << c;
        };
        row("a plain start", {}, CommandLine::Run);
        row("say the time", {"--say-time"}, CommandLine::Run, {{Command::SayTime, {}}});
        row("in the order given", {"--show", "--settings", "--say-time"}, CommandLine::Run,
            {{Command::Show, {}}, {Command::Settings, {}}, {Command::SayTime, {}}});
        row("say, text with tags", {"--say", "\\emp\\hello"}, CommandLine::Run, {{Command::Say, "\\emp\\hello"}});
        row("say=, text with a blank", {"--say=two words"}, CommandLine::Run, {{Command::Say, "two words"}});
        row("say takes a text that looks like an option", {"--say", "--show"}, CommandLine::Run,
            {{Command::Say, "--show"}});
        row("say without its text", {"--say"}, CommandLine::Error);
        row("say with only blanks", {"--say", "  "}, CommandLine::Error);
        row("an unknown option", {"--say-time", "--bogus"}, CommandLine::Error);
        row("a stray argument", {"now"}, CommandLine::Error);
        row("help wins over a fault", {"--bogus", "-h"}, CommandLine::Help);
        row("version", {"--version"}, CommandLine::Version);
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(QList<Command>, commands);
        const CommandLine line = remote::parseCommandLine(arguments);
        QCOMPARE(int(line.outcome), outcome);
        QCOMPARE(line.commands, commands);
        QCOMPARE(line.error.isEmpty(), outcome != CommandLine::Error);
    }

    void actions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QVariantList>("parameter");
        QTest::addColumn<int>("kind"); // -1: refused
        QTest::newRow("say-time") << "say-time" << QVariantList() << int(Command::SayTime);
        QTest::newRow("show") << "show" << QVariantList() << int(Command::Show);
        QTest::newRow("settings") << "settings" << QVariantList() << int(Command::Settings);
        QTest::newRow("say with its text") << "say" << QVariantList{QStringLiteral("hi")} << int(Command::Say);
        QTest::newRow("say without") << "say" << QVariantList() << -1;
        QTest::newRow("say with a number") << "say" << QVariantList{42} << -1;
        QTest::newRow("show with a parameter") << "show" << QVariantList{QStringLiteral("x")} << -1;
        QTest::newRow("an option's name") << "--show" << QVariantList() << -1;
        QTest::newRow("unknown") << "quit" << QVariantList() << -1;
    }
    void actions()
    {
        QFETCH(QString, action);
        QFETCH(QVariantList, parameter);
        QFETCH(int, kind);
        const std::optional<Command> c = remote::actionCommand(action, parameter);
        QCOMPARE(c ? int(c->kind) : -1, kind);
    }

    // Only a key that nobody types with may be taken from every program.
    void globalKeys_data()
    {
        QTest::addColumn<QKeyCombination>("combination");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("candidate");
        QTest::newRow("Ctrl+Alt+T") << QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_T) << 0x74u
                                    << 12 << true;
        QTest::newRow("logo+F5") << QKeyCombination(Qt::MetaModifier, Qt::Key_F5) << 0xffc2u << 64 << true;
        QTest::newRow("F12 alone") << QKeyCombination(Qt::Key_F12) << 0xffc9u << 0 << true;
        QTest::newRow("Pause alone") << QKeyCombination(Qt::Key_Pause) << 0xff13u << 0 << true;
        QTest::newRow("Ctrl+Shift+a-umlaut") << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier,
                                                                Qt::Key_Adiaeresis)
                                             << 0xe4u << 5 << true;
        QTest::newRow("T alone types") << QKeyCombination(Qt::Key_T) << 0x74u << 0 << false;
        QTest::newRow("Shift+T types") << QKeyCombination(Qt::ShiftModifier, Qt::Key_T) << 0x74u << 1 << false;
        QTest::newRow("Return alone types") << QKeyCombination(Qt::Key_Return) << 0xff0du << 0 << false;
        QTest::newRow("Ctrl alone is no key") << QKeyCombination(Qt::ControlModifier, Qt::Key_Control) << 0u << 4
                                              << false;
    }
    void globalKeys()
    {
        QFETCH(QKeyCombination, combination);
        QFETCH(quint32, keysym);
        QFETCH(int, modifiers);
        QFETCH(bool, candidate);
        const X11Key key = x11Key(combination);
        QCOMPARE(key.keysym, keysym);
        if (keysym)
            QCOMPARE(int(key.modifiers), modifiers);
        QCOMPARE(isGlobalKeyCandidate(combination), candidate);
    }

    // The settings dialog's key box keeps what the clock can hold, and only that.
    void sayTimeKeyBox_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QList<QKeyCombination>>("pressed"); // none: "No key" is clicked
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("status");
        const QKeyCombination ctrlAltT(Qt::ControlModifier | Qt::AltModifier, Qt::Key_T);
        QTest::newRow("a combination") << "" << QList<QKeyCombination>{ctrlAltT} << "Ctrl+Alt+T"
                                       << "Ctrl+Alt+T says the time, wherever you are.";
        QTest::newRow("two in a row keep the first")
            << "F12" << QList<QKeyCombination>{ctrlAltT, QKeyCombination(Qt::ControlModifier, Qt::Key_X)}
            << "Ctrl+Alt+T" << "Ctrl+Alt+T says the time, wherever you are.";
        QTest::newRow("a key that types stays with the one before")
            << "F12" << QList<QKeyCombination>{QKeyCombination(Qt::Key_T)} << "F12"
            << "T cannot say the time. Choose a key with Ctrl, Alt or the logo key, or a function key.";
        QTest::newRow("no key") << "F12" << QList<QKeyCombination>() << ""
                                << "No key is set. Press one here, or give the command chimewell --say-time a key "
                                   "in the desktop's keyboard settings.";
    }
    void sayTimeKeyBox()
    {
        QFETCH(QString, before);
        QFETCH(QList<QKeyCombination>, pressed);
        QFETCH(QString, stored);
        QFETCH(QString, status);
        testing::TempHome home;
        testing::TestClock clock;
        platform::dummy::reset();
        clearEnding();
        store::setValue(QStringLiteral("Data"), QStringLiteral("SayTimeKey"), before);
        clockcore::frm_clock w;
        w.Form_Load();
        w.showSettings(6);
        QWidget *dialog = w.settingsDialog();
        QVERIFY(dialog);
        auto *box = dialog->findChild<QKeySequenceEdit *>(QStringLiteral("key_saytime"));
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("lab_saytimekey"));
        QVERIFY(box && label);
        QCOMPARE(box->keySequence().toString(), before);
        QSignalSpy finished(box, &QKeySequenceEdit::editingFinished);
        if (pressed.isEmpty())
            dialog->findChild<QPushButton *>(QStringLiteral("com_nokey"))->click();
        for (const QKeyCombination k : std::as_const(pressed))
            QTest::keyClick(box, k.key(), k.keyboardModifiers());
        if (!pressed.isEmpty())
            QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(store::value(QStringLiteral("Data"), QStringLiteral("SayTimeKey")), stored);
        QCOMPARE(box->keySequence().toString(), stored);
        QCOMPARE(label->text(), status);
        QCOMPARE(box->accessibleDescription(), status);
    }

    // Thousands of second starts at once, some of them broken: each whole
    // one arrives with its arguments, the broken ones hold nothing up, and
    // the hidden clock that they show is written to the store once.
    void secondStartsByTheThousand()
    {
        testing::TempHome home;
        testing::TestClock clock;
        platform::dummy::reset();
        clearEnding();
        store::setValue(QStringLiteral("Data"), QStringLiteral("minimise"), QStringLiteral("True"));
        clockcore::frm_clock w;
        w.Form_Load();
        SecondStartListener listener(QStringLiteral("remotetest"));
        QVERIFY(listener.isListening());
        connect(&listener, &SecondStartListener::secondStart, &w, &clockcore::frm_clock::secondStart);
        QSignalSpy starts(&listener, &SecondStartListener::secondStart);
        testing::capturedLog().clear();

        // One that never finishes and one far too long.
        QLocalSocket silent;
        silent.connectToServer(SecondStartListener::socketPath(QStringLiteral("remotetest")));
        QVERIFY(silent.waitForConnected(1000));
        QLocalSocket flood;
        flood.connectToServer(SecondStartListener::socketPath(QStringLiteral("remotetest")));
        QVERIFY(flood.waitForConnected(1000));
        flood.write(QByteArray(100 * 1024, '\0'));

        constexpr int kStarts = 2000;
        std::atomic<int> told{0};
        QThread *callers = QThread::create([&told] {
            for (int i = 0; i < kStarts; ++i) {
                const QStringList arguments = i == 0 ? QStringList{QStringLiteral("--say"), QStringLiteral("a\nb")}
                                                     : QStringList();
                told += SecondStartListener::notifyRunning(QStringLiteral("remotetest"), arguments, 5000);
            }
        });
        callers->start();
        QTRY_VERIFY_WITH_TIMEOUT(callers->isFinished(), 60000);
        delete callers;
        QCOMPARE(told.load(), kStarts);
        QTRY_COMPARE_WITH_TIMEOUT(starts.size(), kStarts, 10000);
        int withArguments = 0;
        for (const QList<QVariant> &s : std::as_const(starts)) {
            const QStringList arguments = s.first().toStringList();
            if (!arguments.isEmpty()) {
                ++withArguments;
                QCOMPARE(arguments, (QStringList{QStringLiteral("--say"), QStringLiteral("a\nb")}));
            }
        }
        QCOMPARE(withArguments, 1);
        QTRY_VERIFY(w.isVisible());
        QCOMPARE(testing::capturedLines(QStringLiteral("chimewell.settings")),
                 QStringList{QStringLiteral("write Data/minimise=False")});
        QTRY_COMPARE(flood.state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState, 7000);
    }
};

QTEST_MAIN(TestRemote)
#include "tst_remote.moc"
